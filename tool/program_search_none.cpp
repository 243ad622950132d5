// Only Windows sees its files: elsewhere no program is found, and no two files are one.
#include "program_search.h"

const bool kSeesWindowsFiles = false;

std::string FindProgramFile(const std::string&, const std::string&) { return ""; }
FileId IdOfFile(const std::string&) { return {}; }
FileId IdOfOpenFile(void*) { return {}; }
std::string FullPathOf(const std::string& path) { return path; }
bool SameFile(const std::string&, const std::string&) { return false; }
bool NameExistsHere(std::string_view) { return false; }
