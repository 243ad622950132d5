#include "process.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

void RemoveFolder(const std::string& folder) {
  std::error_code ignored;  // one gone already
  std::filesystem::remove_all(std::filesystem::u8path(folder), ignored);
}

namespace {

// The folders TestFolder made, removed with everything in them when the test program ends.
class MadeFolders {
 public:
  std::string Add(const std::string& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    folders_.push_back(folder);
    return folder;
  }
  ~MadeFolders() {
    for (const std::string& folder : folders_) RemoveFolder(folder);
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> folders_;
} gMadeFolders;

}  // namespace

std::string ReadBytes(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc) << bytes;
}

std::string TestFolder(const std::string& name) {
  namespace fs = std::filesystem;
  fs::path folder = fs::temp_directory_path() / fs::u8path("opener-test-" + std::to_string(ProcessId()) + "-" + name);
  std::error_code ignored;          // a folder that cannot be made shows in the test that needs it
  fs::remove_all(folder, ignored);  // an earlier program's of the same process id, ended before its cleanup
  fs::create_directory(folder, ignored);
  return gMadeFolders.Add(folder.u8string()) + static_cast<char>(fs::path::preferred_separator);
}

std::string TemplateTool() { return ProgramFolder() + "../../tool/" OPENER_TEMPLATE_TOOL; }

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args, const std::string& input,
                         const std::string& outPath) {
  // Each run has its own files for its standard streams, so that runs may overlap.
  static std::atomic<int> runs{0};
  const std::string io = TestFolder("io" + std::to_string(runs++));
  WriteBytes(io + "in", input);
  ProcessResult result;
  result.exitCode = Spawn(program, args, io + "in", outPath.empty() ? io + "out" : outPath, io + "err");
  result.out = ReadBytes(io + "out");
  result.err = ReadBytes(io + "err");
  RemoveFolder(io);
  return result;
}
