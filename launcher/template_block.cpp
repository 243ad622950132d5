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

namespace {

// The text inside a tail that is one quoted argument: it begins with a double quote,
// holds exactly one more, and nothing but spaces follows that one. Else the whole tail.
std::string_view InsideQuotes(std::string_view tail) {
  if (tail.empty() || tail[0] != '"') return tail;
  std::size_t close = 0;
  for (std::size_t i = 1; i < tail.size(); ++i) {
    if (close == 0) close = tail[i] == '"' ? i : 0;
    else if (tail[i] != ' ') return tail;
  }
  return close == 0 ? tail : std::string_view(tail.data() + 1, close - 1);
}

}  // namespace

// - each "%s" of the template gets the whole tail, unchanged;
// - but where the template quotes the placeholder ("%s") and the tail is one quoted
//   argument, the tail goes in without its own quotes (and the spaces after them), so
//   that the program reads one argument, not the doubled quotes' two halves;
// - only the template is scanned for placeholders, never the tail.
//
//   template                 tail                      command
//   D:\...\Ovrix.exe "%s"    C:\notes\plan.txt         D:\...\Ovrix.exe "C:\notes\plan.txt"
//   "E.exe" "%s"             "D:\Shared Docs\a.txt"    "E.exe" "D:\Shared Docs\a.txt"
//   "E.exe" "%s"             "a b" "c d"               "E.exe" ""a b" "c d""
//   E.exe %s                 "D:\Shared Docs\a.txt"    E.exe "D:\Shared Docs\a.txt"
//   compare %s %s            a.txt                     compare a.txt a.txt
//   run 100%%s               x                         run 100%x
//   run %S                   x                         run %S
void ExpandTemplate(const TemplateBlock& block, std::string_view tail, std::string& command) {
  const std::string_view text = StoredTemplate(block);
  const std::string_view inside = InsideQuotes(tail);

  // At most the command's final size first, so that it is allocated once however long the tail.
  std::size_t placeholders = 0;
  for (std::size_t at = text.find(kPlaceholder); at != std::string_view::npos; at = text.find(kPlaceholder, at + 2))
    ++placeholders;
  command.reserve(command.size() + text.size() - placeholders * kPlaceholder.size() + placeholders * tail.size());

  std::size_t done = 0;
  for (std::size_t at; (at = text.find(kPlaceholder, done)) != std::string_view::npos;) {
    const std::size_t after = at + kPlaceholder.size();
    const bool quoted = at > 0 && text[at - 1] == '"' && after < text.size() && text[after] == '"';
    const std::string_view piece = quoted ? inside : tail;
    command.append(text.data() + done, at - done).append(piece.data(), piece.size());
    done = after;
  }
  command.append(text.data() + done, text.size() - done);
}
