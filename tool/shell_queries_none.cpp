// Only Windows has a shell to ask: elsewhere nothing is known of types and programs.
#include "shell_queries.h"

unsigned long WindowsBuild() { return 0; }
std::string ProgramDisplayName(const std::string&) { return ""; }
void TellShellAssociationsChanged() {}
TypeAnswer AskWindowsAbout(const std::string&) { return {}; }
