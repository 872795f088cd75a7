// Resolving "*.xls" against directories of 10,000 and 100,000 files: GetFileNames and
// ParseRules against a baseline that only reads the directory and matches the names
// (readdir + the matcher, no type check, no order, no duplicate test).
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "vexmar/component/utf.hpp"
#include "vexmar/multifile/excel_multi_files.hpp"
#include "vexmar/names/repeat_name.hpp"
#include "vexmar/platform/directory_listing.hpp"
#include "vexmar/platform/file_name_match.hpp"

namespace {

// One generated directory per size, made on first use and removed at exit: nine in ten
// names match "*.xls", in mixed letter case, the rest are ".doc".
class GeneratedDirectories {
 public:
  ~GeneratedDirectories() {
    std::error_code ec;
    if (!root_.empty()) std::filesystem::remove_all(root_, ec);
  }

  const std::string& For(std::int64_t files) {
    auto found = paths_.find(files);
    if (found != paths_.end()) return found->second;
    if (root_.empty()) {
      std::string pattern = "/tmp/vexmar-bench-XXXXXX";
      if (mkdtemp(pattern.data()) == nullptr) std::abort();
      root_ = pattern;
    }
    const std::string dir = root_ + "/" + std::to_string(files);
    std::filesystem::create_directory(dir);
    for (std::int64_t i = 0; i < files; ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "%s%07lld.%s", i % 2 == 0 ? "Answer" : "answer",
                    static_cast<long long>(i), i % 10 == 9 ? "doc" : (i % 3 == 0 ? "XLS" : "xls"));
      const int fd = open((dir + "/" + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      if (fd < 0) std::abort();
      close(fd);
    }
    return paths_.emplace(files, dir).first->second;
  }

 private:
  std::string root_;
  std::map<std::int64_t, std::string> paths_;
};

GeneratedDirectories& Directories() {
  static GeneratedDirectories directories;
  return directories;
}

void BM_Baseline_ReaddirAndMatch(benchmark::State& state) {
  const std::string& dir = Directories().For(state.range(0));
  std::int64_t matched = 0;
  for (auto _ : state) {
    matched = 0;
    DIR* handle = opendir(dir.c_str());
    while (const dirent* entry = readdir(handle)) {
      if (vexmar::FileNameMatches(vexmar::Utf8ToUtf16Escaped(entry->d_name), u"*.xls")) {
        ++matched;
      }
    }
    closedir(handle);
    benchmark::DoNotOptimize(matched);
  }
  state.counters["names"] = static_cast<double>(matched);
}

void BM_ListMatchingFiles(benchmark::State& state) {
  const std::u16string search =
      vexmar::JoinHostPath(vexmar::Utf8ToUtf16(Directories().For(state.range(0))), u"*.xls");
  std::size_t names = 0;
  for (auto _ : state) {
    names = vexmar::ListMatchingFiles(search).size();
    benchmark::DoNotOptimize(names);
  }
  state.counters["names"] = static_cast<double>(names);
}

// The order alone, on the names the listing gives (already in order: shuffled first).
void BM_SortInListingOrder(benchmark::State& state) {
  const std::u16string search =
      vexmar::JoinHostPath(vexmar::Utf8ToUtf16(Directories().For(state.range(0))), u"*.xls");
  std::vector<std::u16string> names = vexmar::ListMatchingFiles(search);
  std::mt19937 random(42);
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::u16string> shuffled = names;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    state.ResumeTiming();
    vexmar::SortInListingOrder(shuffled);
    benchmark::DoNotOptimize(shuffled);
  }
}

void BM_GetFileNames(benchmark::State& state, std::u16string rule) {
  const std::u16string dir = vexmar::Utf8ToUtf16(Directories().For(state.range(0)));
  const vexmar::ClsRepeatName names;
  std::int32_t found = 0;
  for (auto _ : state) {
    vexmar::StringList list;
    found = names.GetFileNames(rule, list, dir);
    benchmark::DoNotOptimize(list);
  }
  state.counters["names"] = found;
}

void BM_ParseRules(benchmark::State& state) {
  vexmar::ClsExcelMultiFiles files;
  files.SetRules(u"#FILE\r\n*.xls");
  files.SetTestPath(vexmar::Utf8ToUtf16(Directories().For(state.range(0))));
  std::int32_t found = 0;
  for (auto _ : state) {
    found = files.ParseRules();
    benchmark::DoNotOptimize(found);
  }
  state.counters["names"] = found;
}

BENCHMARK(BM_Baseline_ReaddirAndMatch)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListMatchingFiles)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortInListingOrder)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GetFileNames, one_pattern, std::u16string(u"K|*.xls|5|m"))
    ->Arg(10'000)
    ->Arg(100'000)
    ->Unit(benchmark::kMillisecond);
// The second pattern matches every name again: each is a membership test that finds it.
BENCHMARK_CAPTURE(BM_GetFileNames, two_patterns_same_files,
                  std::u16string(u"K|*.xls#answer*.XLS|5|m"))
    ->Arg(10'000)
    ->Arg(100'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseRules)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
