// Only Windows has the registry: elsewhere the commands that use it are refused before
// any of these is called.
#include "file_types.h"

const bool kHasRegistry = false;

std::string RegisterTypes(const Registration&) { return "only Windows has file types to register"; }
std::string UnregisterTypes(const Registration&) { return "only Windows has file types to register"; }
TypeAnswer AskWindowsAbout(const std::string&) { return {}; }
