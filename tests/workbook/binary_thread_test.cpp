// Listings from several threads at once share nothing: each gives its own file's names.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "vexmar/workbook/list_worksheets.hpp"
#include "workbook/cfb_builder.hpp"

namespace {

using vexmar::testing_support::FixtureDir;

TEST(BinaryThreads, ConcurrentListingsAgree) {
  const std::vector<std::string> files = {"xlwt_names.xls", "ss_biff7_cp936.xls",
                                          "gen_sheet_kinds_biff5.xls", "lo_hidden.xls"};
  std::vector<std::vector<std::u16string>> expected;
  for (const auto& f : files) expected.push_back(*vexmar::ListWorksheets(FixtureDir() / f));
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 50; ++round) {
        const std::size_t i = static_cast<std::size_t>(t + round) % files.size();
        if (vexmar::ListWorksheets(FixtureDir() / files[i]) != expected[i]) ++mismatches;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
