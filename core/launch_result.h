// What a launch ends with, named once for the launchers and for opener-template's words
// for them: the exit codes (Windows' own error values, as WinExec reports them), and the
// limit behind the last.
#pragma once

#include <cstddef>

inline constexpr int kStarted = 0;
inline constexpr int kFileNotFound = 2;      // ERROR_FILE_NOT_FOUND
inline constexpr int kPathNotFound = 3;      // ERROR_PATH_NOT_FOUND
inline constexpr int kOutOfResources = 8;    // ERROR_NOT_ENOUGH_MEMORY, for WinExec's 0
inline constexpr int kBadFormat = 11;        // ERROR_BAD_FORMAT
inline constexpr int kCommandTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE

// Windows starts no command of more than 32,766 UTF-16 units (32,767 with its NUL).
inline constexpr std::size_t kLongestCommand = 32766;
