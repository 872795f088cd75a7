// Distinct ClsExcelMultiSheets objects on different threads at once, sharing one
// registry of applications.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "scripted_spreadsheet.hpp"
#include "sheets_test_support.hpp"
#include "vexmar/sheets/excel_multi_sheets.hpp"
#include "vexmar/sheets/spreadsheet_applications.hpp"

namespace vexmar {
namespace {

using ::testing::ElementsAre;

constexpr int kThreads = 4;
constexpr int kRounds = 40;

TEST(SheetsThreads, DistinctObjectsParseAtOnce) {
  testing::SpreadsheetScript script;
  script.sheets = {u"Sheet1", u"Data", u"Sheet2"};
  testing::ScriptedSpreadsheet stand_in(script);
  const auto applications = stand_in.Applications();

  std::vector<testing::TempDirectory> dirs(kThreads);
  for (const auto& dir : dirs) dir.AddFile("b.xls");

  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::u16string own = u"T" + std::u16string(1, static_cast<char16_t>(u'0' + t));
      ClsExcelMultiSheets pattern_sheets(applications);
      pattern_sheets.SetRule(u"K|Sheet*#" + own + u"|5|m");
      pattern_sheets.SetTestPath(dirs[static_cast<std::size_t>(t)].HostPath());
      pattern_sheets.SetFileName(u"b.xls");
      ClsExcelMultiSheets plain_sheets;  // the platform's default applications
      plain_sheets.SetRule(u"K|" + own + u"#A|2|m\r\nL");
      for (int round = 0; round < kRounds; ++round) {
        std::u16string message;
        if (!pattern_sheets.ParseRule(message) ||
            testing::Entries(*pattern_sheets.PingRules()) !=
                std::vector<std::u16string>{u"K|Sheet1|5|m", u"K|Sheet2|5|m",
                                            u"K|" + own + u"|5|m"}) {
          ++failures[static_cast<std::size_t>(t)];
        }
        if (!plain_sheets.ParseRule(message) || plain_sheets.PingRules()->Count() != 2) {
          ++failures[static_cast<std::size_t>(t)];
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_THAT(failures, ::testing::Each(0));
  EXPECT_TRUE(stand_in.NothingHeld());
}

}  // namespace
}  // namespace vexmar
