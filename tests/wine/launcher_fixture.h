// What the Wine tests of the real programs share: the test folder, the two recording
// launchers (opener.exe and opener-wait.exe built with the template recorder.exe "%s"),
// and the fixture that starts them with exact raw command lines through CreateProcessW
// and reads what the tests' recorder wrote down.
#pragma once

#include <windows.h>
#include <imagehlp.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"
#include "rows.h"
#include "test_name.h"
#include "template_block.h"
#include "windows_handles.h"
#include "windows_text.h"

// The folder of this test program, where the test launchers and the recorder are built.
inline std::wstring TestDir() { return Utf16(ProgramFolder()); }

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline void UnmapView(void* view) { UnmapViewOfFile(view); }

// The file's PE checksum is set, and is the one Windows computes for it.
inline void ExpectChecksumSetAndRight(const std::wstring& path) {
  DWORD stored = 0, computed = 0;
  const OwnedHandle file =
      OwnFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file);
  const OwnedHandle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  const Owned<void*, UnmapView> view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
  EXPECT_NE(CheckSumMappedFile(view.get(), GetFileSize(file.get(), nullptr), &stored, &computed), nullptr);
  EXPECT_NE(stored, 0u);
  EXPECT_EQ(stored, computed);
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// `text` with each "{name}" replaced by its value.
inline std::string Substituted(std::string text, const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [name, value] : values)
    for (std::size_t at; (at = text.find(name)) != std::string::npos;) text.replace(at, name.size(), value);
  return text;
}

// Replaces each "{own}" in a row's command line with the launcher's own full path.
inline std::wstring WithOwnPath(std::string_view pattern, const std::wstring& own) {
  return Utf16(Substituted(std::string(pattern), {{"{own}", Utf8(own)}}));
}

// Both launchers, built with the template recorder.exe "%s", named for test listings by
// what they are.
struct Kind : NamedRow {
  std::wstring path;
  bool waits;
};
inline const Kind kOpener{"Opener", TestDir() + L"opener-rec.exe", false};
inline const Kind kOpenerWait{"OpenerWait", TestDir() + L"opener-wait-rec.exe", true};
inline const Kind kLaunchers[] = {kOpener, kOpenerWait};
inline const std::wstring kRecording = kOpener.path;
inline const std::wstring kWaiting = kOpenerWait.path;

class Launcher : public testing::Test {
 protected:
  void SetUp() override {
    record_ = TestDir() + L"record-" + Utf16(CurrentTestName(true)) + L".txt";
    DeleteFileW(record_.c_str());
    DeleteFileW((record_ + L".done").c_str());
    SetEnvironmentVariableW(L"OPENER_RECORD", record_.c_str());
    for (const wchar_t* variable : {L"OPENER_RECORD_HOLD_MS", L"OPENER_RECORD_APPEND", L"OPENER_RECORD_EXIT",
                                    L"OPENER_RECORD_MODULE", L"OPENER_RECORD_ARGS"})
      SetEnvironmentVariableW(variable, nullptr);
  }

  // Starts `exe` (empty: the program the command line names) with exactly `commandLine`
  // and returns its exit code once it ended; `lifetimeMs_` tells how long it ran.
  DWORD Start(const std::wstring& exe, std::wstring commandLine) {
    ULONGLONG started = GetTickCount64();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created{};
    if (!CreateProcessW(exe.empty() ? nullptr : exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &created)) {
      ADD_FAILURE() << "CreateProcessW failed: " << GetLastError();
      return 0xFFFFFFFF;
    }
    const OwnedHandle process(created.hProcess), thread(created.hThread);
    DWORD waited = WaitForSingleObject(process.get(), 30000);
    lifetimeMs_ = GetTickCount64() - started;
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "the launcher did not end";
    return code;
  }

  // The recorder's lines once `count` of them are there (or after 20 seconds).
  std::vector<std::string> Records(std::size_t count = 1) { return Records(record_, count); }
  static std::vector<std::string> Records(const std::wstring& record, std::size_t count) {
    std::vector<std::string> lines;
    for (int i = 0; i < 200 && (lines = Lines(ReadBytes(Utf8(record)))).size() < count; ++i) Sleep(100);
    return lines;
  }

  // A copy of a recording launcher whose block now holds `text`.
  static std::wstring Retarget(const std::wstring& name, const std::string& text,
                               const std::wstring& launcher = kRecording) {
    std::wstring copy = TestDir() + name;
    EXPECT_LE(text.size(), kMaxTemplateSize) << "the test folder's path is too long for this template";
    EXPECT_TRUE(CopyFileW(launcher.c_str(), copy.c_str(), FALSE));
    std::string bytes = ReadBytes(Utf8(copy));
    std::size_t block = bytes.find(kTemplateMarker);
    EXPECT_NE(block, std::string::npos);
    EXPECT_EQ(bytes.find(kTemplateMarker, block + 1), std::string::npos);
    if (block == std::string::npos || text.size() > kMaxTemplateSize) return copy;
    bytes.replace(block, kTemplateBlockSize, MakeTemplateBlock(text).bytes, kTemplateBlockSize);
    WriteBytes(Utf8(copy), bytes);
    return copy;
  }

  std::wstring record_;
  ULONGLONG lifetimeMs_ = 0;
};
