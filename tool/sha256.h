// SHA-256, from the system's own cryptography: Windows' BCrypt (sha256_windows.cpp);
// elsewhere none is offered (sha256_none.cpp).
#pragma once

#include <string>
#include <string_view>

// The SHA-256 of `bytes` in lowercase hex; "" where the system has none to offer.
std::string Sha256Hex(std::string_view bytes);
