// Only Windows has the registry: elsewhere the commands that use it are refused before
// it is opened.
#include "registry.h"

std::unique_ptr<Registry> OpenClasses(bool) { return nullptr; }

std::string ClassesLockName(bool) { return ""; }
