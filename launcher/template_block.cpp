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
  std::string_view text = StoredTemplate(block);
  for (;;) {
    std::size_t at = text.find(kPlaceholder);
    if (at == std::string_view::npos) break;
    command.append(text.substr(0, at));
    command.append(tail);
    text.remove_prefix(at + kPlaceholder.size());
  }
  command.append(text);
}
