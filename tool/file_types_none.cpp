// Only Windows has the registry: elsewhere the commands that use it are refused before
// any of these is called.
#include "file_types.h"

const bool kHasRegistry = false;

std::unique_ptr<Registry> OpenClasses(bool) { return nullptr; }
std::unique_ptr<Shortcuts> OpenSendTo() { return nullptr; }
unsigned long WindowsBuild() { return 0; }
std::string ProgramDisplayName(const std::string&) { return ""; }
void TellShellAssociationsChanged() {}
TypeAnswer AskWindowsAbout(const std::string&) { return {}; }
