// Listing worksheets of large zip and XML workbooks, beside python3-openpyxl in the same
// run. The files are generated on first use under $TMPDIR/vexmar-bench-zip-xml.
//
// Each benchmark reports, besides its time: file_MB, the peak resident memory of one
// listing above the process baseline (peak_KiB_above_base), for .xlsx the peer's time
// (openpyxl_ms, listing only, in process) and the ratio (x_faster), and for the XML
// formats the XML throughput (xml_MB_per_s).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "bench/workbook/hostile_generator.hpp"
#include "bench/workbook/read_floor.hpp"
#include "bench/workbook/zip_xml_generator.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/workbook/detection/xml_workbook.hpp"
#include "vexmar/workbook/detection/zip_workbook.hpp"
#include "vexmar/workbook/file_source.hpp"

namespace {

namespace fs = std::filesystem;
using vexmar::workbook::FileSource;

fs::path WorkDir() {
  const char* tmp = std::getenv("TMPDIR");
  fs::path dir = fs::path(tmp != nullptr ? tmp : "/tmp") / "vexmar-bench-zip-xml";
  fs::create_directories(dir);
  return dir;
}

struct Sample {
  fs::path path;
  std::uint64_t xml_bytes = 0;  // bytes of XML that a listing streams (XML formats)
  bool zip = true;
};

std::map<std::string, Sample>& Samples() {
  static std::map<std::string, Sample> samples = [] {
    std::map<std::string, Sample> s;
    const fs::path dir = WorkDir();
    constexpr std::uint64_t kMiB = 1 << 20;
    auto xlsx = [&](const std::string& key, std::uint64_t size, int sheets) {
      const fs::path p = dir / (key + ".xlsx");
      if (!fs::exists(p)) vexmar::bench::WriteXlsx(p, size, sheets);
      s[key] = {p, 0, true};
    };
    xlsx("xlsx_1MB", 1 * kMiB, 3);
    xlsx("xlsx_50MB", 50 * kMiB, 3);
    xlsx("xlsx_100MB", 100 * kMiB, 3);
    // The many-sheet workbook comes from a real producer when python3-xlsxwriter is there.
    const fs::path many = dir / "xlsx_250_sheets.xlsx";
    if (!fs::exists(many)) {
      const std::string make =
          "/usr/bin/python3 -c \"import sys, xlsxwriter; wb = xlsxwriter.Workbook(sys.argv[1]); "
          "[wb.add_worksheet('Sheet %d' % i).write_row(0, 0, ['Name %d' % i, i]) for i in "
          "range(1, 251)]; wb.close()\" '" +
          many.string() + "' 2>/dev/null";
      if (std::system(make.c_str()) != 0 || !fs::exists(many)) {
        vexmar::bench::WriteXlsx(many, 64 * 1024, 250);
      }
    }
    s["xlsx_250_sheets"] = {many, 0, true};
    const fs::path ods = dir / "large.ods";
    const fs::path ods_size = dir / "large.ods.xml-bytes";
    if (!fs::exists(ods) || !fs::exists(ods_size)) {
      const std::uint64_t produced = vexmar::bench::WriteOds(ods, 200 * kMiB);
      std::ofstream(ods_size) << produced;
    }
    std::uint64_t ods_xml = 0;
    std::ifstream(ods_size) >> ods_xml;
    s["ods_large"] = {ods, ods_xml, true};
    const fs::path ssml = dir / "large-spreadsheetml.xml";
    if (!fs::exists(ssml)) vexmar::bench::WriteSpreadsheetMl(ssml, 100 * kMiB);
    s["spreadsheetml_large"] = {ssml, fs::file_size(ssml), false};

    // The worst case of each format at full size; xml_bytes is what the hostile part
    // holds once inflated.
    // Just within the archive's 1 GiB inflate cap.
    constexpr std::uint64_t kGiB = (std::uint64_t{1} << 30) - kMiB;
    auto hostile = [&](const std::string& key, std::uint64_t bytes, bool zip,
                       const std::function<void(const fs::path&)>& write) {
      const fs::path p = dir / (key + (zip ? ".zip" : ".xml"));
      if (!fs::exists(p)) write(p);
      s[key] = {p, bytes, zip};
    };
    using namespace vexmar::bench;
    hostile("bomb_xlsx_workbook_1GiB", kGiB, true,
            [&](const fs::path& p) { WriteWorkbookPartBomb(p, kGiB, false); });
    hostile("bomb_xlsb_workbook_1GiB", kGiB, true,
            [&](const fs::path& p) { WriteWorkbookPartBomb(p, kGiB, true); });
    hostile("bomb_ods_cells_1GiB", kGiB, true,
            [&](const fs::path& p) { WriteOdsBomb(p, kGiB, true); });
    hostile("bomb_ods_styles_1GiB", kGiB, true,
            [&](const fs::path& p) { WriteOdsBomb(p, kGiB, false); });
    hostile("spreadsheetml_rows_100MB", 100 * kMiB, false,
            [&](const fs::path& p) { WriteSpreadsheetMlRows(p, 100 * kMiB); });
    hostile("xlsx_1MiB_uri_4000_uses", 0, true,
            [&](const fs::path& p) { WriteLongUriXlsx(p, kMiB, 4000); });
    hostile("xlsx_15MiB_uri_4000_uses", 0, true,
            [&](const fs::path& p) { WriteLongUriXlsx(p, 15 * kMiB, 4000); });
    hostile("xlsx_64000_sheets_16KiB_names", 0, true,
            [&](const fs::path& p) { WriteLongNamesXlsx(p, 64000, 16 * 1024); });
    hostile("xlsx_20MiB_distinct_names", 20 * kMiB, true,
            [&](const fs::path& p) { WriteDistinctNamesXlsx(p, 20 * kMiB); });
    return s;
  }();
  return samples;
}

// The peer's listing times, measured once by a Python process that imports openpyxl
// before it starts the clock.
std::map<std::string, double>& PeerSeconds() {
  static std::map<std::string, double> seconds = [] {
    std::map<std::string, double> out;
    std::string command =
        "/usr/bin/python3 " + std::string(VEXMAR_BENCH_DIR) + "/peers/openpyxl_list.py";
    for (const auto& [key, sample] : Samples()) {
      if (sample.path.extension() == ".xlsx") command += " '" + sample.path.string() + "'";
    }
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
      char line[4096];
      while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream fields(line);
        double s = 0;
        std::string path;
        fields >> s;
        std::getline(fields >> std::ws, path);
        for (const auto& [key, sample] : Samples()) {
          if (sample.path.string() == path) out[key] = s;
        }
      }
      ::pclose(pipe);
    }
    return out;
  }();
  return seconds;
}

long StatusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0)
      return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
  }
  return -1;
}

std::size_t List(const Sample& sample) {
  const FileSource source(sample.path);
  const auto names = sample.zip ? vexmar::workbook::ListZipWorksheets(source)
                                : vexmar::workbook::ListXmlWorksheets(source);
  if (!names) throw std::runtime_error("not a workbook: " + sample.path.string());
  return names->size();
}

// A hostile file may end as damage: -1.
double ListOrRefuse(const Sample& sample) {
  try {
    return static_cast<double>(List(sample));
  } catch (const vexmar::Error&) {
    return -1;
  }
}

// Peak resident memory of one listing above the baseline of a fresh process: this
// program run again with --peak, so that no earlier listing has warmed its heap.
long PeakAboveBaseline(const Sample& sample) {
  const std::string command = fs::read_symlink("/proc/self/exe").string() + " --peak " +
                              std::string(sample.zip ? "zip" : "xml") + " '" +
                              sample.path.string() + "'";
  long kib = -1;
  if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
    if (std::fscanf(pipe, "%ld", &kib) != 1) kib = -1;
    ::pclose(pipe);
  }
  return kib;
}

int MeasurePeak(const std::string& kind, const std::string& path) {
  const Sample sample{path, 0, kind == "zip"};
  std::ofstream("/proc/self/clear_refs") << "5";  // the peak restarts from the current size
  const long base = StatusKiB("VmRSS:");
  ListOrRefuse(sample);
  std::printf("%ld\n", StatusKiB("VmHWM:") - base);
  return 0;
}

// floor_us: opening the file and reading all of it; x_floor: the best listing over the
// best floor, alternating in this run.
// Slow listings (big or hostile files) alternate three times.
template <typename Call>
void AddFloorCounters(benchmark::State& state, const Sample& sample, Call&& call, bool slow) {
  const int rounds = slow || fs::file_size(sample.path) > (16u << 20) ? 3 : 20;
  const auto pair = vexmar::bench::BestAgainstFloor(sample.path, call, rounds);
  state.counters["floor_us"] = pair.floor * 1e6;
  state.counters["x_floor"] = pair.Ratio();
}

void BM_ListWorksheets(benchmark::State& state, const std::string& key) {
  const Sample& sample = Samples().at(key);
  const double peer = PeerSeconds().count(key) != 0 ? PeerSeconds().at(key) : 0.0;
  double total = 0;
  std::size_t sheets = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    sheets = List(sample);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    benchmark::DoNotOptimize(sheets);
  }
  const double mean = total / static_cast<double>(state.iterations());
  AddFloorCounters(state, sample, [&] { List(sample); }, mean > 1e-2);
  state.counters["sheets"] = static_cast<double>(sheets);
  state.counters["file_MB"] = static_cast<double>(fs::file_size(sample.path)) / (1 << 20);
  state.counters["peak_KiB_above_base"] = static_cast<double>(PeakAboveBaseline(sample));
  if (peer > 0) {
    state.counters["openpyxl_ms"] = peer * 1e3;
    state.counters["x_faster"] = peer / mean;
  }
  if (sample.xml_bytes > 0) {
    state.counters["xml_MB_per_s"] = static_cast<double>(sample.xml_bytes) / (1 << 20) / mean;
    state.counters["file_MB_per_s"] =
        static_cast<double>(fs::file_size(sample.path)) / (1 << 20) / mean;
  }
}

// Hostile files: sheets is -1 when the listing refused the file as damaged; xml_MB_per_s
// counts the hostile part's full inflated size, whether or not all of it was read.
void BM_Hostile(benchmark::State& state, const std::string& key) {
  const Sample& sample = Samples().at(key);
  double sheets = 0;
  for (auto _ : state) {
    sheets = ListOrRefuse(sample);
    benchmark::DoNotOptimize(sheets);
  }
  state.counters["sheets"] = sheets;
  state.counters["file_MB"] = static_cast<double>(fs::file_size(sample.path)) / (1 << 20);
  state.counters["peak_KiB_above_base"] = static_cast<double>(PeakAboveBaseline(sample));
  AddFloorCounters(state, sample, [&] { ListOrRefuse(sample); }, true);
  if (sample.xml_bytes > 0) {
    state.counters["part_MB"] = static_cast<double>(sample.xml_bytes) / (1 << 20);
    state.counters["xml_MB_per_s"] = benchmark::Counter(
        static_cast<double>(sample.xml_bytes) / (1 << 20), benchmark::Counter::kIsIterationInvariantRate);
  }
}

#define VEXMAR_HOSTILE(key) \
  BENCHMARK_CAPTURE(BM_Hostile, key, std::string(#key))->Unit(benchmark::kMillisecond)
VEXMAR_HOSTILE(bomb_xlsx_workbook_1GiB);
VEXMAR_HOSTILE(bomb_xlsb_workbook_1GiB);
VEXMAR_HOSTILE(bomb_ods_cells_1GiB);
VEXMAR_HOSTILE(bomb_ods_styles_1GiB);
VEXMAR_HOSTILE(spreadsheetml_rows_100MB);
VEXMAR_HOSTILE(xlsx_1MiB_uri_4000_uses);
VEXMAR_HOSTILE(xlsx_15MiB_uri_4000_uses);
VEXMAR_HOSTILE(xlsx_64000_sheets_16KiB_names);
VEXMAR_HOSTILE(xlsx_20MiB_distinct_names);

BENCHMARK_CAPTURE(BM_ListWorksheets, xlsx_1MB, std::string("xlsx_1MB"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ListWorksheets, xlsx_50MB, std::string("xlsx_50MB"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ListWorksheets, xlsx_100MB, std::string("xlsx_100MB"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ListWorksheets, xlsx_250_sheets, std::string("xlsx_250_sheets"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ListWorksheets, ods_large, std::string("ods_large"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ListWorksheets, spreadsheetml_large, std::string("spreadsheetml_large"))
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--peak") return MeasurePeak(argv[2], argv[3]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
