// Only Windows has a Send To folder.
#include "send_to.h"

std::unique_ptr<Shortcuts> OpenSendTo() { return nullptr; }
