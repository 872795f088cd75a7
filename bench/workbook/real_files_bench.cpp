// Listing the small real workbooks of the shared external-workbooks folder against the
// floor of reading each file whole (bench/workbook/read_floor.hpp), measured in the same
// run on the same file. Per format: the median and 90th percentile of listing / floor
// over every file under 300 KB (files the reader refuses included: they are handed in
// too). Goals: median at most 2x for .xls and 5x for the others, 90th percentile at
// most twice the median.
//
// The folder: $VEXMAR_EXTERNAL_WORKBOOKS, else ../shared/external-workbooks beside the
// source tree; without it every benchmark is skipped. With VEXMAR_REAL_FILES_DETAIL set,
// one line per file goes to stderr (ratio, listing and floor in microseconds, path).
//
//   real_files_bench --list FILE N   lists FILE N times and nothing else (for profilers)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/workbook/read_floor.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/workbook/list_worksheets.hpp"

namespace {

namespace fs = std::filesystem;
constexpr std::uintmax_t kSmallFile = 300 * 1024;
constexpr int kRounds = 9;
const char* const kFormats[] = {"xls", "xlsx", "xlsm", "xlsb", "ods"};

fs::path Folder() {
  if (const char* dir = std::getenv("VEXMAR_EXTERNAL_WORKBOOKS")) return dir;
  return fs::path(VEXMAR_SOURCE_DIR) / ".." / "shared" / "external-workbooks";
}

std::string LowerExtension(const fs::path& file) {
  std::string ext = file.extension().string();
  if (!ext.empty()) ext.erase(0, 1);
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext;
}

const std::map<std::string, std::vector<fs::path>>& SmallFiles() {
  static const std::map<std::string, std::vector<fs::path>> files = [] {
    std::map<std::string, std::vector<fs::path>> by_format;
    std::error_code ec;
    if (!fs::is_directory(Folder(), ec)) return by_format;
    for (const auto& entry : fs::recursive_directory_iterator(Folder(), ec)) {
      if (!entry.is_regular_file() || entry.file_size() == 0 || entry.file_size() >= kSmallFile) {
        continue;
      }
      by_format[LowerExtension(entry.path())].push_back(entry.path());
    }
    for (auto& [format, list] : by_format) std::sort(list.begin(), list.end());
    return by_format;
  }();
  return files;
}

// Listed or refused, the time counts; the outcome does not matter here.
std::size_t ListOnce(const fs::path& file) {
  try {
    const auto names = vexmar::ListWorksheets(file);
    return names ? names->size() : 0;
  } catch (const vexmar::Error&) {
    return 0;
  }
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[at];
}

void BM_RealFiles(benchmark::State& state, const char* format) {
  const auto found = SmallFiles().find(format);
  if (found == SmallFiles().end() || found->second.empty()) {
    state.SkipWithError("no files of this format (external-workbooks folder absent?)");
    return;
  }
  const bool detail = std::getenv("VEXMAR_REAL_FILES_DETAIL") != nullptr;
  std::vector<double> ratios, listings, floors;
  for (auto _ : state) {
    ratios.clear();
    listings.clear();
    floors.clear();
    for (const fs::path& file : found->second) {
      const vexmar::bench::FloorPair pair =
          vexmar::bench::BestAgainstFloor(file, [&] { ListOnce(file); }, kRounds);
      ratios.push_back(pair.Ratio());
      listings.push_back(pair.listing);
      floors.push_back(pair.floor);
      if (detail) {
        std::fprintf(stderr, "%8.2f %9.1f %9.1f %s\n", pair.Ratio(), pair.listing * 1e6,
                     pair.floor * 1e6, file.c_str());
      }
    }
  }
  const double median = Percentile(ratios, 0.5);
  state.counters["files"] = static_cast<double>(ratios.size());
  state.counters["floor_us_median"] = Percentile(floors, 0.5) * 1e6;
  state.counters["list_us_median"] = Percentile(listings, 0.5) * 1e6;
  state.counters["x_floor_median"] = median;
  state.counters["x_floor_p90"] = Percentile(ratios, 0.9);
  state.counters["p90_over_median"] = median > 0 ? Percentile(ratios, 0.9) / median : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--list") == 0) {
    std::size_t sheets = 0;
    for (long i = std::strtol(argv[3], nullptr, 10); i > 0; --i) sheets += ListOnce(argv[2]);
    std::printf("%zu\n", sheets);
    return 0;
  }
  for (const char* format : kFormats) {
    benchmark::RegisterBenchmark((std::string("BM_RealFiles/") + format).c_str(), BM_RealFiles,
                                 format)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
