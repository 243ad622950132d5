// Runs a program with arguments and standard input, and collects what it said.
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Standard output goes to `outPath` where one is given (and `out` stays empty).
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = "", const std::string& outPath = "");

// A fresh, empty folder for one test's files, ending in a path separator.
std::string TestFolder(const std::string& name);

// The folder of the running test program, ending in a path separator.
std::string ProgramFolder();

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
