#pragma once
// One run of the example host over an exam: every item for every candidate, the report
// on `report`, progress on stderr when the run is long, and a summary at the end.
#include <filesystem>
#include <ostream>

namespace vexmar::example {

enum class ProgressMode {
  kAuto,  // when there are many candidates, or stderr is a terminal and the report is not
  kOn,
  kOff,
};

struct RunOptions {
  std::filesystem::path exam_directory;
  std::filesystem::path item_file;  // empty: items.txt in the exam directory
  bool timing = true;               // time lines in the summary (they differ run to run)
  ProgressMode progress = ProgressMode::kAuto;
  bool report_on_terminal = false;  // the report goes to the terminal stderr shows
};

// More candidates than this make a run long enough for progress lines.
inline constexpr std::size_t kProgressCandidateThreshold = 20;

// Writes the report; returns the process exit status (0, or 2 when the exam cannot be
// read, with the reason on stderr).
int RunExam(const RunOptions& options, std::ostream& report);

}  // namespace vexmar::example
