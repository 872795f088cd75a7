#pragma once
// One run of the example host over an exam: every item for every candidate, the report
// on `report`, progress on stderr when the run is long, and a summary at the end.
// Candidates are graded by `jobs` threads; their sections are written in candidate
// order whatever the number of threads, so the report does not depend on it.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string_view>

namespace vexmar::example {

enum class ProgressMode {
  kAuto,  // when there are many candidates, or stderr is a terminal and the report is not
  kOn,
  kOff,
};

// The K-th (1-based) of N deterministic slices of the candidates: consecutive runs of the
// listing order, so the slices' candidate sections, concatenated in slice order, are
// the whole run's.
struct Shard {
  std::size_t index = 1;
  std::size_t count = 1;
};
inline constexpr std::size_t kMaxShards = 1'000'000;
// "K/N" with 1 <= K <= N <= kMaxShards; nullopt for anything else.
std::optional<Shard> ParseShard(std::string_view text);
// The candidates [first, last) of a shard of `total` candidates.
struct CandidateRange {
  std::size_t first = 0;
  std::size_t last = 0;
};
CandidateRange ShardRange(const Shard& shard, std::size_t total) noexcept;

struct RunOptions {
  std::filesystem::path exam_directory;
  std::filesystem::path item_file;  // empty: items.txt in the exam directory
  bool timing = true;               // time lines in the summary (they differ run to run)
  ProgressMode progress = ProgressMode::kAuto;
  bool report_on_terminal = false;  // the report goes to the terminal stderr shows
  std::size_t jobs = 1;             // threads grading candidates
  Shard shard;
};

// More candidates than this make a run long enough for progress lines.
inline constexpr std::size_t kProgressCandidateThreshold = 20;

// Writes the report; returns the process exit status (0, or 2 when the exam cannot be
// read, with the reason on stderr).
int RunExam(const RunOptions& options, std::ostream& report);

}  // namespace vexmar::example
