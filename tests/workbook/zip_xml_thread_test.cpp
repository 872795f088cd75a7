// Listings on several threads at once give what they give alone: the readers keep no
// shared mutable state.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "workbook/listing_outcome.hpp"
#include "workbook/test_files.hpp"

namespace vexmar::workbook::testing {
namespace {

TEST(ZipXmlThreadTest, ConcurrentListingsAgreeWithSequentialOnes) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(FixtureDir())) {
    const auto ext = entry.path().extension();
    if (ext != ".py" && ext != ".tsv" && ext != ".md") files.push_back(entry.path());
  }
  ASSERT_GT(files.size(), 20u);
  std::vector<Listing> expected;
  for (const auto& file : files) expected.push_back(ListFile(file));

  constexpr int kThreads = 4;
  std::vector<std::vector<Listing>> got(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (std::size_t i = 0; i < files.size(); ++i) {
        // Each thread walks the files from a different starting point.
        got[static_cast<std::size_t>(t)].push_back(
            ListFile(files[(i + static_cast<std::size_t>(t) * 7) % files.size()]));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    for (std::size_t i = 0; i < files.size(); ++i) {
      const Listing& want = expected[(i + static_cast<std::size_t>(t) * 7) % files.size()];
      const Listing& have = got[static_cast<std::size_t>(t)][i];
      EXPECT_EQ(have.outcome, want.outcome);
      EXPECT_EQ(have.names, want.names);
      EXPECT_EQ(have.description, want.description);
    }
  }
}

}  // namespace
}  // namespace vexmar::workbook::testing
