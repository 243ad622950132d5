// Text between the tool's UTF-8 and Windows' UTF-16, and Windows' words for its errors.
#include <windows.h>

#include "windows_handles.h"
#include "windows_text.h"

std::wstring Utf16(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string Utf8(const std::wstring& utf16) {
  int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), narrow.data(), n, nullptr, nullptr);
  return narrow;
}

std::string ErrorText(unsigned long error) {
  LocalMemory<wchar_t> text;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, error, 0, reinterpret_cast<wchar_t*>(text.Receive()), 0, nullptr);
  std::string message = Utf8(std::wstring(text ? text.get() : L"", text ? n : 0));
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(error) : message;
}

std::wstring FullPath(const std::string& path) {
  std::wstring wide = Utf16(path);
  std::wstring full(GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
  full.resize(GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr));
  return full;
}

std::wstring LongPath(const std::string& path) {
  if (path.rfind("\\\\?\\", 0) == 0) return Utf16(path);
  const std::wstring full = FullPath(path);
  if (full.rfind(L"\\\\.\\", 0) == 0) return L"";
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}
