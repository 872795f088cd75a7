// Listing the worksheets of large .xls files, side by side with python3-xlrd, plus the
// peak memory of one listing measured in a fresh process. Files are generated once
// into $VEXMAR_BENCH_DIR (default: /tmp/vexmar-bench), never committed: the large ones
// by xls_generator, the 250-sheet workbook by python3-xlwt.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "bench/workbook/read_floor.hpp"
#include "bench/workbook/xls_generator.hpp"
#include "vexmar/workbook/list_worksheets.hpp"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Case {
  const char* label;
  vexmar::bench::XlsShape shape;
  bool from_xlwt = false;  // written by python3-xlwt instead of the own generator
  bool hostile = false;    // no peer: time per input MB and peak memory only
};

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"xls_1MB", {1ull << 20, 3}},
      {"xls_50MB", {50ull << 20, 3}},
      {"xls_100MB", {100ull << 20, 3}},
      {"xls_250_sheets", {0, 250}, true},
      // Hostile shapes: 65,535 sheet records naming one substream at the end of a
      // scattered chain; a 50 MB scattered chain with drawings (the substreams of the
      // small sheets, at its end, are looked into).
      {"hostile_65535_probes", {8ull << 20, 65535, 1021, true}, false, true},
      {"hostile_scattered_50MB", {50ull << 20, 3, 1021, false}, false, true},
  };
  return cases;
}

fs::path Dir() {
  const char* dir = std::getenv("VEXMAR_BENCH_DIR");
  return dir ? fs::path(dir) : fs::temp_directory_path() / "vexmar-bench";
}

fs::path FileOf(const Case& c) { return Dir() / (std::string(c.label) + ".xls"); }

// A field of /proc/self/status in KB ("VmRSS", "VmHWM").
long StatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(field, 0) == 0 && line.size() > std::strlen(field) &&
        line[std::strlen(field)] == ':') {
      return std::strtol(line.c_str() + std::strlen(field) + 1, nullptr, 10);
    }
  }
  return -1;
}

// Child mode: one listing; prints how far the peak resident set rose above the
// resident set just before it, in KB. The kernel's peak mark is reset first.
int MemoryProbe(const char* file) {
  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = StatusKb("VmRSS");
  const auto names = vexmar::ListWorksheets(file);
  const long peak = std::max(StatusKb("VmHWM"), StatusKb("VmRSS"));
  std::printf("%ld %zu\n", peak - before, names ? names->size() : 0);
  return 0;
}

std::string RunAndRead(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int pipefd[2];
  if (pipe(pipefd) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipefd[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipefd[0]);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipefd[1]);
  std::string out;
  char buffer[256];
  for (ssize_t n; (n = read(pipefd[0], buffer, sizeof buffer)) > 0;) {
    out.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipefd[0]);
  if (rc == 0) waitpid(pid, nullptr, 0);
  return out;
}

std::map<std::string, double> g_seconds;  // name -> seconds per listing
std::map<std::string, double> g_memory_kb;
std::map<std::string, vexmar::bench::FloorPair> g_floor;  // best listing and floor, same run

void BM_List(benchmark::State& state, const Case* c) {
  const fs::path file = FileOf(*c);
  std::size_t count = 0;
  for (auto _ : state) {
    const auto names = vexmar::ListWorksheets(file);
    count = names ? names->size() : 0;
    benchmark::DoNotOptimize(count);
  }
  state.counters["sheets"] = static_cast<double>(count);
  state.counters["file_MB"] = static_cast<double>(fs::file_size(file)) / (1 << 20);
  // The floor: opening the file and reading all of it, alternating with listings.
  const int rounds = fs::file_size(file) > (16u << 20) ? 3 : 30;
  const auto pair = vexmar::bench::BestAgainstFloor(
      file, [&] { benchmark::DoNotOptimize(vexmar::ListWorksheets(file)); }, rounds);
  g_floor[c->label] = pair;
  state.counters["floor_us"] = pair.floor * 1e6;
  state.counters["x_floor"] = pair.Ratio();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(fs::file_size(file)));
}

void BM_Xlrd(benchmark::State& state, const Case* c) {
  const fs::path file = FileOf(*c);
  const std::string script = std::string(VEXMAR_SOURCE_DIR) + "/bench/workbook/peers/xlrd_list.py";
  for (auto _ : state) {
    const std::string out = RunAndRead({"/usr/bin/python3", script, file.string(), "3"});
    double seconds = 0;
    unsigned long names = 0;
    if (std::sscanf(out.c_str(), "%lf %lu", &seconds, &names) != 2) {
      state.SkipWithError("python3-xlrd peer did not run");
      return;
    }
    state.SetIterationTime(seconds);
    state.counters["sheets"] = static_cast<double>(names);
  }
}

void BM_PeakMemory(benchmark::State& state, const Case* c) {
  const fs::path file = FileOf(*c);
  for (auto _ : state) {
    const std::string out =
        RunAndRead({fs::read_symlink("/proc/self/exe").string(), "--memory-probe", file.string()});
    long kb = -1;
    unsigned long names = 0;
    std::sscanf(out.c_str(), "%ld %lu", &kb, &names);
    state.counters["peak_rss_growth_KB"] = static_cast<double>(kb);
    g_memory_kb[c->label] = static_cast<double>(kb);
  }
}

class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
        g_seconds[run.benchmark_name()] =
            run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

double Seconds(const std::string& prefix, const std::string& label) {
  for (const auto& [name, s] : g_seconds) {
    if (name.rfind(prefix + "/" + label, 0) == 0) return s;
  }
  return 0;
}

void PrintGoals() {
  std::printf("\n%-22s %14s %14s %10s %18s %12s %8s\n", "file", "ListWorksheets", "python3-xlrd",
              "xlrd/ours", "peak RSS growth", "read floor", "/floor");
  for (const Case& c : Cases()) {
    const double ours = Seconds("BM_List", c.label);
    if (c.hostile) {
      const double mb = static_cast<double>(fs::file_size(FileOf(c))) / (1 << 20);
      std::printf("%-22s %11.1f ms %9.1f ms/MB %15.0f KB %9.1f us %7.1fx\n", c.label, ours * 1e3,
                  ours * 1e3 / mb, g_memory_kb[c.label], g_floor[c.label].floor * 1e6,
                  g_floor[c.label].Ratio());
      continue;
    }
    const double peer = Seconds("BM_Xlrd", c.label);
    std::printf("%-22s %11.1f us %11.1f ms %9.0fx %15.0f KB %9.1f us %7.1fx\n", c.label,
                ours * 1e6, peer * 1e3, ours > 0 ? peer / ours : 0.0, g_memory_kb[c.label],
                g_floor[c.label].floor * 1e6, g_floor[c.label].Ratio());
  }
  const double small = Seconds("BM_List", "xls_1MB");
  const double large = Seconds("BM_List", "xls_100MB");
  if (small > 0) std::printf("100 MB / 1 MB listing time: %.2fx (goal <= 2x)\n", large / small);
  std::printf(
      "goals: >= 100x faster than xlrd for 50 MB and 250 sheets; peak RSS growth < 8192 KB\n"
      "/floor: best listing over the best open+fstat+pread-all+close of the same file\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--memory-probe") == 0) return MemoryProbe(argv[2]);
  fs::create_directories(Dir());
  for (const Case& c : Cases()) {
    if (!c.from_xlwt) {
      vexmar::bench::EnsureXls(FileOf(c), c.shape);
    } else if (!fs::exists(FileOf(c))) {
      RunAndRead({"/usr/bin/python3",
                  std::string(VEXMAR_SOURCE_DIR) + "/bench/workbook/peers/make_xlwt_sheets.py",
                  FileOf(c).string(), std::to_string(c.shape.sheets)});
    }
  }
  for (const Case& c : Cases()) {
    benchmark::RegisterBenchmark((std::string("BM_List/") + c.label).c_str(), BM_List, &c)
        ->Unit(benchmark::kMicrosecond);
  }
  for (const Case& c : Cases()) {
    if (!c.hostile) {
      benchmark::RegisterBenchmark((std::string("BM_Xlrd/") + c.label).c_str(), BM_Xlrd, &c)
          ->UseManualTime()
          ->Iterations(1)
          ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark((std::string("BM_PeakMemory/") + c.label).c_str(), BM_PeakMemory,
                                 &c)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintGoals();
  benchmark::Shutdown();
  return 0;
}
