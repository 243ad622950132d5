// Speed of the tail finder and the expansion, side by side with memcpy.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "argument_tail.h"
#include "template_block.h"

namespace {

void CountBytes(benchmark::State& state, std::size_t perIteration) {
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(perIteration));
}

constexpr std::string_view kOwnPath = R"(C:\Tools\opener.exe)";
constexpr std::size_t kLongest = 32767;  // the longest command line Windows allows

// Our own path, quoted, then arguments up to 32,767 bytes: the finder reads the name only.
void FindTailOwnPath(benchmark::State& state) {
  std::string line = "\"" + std::string(kOwnPath) + "\" ";
  line.resize(kLongest, 'a');
  std::size_t scanned = static_cast<std::size_t>(FindArgumentTail(line.c_str(), kOwnPath) - line.c_str());
  for (auto _ : state) benchmark::DoNotOptimize(FindArgumentTail(line.c_str(), kOwnPath));
  CountBytes(state, scanned);
}
BENCHMARK(FindTailOwnPath);

// The worst case: a 32,767-byte program name that is not our path, read to its end.
void FindTailLongName(benchmark::State& state) {
  std::string line(kLongest, 'n');
  for (auto _ : state) benchmark::DoNotOptimize(FindArgumentTail(line.c_str(), kOwnPath));
  CountBytes(state, kLongest);
}
BENCHMARK(FindTailLongName);

// As the launcher asks Windows whether a name exists, here asked of this file system.
bool ExistsOnDisk(std::string_view name) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::path(std::string(name)), error);
}

// 243 bytes: 121 placeholders and one more byte; with a tail of N bytes, 121 N + 1 out.
std::string ManyPlaceholders() {
  std::string text;
  for (int i = 0; i < 121; ++i) text += "%s";
  return text + "x";
}
const TemplateBlock kManyPlaceholders = MakeTemplateBlock(ManyPlaceholders());

void Expand(benchmark::State& state) {
  std::string tail(static_cast<std::size_t>(state.range(0)), 't');
  std::string command;
  for (auto _ : state) {
    command.clear();  // as the launcher empties its command; the capacity stays
    ExpandTemplate(kManyPlaceholders, tail, ExistsOnDisk, command);
    benchmark::DoNotOptimize(command.data());
  }
  CountBytes(state, command.size());
}
BENCHMARK(Expand)->Arg(1024)->Arg(8192)->Arg(kLongest);

void ExpandFresh(benchmark::State& state) {
  std::string tail(static_cast<std::size_t>(state.range(0)), 't');
  std::size_t out = 0;
  for (auto _ : state) {
    std::string command;  // as in one run of the launcher: the string grows from empty
    ExpandTemplate(kManyPlaceholders, tail, ExistsOnDisk, command);
    out = command.size();
    benchmark::DoNotOptimize(command.data());
  }
  CountBytes(state, out);
}
BENCHMARK(ExpandFresh)->Arg(1024)->Arg(8192)->Arg(kLongest);

void Memcpy(benchmark::State& state) {
  std::size_t size = 121 * static_cast<std::size_t>(state.range(0)) + 1;
  std::vector<char> from(size, 't'), to(size);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), size);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  CountBytes(state, size);
}
BENCHMARK(Memcpy)->Arg(1024)->Arg(8192)->Arg(kLongest);

// The same bytes into a buffer allocated for them, as ExpandFresh writes into a new string.
void MemcpyFresh(benchmark::State& state) {
  std::size_t size = 121 * static_cast<std::size_t>(state.range(0)) + 1;
  std::vector<char> from(size, 't');
  for (auto _ : state) {
    std::unique_ptr<char[]> to(new char[size]);
    std::memcpy(to.get(), from.data(), size);
    benchmark::DoNotOptimize(to.get());
    benchmark::ClobberMemory();
  }
  CountBytes(state, size);
}
BENCHMARK(MemcpyFresh)->Arg(1024)->Arg(8192)->Arg(kLongest);

const TemplateBlock kStored = MakeTemplateBlock(R"("D:\Program Files\ZEPHANTA\Ovrix.exe" "%s")");

// One whole run's work for the stored template and a typical file name.
void StoredTemplate(benchmark::State& state) {
  const std::string line = R"("C:\Tools\opener.exe" C:\Users\someone\Documents\notes\plan for 2027.txt)";
  for (auto _ : state) {
    std::string command;
    ExpandTemplate(kStored, FindArgumentTail(line.c_str(), kOwnPath), ExistsOnDisk, command);
    benchmark::DoNotOptimize(command.data());
  }
}
BENCHMARK(StoredTemplate);

// The stored template's quoted "%s" with the tails callers give, for N files that exist:
// 0, one name without a space (the file system is not asked); 1, one name with a space
// (asked once); N > 1, N names as Explorer drops them, unquoted (asked N + 1 times).
void QuotedTails(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "opener-bench-names";
  std::filesystem::create_directories(folder);
  std::string tail;
  for (std::size_t i = 0; i < std::max<std::size_t>(count, 1); ++i) {
    std::filesystem::path file = folder / (count == 1 ? "plan for 2027.txt" : "plan-" + std::to_string(i) + ".txt");
    std::ofstream(file) << "x";
    tail += (tail.empty() ? "" : " ") + file.string();
  }
  for (auto _ : state) {
    std::string command;
    ExpandTemplate(kStored, tail, ExistsOnDisk, command);
    benchmark::DoNotOptimize(command.data());
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(QuotedTails)->Arg(0)->Arg(1)->Arg(2)->Arg(8);

// Prints the console table, then the ratios that matter.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
  }
  void PrintRatios() const {
    std::printf("\n%-8s %16s %26s %24s\n", "tail", "Expand / Memcpy", "ExpandFresh / MemcpyFresh",
                "Expand ns per out byte");
    for (std::size_t size : {std::size_t{1024}, std::size_t{8192}, kLongest}) {
      std::string arg = "/" + std::to_string(size);
      double expand = At("Expand" + arg), copy = At("Memcpy" + arg);
      double fresh = At("ExpandFresh" + arg), freshCopy = At("MemcpyFresh" + arg);
      if (expand == 0 || copy == 0 || fresh == 0 || freshCopy == 0) continue;  // filtered out
      std::printf("%-8zu %16.2f %26.2f %24.4f\n", size, expand / copy, fresh / freshCopy,
                  expand / static_cast<double>(121 * size + 1));
    }
  }

 private:
  double At(const std::string& name) const {
    auto found = times_.find(name);
    return found == times_.end() ? 0.0 : found->second;
  }
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
