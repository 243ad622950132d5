// The argument tail: where the arguments begin in our own raw command line.
#pragma once

#include <string_view>

// Returns the position in `commandLine` (NUL-terminated, never modified) where the
// arguments begin; the tail is the text from there to the terminating NUL, unchanged.
// `ownPath` is our own full path as the system reports it.
const char* FindArgumentTail(const char* commandLine, std::string_view ownPath);
