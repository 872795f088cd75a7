#include "examples/host/run.hpp"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "examples/host/exam.hpp"
#include "examples/host/late_grader.hpp"
#include "examples/host/shown_text.hpp"

namespace vexmar::example {
namespace {

using Clock = std::chrono::steady_clock;

// "[3/120] 003-王五" on stderr: one line each, or on a terminal one line rewritten in
// place and cleared before the report goes on.
class Progress {
 public:
  Progress(bool enabled, bool terminal) : enabled_(enabled), terminal_(terminal) {}

  void Show(std::size_t done, std::size_t total, const std::u16string& name) {
    if (!enabled_) return;
    const std::string text =
        "[" + std::to_string(done) + "/" + std::to_string(total) + "] " + Shown(name);
    if (terminal_) {
      std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
    } else {
      std::fprintf(stderr, "%s\n", text.c_str());
    }
    std::fflush(stderr);
  }

  void Clear() {
    if (!enabled_ || !terminal_) return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
  }

 private:
  bool enabled_;
  bool terminal_;
};

bool ProgressWanted(const RunOptions& options, std::size_t candidates, bool stderr_terminal) {
  switch (options.progress) {
    case ProgressMode::kOn:
      return true;
    case ProgressMode::kOff:
      return false;
    case ProgressMode::kAuto:
      break;
  }
  return candidates > kProgressCandidateThreshold ||
         (stderr_terminal && !options.report_on_terminal);
}

std::string ItemTitle(const ExamItem& item, std::size_t number) {
  std::string title =
      "item " + std::to_string(number) + " [" + std::string(KindName(item.kind)) + "]";
  if (item.kind == ItemKind::kSheet) title += " " + Shown(item.file_name);
  return title;
}

std::string Milliseconds(Clock::duration duration) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3f ms",
                std::chrono::duration<double, std::milli>(duration).count());
  return buffer;
}

void WriteHeader(const RunOptions& options, const std::filesystem::path& item_file,
                 const Exam& exam, std::ostream& report) {
  report << "VexmarExt example host\n"
         << "exam        " << options.exam_directory.string() << '\n'
         << "item file   " << item_file.string() << '\n'
         << "items       " << exam.items.size() << '\n'
         << "candidates  " << exam.candidates.size() << '\n';
  for (const auto& [name, reason] : exam.skipped) {
    report << "skipped     " << Shown(name) << ": " << reason << '\n';
  }
  report << "\nitems\n";
  for (std::size_t i = 0; i < exam.items.size(); ++i) {
    report << "  " << ItemTitle(exam.items[i], i + 1) << '\n'
           << "    rule  " << Shown(exam.items[i].rule) << '\n';
  }
}

struct Tally {
  std::size_t done = 0;
  std::size_t refused = 0;
  std::size_t errors = 0;
  std::vector<Clock::duration> item_time;
  Clock::duration total{};
};

void WriteSummary(const RunOptions& options, const Exam& exam, const Tally& tally,
                  std::ostream& report) {
  const std::size_t runs = exam.items.size() * exam.candidates.size();
  report << "\nsummary\n"
         << "  candidates  " << exam.candidates.size() << '\n'
         << "  items       " << exam.items.size() << '\n'
         << "  item runs   " << runs << ": " << tally.done << " done, " << tally.refused
         << " answered false or -1, " << tally.errors << " failed with an error\n";
  if (!options.timing || exam.candidates.empty()) return;
  const auto per_candidate = [&](Clock::duration d) {
    return d / static_cast<Clock::rep>(exam.candidates.size());
  };
  report << "  time        " << Milliseconds(tally.total) << " in all, "
         << Milliseconds(tally.total / static_cast<Clock::rep>(runs)) << " per item run\n";
  for (std::size_t i = 0; i < exam.items.size(); ++i) {
    report << "    " << ItemTitle(exam.items[i], i + 1) << ": "
           << Milliseconds(per_candidate(tally.item_time[i])) << " per candidate\n";
  }
}

}  // namespace

int RunExam(const RunOptions& options, std::ostream& report) {
  const std::filesystem::path item_file =
      options.item_file.empty() ? options.exam_directory / kDefaultItemFileName : options.item_file;
  Exam exam;
  try {
    exam = LoadExam(options.exam_directory, item_file);
  } catch (const ExamError& e) {
    std::cerr << "vexmar_demo: " << e.what() << '\n';
    return 2;
  }

  WriteHeader(options, item_file, exam, report);
  const bool stderr_terminal = isatty(STDERR_FILENO) != 0;
  Progress progress(ProgressWanted(options, exam.candidates.size(), stderr_terminal),
                    stderr_terminal);
  Tally tally;
  tally.item_time.assign(exam.items.size(), Clock::duration{});

  for (std::size_t c = 0; c < exam.candidates.size(); ++c) {
    const Candidate& candidate = exam.candidates[c];
    progress.Show(c + 1, exam.candidates.size(), candidate.name);
    std::ostringstream section;
    section << "\ncandidate " << Shown(candidate.name) << "  (TestPath "
            << Shown(candidate.test_path) << ")\n";
    for (std::size_t i = 0; i < exam.items.size(); ++i) {
      const Clock::time_point start = Clock::now();
      section << "  " << ItemTitle(exam.items[i], i + 1) << '\n';
      const Outcome outcome = GradeItem(exam.items[i], candidate, section);
      const Clock::duration spent = Clock::now() - start;
      tally.item_time[i] += spent;
      tally.total += spent;
      switch (outcome) {
        case Outcome::kDone:
          ++tally.done;
          break;
        case Outcome::kRefused:
          ++tally.refused;
          break;
        case Outcome::kError:
          ++tally.errors;
          break;
      }
    }
    progress.Clear();
    report << section.str() << std::flush;
  }
  WriteSummary(options, exam, tally, report);
  return 0;
}

}  // namespace vexmar::example
