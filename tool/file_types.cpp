#include "file_types.h"

#include <string_view>

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

}  // namespace

//   type       error
//   .txt       none
//   txt        not a dot first
//   .a b .a\b  a blank, a \ (or a control character, / : * ? " < > |)
//   .EXE       Windows starts programs through it (so .com .bat .cmd .pif .scr .lnk .msi,
//              and every type in PATHEXT)
std::string FileTypeError(const std::string& type, const std::string& pathext) {
  std::size_t characters = 0;
  for (char c : type) characters += (static_cast<unsigned char>(c) & 0xc0) != 0x80;
  if (type.empty() || type[0] != '.' || characters < 2 || characters > 31)
    return "a file type is a dot and 1 to 30 characters, such as .txt";
  for (char c : std::string_view(type).substr(1)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || std::string_view(" \\/:*?\"<>|").find(c) != std::string_view::npos)
      return "a file type holds no blank, control character or \\ / : * ? \" < > |";
  }
  const std::string list = ".exe;.com;.bat;.cmd;.pif;.scr;.lnk;.msi;" + Lower(pathext) + ";";
  const std::string wanted = Lower(type);
  for (std::size_t start = 0, end; (end = list.find(';', start)) != std::string::npos; start = end + 1)
    if (list.compare(start, end - start, wanted) == 0)
      return "Windows starts programs through " + type +
             " files: a launcher in their place would break every "
             "program start";
  return "";
}

std::string ClassOf(const std::string& launcher) {
  std::string name = launcher.substr(launcher.find_last_of("\\/") + 1);
  if (name.size() > 4 && Lower(name.substr(name.size() - 4)) == ".exe") name.resize(name.size() - 4);
  return "opener." + name;
}
