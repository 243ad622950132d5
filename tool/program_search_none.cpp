// Only Windows finds programs: elsewhere none is found.
#include "program_search.h"

std::string FindProgramFile(const std::string&, const std::string&) { return ""; }
