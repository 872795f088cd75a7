#include "examples/host/exam.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "examples/host/run.hpp"
#include "platform/temp_directory.hpp"

namespace vexmar::example {
namespace {

using vexmar::testing::TempDirectory;

TEST(Exam, CandidatesAreTheVisibleDirectoriesInListingOrder) {
  TempDirectory exam;
  exam.File("items.txt", "[naming]\nW|*.xls|1|m\n");
  for (const char* name : {"b", "A", "c", ".hidden", "x\\y"}) exam.Dir(name);
  exam.File("notes.txt");
  exam.Symlink(exam.Full("c"), "link");

  const Exam loaded = LoadExam(exam.Path(), exam.Full("items.txt"));
  ASSERT_EQ(loaded.items.size(), 1u);
  std::vector<std::u16string> names;
  for (const Candidate& c : loaded.candidates) {
    names.push_back(c.name);
    EXPECT_EQ(c.test_path, exam.HostPath() + u"/" + c.name);
  }
  EXPECT_EQ(names, (std::vector<std::u16string>{u"A", u"b", u"c", u"link"}));
  ASSERT_EQ(loaded.skipped.size(), 1u);
  EXPECT_EQ(loaded.skipped[0].first, u"x\\y");
}

TEST(Exam, RefusesWhatCannotBeRun) {
  TempDirectory exam;
  exam.File("empty.txt", "; only a comment\n");
  exam.File("broken.txt", "[naming]\nW|a|1|m\n---\n[sheet]\nK|a|1|m\n");
  const struct {
    std::string directory;
    std::string item_file;
    std::string message_part;
  } cases[] = {
      {exam.Full("absent"), exam.Full("empty.txt"), "is not an exam directory"},
      {exam.Path(), exam.Full("absent.txt"), "cannot read the item file"},
      {exam.Path(), exam.Full("empty.txt"), "no items"},
      {exam.Path(), exam.Full("broken.txt"), "line 4: a [sheet] item needs file="},
  };
  for (const auto& c : cases) {
    try {
      LoadExam(c.directory, c.item_file);
      ADD_FAILURE() << "no error for " << c.item_file;
    } catch (const ExamError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message_part), std::string::npos) << e.what();
    }
  }
}

// An error escaping a member is reported in the item's place and counted; the run goes
// on with the next item and candidate.
TEST(Exam, RunReportsErrorsAndCountsOutcomes) {
  TempDirectory exam;
  using namespace std::string_literals;
  // A NUL in a file pattern cannot become a path.
  exam.File("items.txt", "[naming]\nW|a\0*.xls|1|m\n---\n[multifile]\nnot a file rule\n"s);
  exam.Dir("001");
  exam.File("001/a.xls");

  RunOptions options;
  options.exam_directory = exam.Path();
  options.timing = false;
  options.progress = ProgressMode::kOff;
  std::ostringstream report;
  ASSERT_EQ(RunExam(options, report), 0);
  const std::string text = report.str();
  EXPECT_NE(text.find("    error               75 (0x800A004B) "), std::string::npos) << text;
  EXPECT_NE(text.find("    ParseRules          -1\n    FilesName           0\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("item runs   2: 0 done, 1 answered false or -1, 1 failed with an error"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find(" ms"), std::string::npos) << "timing lines despite --no-timing";
}

// Threads grade candidates; the report is written in candidate order all the same.
TEST(Exam, ReportDoesNotDependOnTheNumberOfThreads) {
  const char* source = std::getenv("VEXMAR_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  const auto run = [&](std::size_t jobs) {
    RunOptions options;
    options.exam_directory = std::filesystem::path(source) / "examples" / "sample-exam";
    options.timing = false;
    options.progress = ProgressMode::kOff;
    options.jobs = jobs;
    std::ostringstream report;
    EXPECT_EQ(RunExam(options, report), 0);
    return report.str();
  };
  const std::string one = run(1);
  EXPECT_EQ(run(3), one);
  EXPECT_EQ(run(8), one);
}

// Shards are consecutive slices that cover every candidate once, sizes within one of
// each other, also when there are more shards than candidates or very many of both.
TEST(Shard, SlicesCoverTheCandidatesOnceInOrder) {
  const std::size_t big = std::size_t{1} << 62;
  for (const auto& [total, count] : std::vector<std::pair<std::size_t, std::size_t>>{
           {0, 3}, {6, 4}, {3, 7}, {2000, 2}, {2001, 1000}, {big, kMaxShards}}) {
    std::size_t next = 0;
    for (std::size_t k = 1; k <= count; k += count > 10 ? count / 7 : 1) {
      const CandidateRange range = ShardRange({k, count}, total);
      if (k > 1 && count <= 10) {
        EXPECT_EQ(range.first, next) << total << " " << k << "/" << count;
      }
      EXPECT_LE(range.last - range.first, total / count + 1);
      next = range.last;
    }
    EXPECT_EQ(ShardRange({count, count}, total).last, total);
  }
}

TEST(Shard, ParsesOnlyKOfN) {
  EXPECT_EQ(ParseShard("2/4")->index, 2u);
  EXPECT_EQ(ParseShard("4/4")->count, 4u);
  for (const char* bad : {"0/4", "5/4", "1/0", "4", "/4", "1/", "1/4x", "-1/4", "1/1000001"}) {
    EXPECT_FALSE(ParseShard(bad)) << bad;
  }
}

}  // namespace
}  // namespace vexmar::example
