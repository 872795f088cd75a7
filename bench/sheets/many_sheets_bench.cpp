// A pattern rule over a workbook of up to 65,534 worksheets: ParseRule against the
// listing of the same workbook alone. Keeping each matched name once must cost a
// constant per name, so ParseRule stays close to the listing whatever the count.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "vexmar/component/utf.hpp"
#include "vexmar/sheets/excel_multi_sheets.hpp"
#include "vexmar/workbook/list_worksheets.hpp"

namespace {

// SpreadsheetML workbooks made on first use, removed at exit. Every other name differs
// from the one before only in letter case, so half the matches are found again.
class Workbooks {
 public:
  ~Workbooks() {
    std::error_code ec;
    if (!root_.empty()) std::filesystem::remove_all(root_, ec);
  }
  const std::string& Directory() {
    if (root_.empty()) {
      std::string pattern = "/tmp/vexmar-sheets-XXXXXX";
      if (mkdtemp(pattern.data()) == nullptr) std::abort();
      root_ = pattern;
    }
    return root_;
  }
  std::string For(std::int64_t sheets) {
    const std::string name = std::to_string(sheets) + ".xml";
    if (made_.emplace(sheets, true).second) {
      std::ofstream out(Directory() + "/" + name);
      out << "<?xml version=\"1.0\"?>\n<Workbook xmlns=\"urn:schemas-microsoft-com:office:"
             "spreadsheet\" xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\n";
      for (std::int64_t i = 0; i < sheets; ++i) {
        out << "<Worksheet ss:Name=\"" << (i % 2 == 0 ? "Sheet" : "SHEET") << i / 2
            << "\"/>\n";
      }
      out << "</Workbook>\n";
    }
    return name;
  }

 private:
  std::string root_;
  std::map<std::int64_t, bool> made_;
};

Workbooks& Generated() {
  static Workbooks workbooks;
  return workbooks;
}

void BM_ListWorksheetsAlone(benchmark::State& state) {
  const std::string file = Generated().For(state.range(0));
  const std::filesystem::path path = Generated().Directory() + "/" + file;
  std::size_t names = 0;
  for (auto _ : state) {
    names = vexmar::ListWorksheets(path)->size();
    benchmark::DoNotOptimize(names);
  }
  state.counters["sheets"] = static_cast<double>(names);
}

void BM_ParseRule(benchmark::State& state) {
  const std::string file = Generated().For(state.range(0));
  vexmar::ClsExcelMultiSheets sheets;
  // The second pattern matches every worksheet again.
  sheets.SetRule(u"K|*#S*|5|m");
  sheets.SetTestPath(vexmar::Utf8ToUtf16(Generated().Directory()));
  sheets.SetFileName(vexmar::Utf8ToUtf16(file));
  std::int32_t rules = 0;
  for (auto _ : state) {
    std::u16string message;
    if (!sheets.ParseRule(message)) state.SkipWithError("ParseRule failed");
    rules = sheets.PingRules()->Count();
  }
  state.counters["rules"] = rules;
}

BENCHMARK(BM_ListWorksheetsAlone)->Arg(1'000)->Arg(65'534)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseRule)->Arg(1'000)->Arg(65'534)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
