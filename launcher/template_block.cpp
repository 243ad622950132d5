#include "template_block.h"

#include <cstring>

std::string_view StoredTemplate(const TemplateBlock& block) {
  const char* begin = block.bytes;
  const char* end = block.bytes + kTemplateBlockSize;
  const char* nul = static_cast<const char*>(std::memchr(begin, '\0', kTemplateBlockSize));
  const char* start = nul ? nul + 1 : end;
  const char* stop = static_cast<const char*>(std::memchr(start, '\0', static_cast<std::size_t>(end - start)));
  return {start, static_cast<std::size_t>((stop ? stop : end) - start)};
}

//   template                                  tail               command
//   D:\...\Ovrix.exe "%s"                     C:\notes\plan.txt  D:\...\Ovrix.exe "C:\notes\plan.txt"
//   compare %s %s                             a.txt              compare a.txt a.txt
//   run 100%%s                                x                  run 100%x
//   run %S                                    x                  run %S
//   viewer                                    a.txt              viewer
void ExpandTemplate(const TemplateBlock& block, std::string_view tail, std::string& command) {
  const std::string_view text = StoredTemplate(block);

  // The command's final size first, so that it is allocated once however long the tail.
  std::size_t placeholders = 0;
  for (std::size_t at = text.find(kPlaceholder); at != std::string_view::npos; at = text.find(kPlaceholder, at + 2))
    ++placeholders;
  command.reserve(command.size() + text.size() - placeholders * kPlaceholder.size() + placeholders * tail.size());

  std::string_view rest = text;
  for (std::size_t at; (at = rest.find(kPlaceholder)) != std::string_view::npos;) {
    command.append(rest.substr(0, at));
    command.append(tail);
    rest.remove_prefix(at + kPlaceholder.size());
  }
  command.append(rest);
}
