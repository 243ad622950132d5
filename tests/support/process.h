// What the tests share: running a program and collecting what it said, a folder of
// their own, whole files, and where the programs under test are. What differs by
// system is in process_posix.cpp and process_windows.cpp.
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs `program` with `args` (each reaching it unchanged) and `input` on its standard
// input. Standard output goes to `outPath` where one is given (and `out` stays empty).
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = "", const std::string& outPath = "");

// A fresh, empty folder for one test's files, ending in a path separator; removed with
// everything in it when the test program ends.
std::string TestFolder(const std::string& name);

// Removes `folder` and everything in it, where it is there.
void RemoveFolder(const std::string& folder);

// The folder of the running test program, ending in a path separator.
std::string ProgramFolder();

// opener-template, as built beside the tests.
std::string TemplateTool();

// Whole files, named in UTF-8.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

// The system's part (process_posix.cpp, process_windows.cpp).

// Runs `program` with its standard streams on the files `in`, `out` and `err`; returns
// its exit code, or -1 when it could not be started.
int Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& in,
          const std::string& out, const std::string& err);

// This test program's process id.
unsigned long ProcessId();

// Makes `link` a symbolic link to `target` (relative to the link's folder); false where
// the system does not let us.
bool MakeSymbolicLink(const std::string& link, const std::string& target);
