// Windows' handles, keys and memory as owners that give them back (owned.h). Windows only.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "owned.h"

// A kernel handle (a file, a process, a thread); CreateFileW's INVALID_HANDLE_VALUE is
// made none by OwnFile.
using OwnedHandle = Owned<HANDLE, CloseHandle>;
inline OwnedHandle OwnFile(HANDLE file) { return OwnedHandle(file == INVALID_HANDLE_VALUE ? nullptr : file); }

// An open registry key.
using OwnedKey = Owned<HKEY, RegCloseKey>;

// Memory the shell or COM handed out (SHGetKnownFolderPath), and LocalAlloc's
// (CommandLineToArgvW, FormatMessageW).
inline void FreeTaskMemory(void* memory) { CoTaskMemFree(memory); }
inline void FreeLocalMemory(void* memory) { LocalFree(memory); }
template <typename T>
using TaskMemory = Owned<T*, FreeTaskMemory>;
template <typename T>
using LocalMemory = Owned<T*, FreeLocalMemory>;
