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

constexpr std::size_t kNone = std::string_view::npos;

// A placeholder of the template, and the bytes it takes the place of: "%s" alone, or at a
// quoted one, "%s" with the quotes on both sides (an opening quote not already taken as
// the closing quote of the placeholder before it).
struct Placeholder {
  std::size_t begin, end;
  bool quoted;
};

Placeholder NextPlaceholder(std::string_view text, std::size_t from) {
  const std::size_t at = text.find(kPlaceholder, from);
  if (at == kNone) return {kNone, kNone, false};
  const std::size_t after = at + kPlaceholder.size();
  if (at > from && text[at - 1] == '"' && after < text.size() && text[after] == '"') return {at - 1, after + 1, true};
  return {at, after, false};
}

// Calls `visit` with each space-separated word of `text` (runs of spaces make no empty
// words) while it returns true; true when it did so for every word.
template <typename Visit>
bool EveryWord(std::string_view text, Visit visit) {
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find(' ', start);
    if (end == kNone) end = text.size();
    if (end > start && !visit(std::string_view(text.data() + start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

void AppendQuoted(std::string& to, std::string_view word) {
  to.append("\"", 1).append(word.data(), word.size()).append("\"", 1);
}

// Makes `piece` what takes the place of a quoted "%s", its quotes included (the rules
// above ExpandTemplate).
void MakeQuotedPiece(std::string_view tail, NameExists exists, std::string& piece) {
  std::size_t size = tail.size();
  while (size > 0 && tail[size - 1] == ' ') --size;
  tail = std::string_view(tail.data(), size);
  if (tail.empty()) return;
  if (tail.find('"') != kNone) {
    piece.append(tail.data(), tail.size());
    return;
  }
  const bool severalFiles = tail.find(' ') != kNone && !exists(tail) && EveryWord(tail, exists);
  if (!severalFiles) return AppendQuoted(piece, tail);
  EveryWord(tail, [&piece](std::string_view word) {
    if (!piece.empty()) piece.append(" ", 1);
    AppendQuoted(piece, word);
    return true;
  });
}

}  // namespace

// - each bare %s of the template gets the whole tail, unchanged;
// - a quoted "%s" (the template's quotes with it) gets the tail, less its trailing spaces:
//   - empty: nothing, so that the program gets no argument;
//   - holding a double quote anywhere: as it is, for its caller quoted it (one quoted
//     name, files dropped by Explorer, a name and its options, an association's "%1" %*);
//   - holding no space: in the template's quotes;
//   - holding spaces: in the template's quotes as one argument, unless the whole tail
//     names no existing file or folder and each of its space-separated words does: then
//     each word in quotes of its own. Only then is the file system asked, from the
//     current folder, which the started program inherits;
// - only the template is scanned for placeholders, never the tail.
//
//   template                 tail                          command
//   D:\...\Ovrix.exe "%s"    C:\notes\plan.txt             D:\...\Ovrix.exe "C:\notes\plan.txt"
//   "E.exe" "%s"             "D:\Shared Docs\a.txt"        "E.exe" "D:\Shared Docs\a.txt"
//   "E.exe" "%s"             "C:\My Notes\a b.txt" c.txt   "E.exe" "C:\My Notes\a b.txt" c.txt
//   "E.exe" "%s"             "a b.txt" -n12                "E.exe" "a b.txt" -n12
//   "E.exe" "%s"             C:\My Notes\a b.txt           "E.exe" "C:\My Notes\a b.txt"
//   "E.exe" "%s"             c.txt d.txt (both exist)      "E.exe" "c.txt" "d.txt"
//   "E.exe" "%s"             (empty)                       "E.exe" (and a space)
//   E.exe %s                 "D:\Shared Docs\a.txt"        E.exe "D:\Shared Docs\a.txt"
//   compare %s %s            a.txt                         compare a.txt a.txt
//   run 100%%s               x                             run 100%x
//   run %S                   x                             run %S
void ExpandTemplate(const TemplateBlock& block, std::string_view tail, NameExists exists, std::string& command) {
  const std::string_view text = StoredTemplate(block);

  // The command's final size first, so that it is allocated once however long the tail;
  // the quoted piece is made at the first quoted placeholder, if there is one.
  std::string quoted;
  bool quotedMade = false;
  std::size_t size = text.size();
  for (Placeholder p = NextPlaceholder(text, 0); p.begin != kNone; p = NextPlaceholder(text, p.end)) {
    if (p.quoted && !quotedMade) MakeQuotedPiece(tail, exists, quoted), quotedMade = true;
    size = size - (p.end - p.begin) + (p.quoted ? quoted.size() : tail.size());
  }
  command.reserve(command.size() + size);

  std::size_t done = 0;
  for (Placeholder p = NextPlaceholder(text, 0); p.begin != kNone; p = NextPlaceholder(text, p.end)) {
    command.append(text.data() + done, p.begin - done);
    if (p.quoted)
      command.append(quoted.data(), quoted.size());
    else
      command.append(tail.data(), tail.size());
    done = p.end;
  }
  command.append(text.data() + done, text.size() - done);
}
