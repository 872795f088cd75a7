// Distinct objects resolving rules against the same directory from several threads at
// once: nothing may be shared between them (run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/temp_directory.hpp"
#include "vexmar/multifile/excel_multi_files.hpp"
#include "vexmar/names/repeat_name.hpp"

namespace vexmar {
namespace {

TEST(ConcurrentResolutionTest, DistinctObjectsOnSeveralThreads) {
  vexmar::testing::TempDirectory dir;
  for (int i = 0; i < 50; ++i) dir.File("file" + std::to_string(i) + ".xls");
  dir.File("note.doc");
  const std::u16string path = dir.HostPath();

  constexpr int kThreads = 4;
  constexpr int kRounds = 20;
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ClsRepeatName names;
      ClsExcelMultiFiles files;
      files.SetTestPath(path);
      files.SetRules(u"#FILE\r\n*.xls#*.doc#plain.xls");
      for (int round = 0; round < kRounds; ++round) {
        StringList list;
        if (names.GetFileNames(u"K|*.xls#FILE1*.XLS#*.doc|5|m", list, path) != 51) {
          ++failures[static_cast<std::size_t>(t)];
        }
        if (files.ParseRules() != 52) ++failures[static_cast<std::size_t>(t)];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[static_cast<std::size_t>(t)], 0) << t;
}

}  // namespace
}  // namespace vexmar
