#include "examples/host/run.hpp"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
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
  if (options.shard.count > 1) {
    const CandidateRange range = ShardRange(options.shard, exam.candidates.size());
    report << "shard       " << options.shard.index << '/' << options.shard.count << ": ";
    if (range.first == range.last) {
      report << "no candidates\n";
    } else {
      report << "candidates " << range.first + 1 << '-' << range.last << '\n';
    }
  }
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
  std::size_t candidates = 0;
  std::size_t done = 0;
  std::size_t refused = 0;
  std::size_t errors = 0;
  std::vector<Clock::duration> item_time;  // summed over the threads
  Clock::duration total{};                 // wall-clock time of the grading
  std::size_t jobs = 1;
};

void WriteSummary(const RunOptions& options, const Exam& exam, const Tally& tally,
                  std::ostream& report) {
  const std::size_t runs = exam.items.size() * tally.candidates;
  report << "\nsummary\n"
         << "  candidates  " << tally.candidates << '\n'
         << "  items       " << exam.items.size() << '\n'
         << "  item runs   " << runs << ": " << tally.done << " done, " << tally.refused
         << " answered false or -1, " << tally.errors << " failed with an error\n";
  if (!options.timing || tally.candidates == 0) return;
  const auto per_candidate = [&](Clock::duration d) {
    return d / static_cast<Clock::rep>(tally.candidates);
  };
  const double seconds = std::chrono::duration<double>(tally.total).count();
  char rate[64];
  std::snprintf(rate, sizeof rate, "%.1f candidates/s",
                seconds > 0 ? static_cast<double>(tally.candidates) / seconds : 0.0);
  report << "  time        " << Milliseconds(tally.total) << " in all, "
         << Milliseconds(tally.total / static_cast<Clock::rep>(runs)) << " per item run\n"
         << "  rate        " << rate << " with " << tally.jobs << " jobs\n";
  for (std::size_t i = 0; i < exam.items.size(); ++i) {
    report << "    " << ItemTitle(exam.items[i], i + 1) << ": "
           << Milliseconds(per_candidate(tally.item_time[i])) << " per candidate\n";
  }
}

// One candidate's section of the report and what its items gave.
struct Graded {
  std::string section;
  std::vector<Outcome> outcomes;
  std::vector<Clock::duration> item_time;
};

Graded GradeCandidate(const Exam& exam, const Candidate& candidate) {
  Graded graded;
  std::ostringstream section;
  section << "\ncandidate " << Shown(candidate.name) << "  (TestPath "
          << Shown(candidate.test_path) << ")\n";
  for (std::size_t i = 0; i < exam.items.size(); ++i) {
    const Clock::time_point start = Clock::now();
    section << "  " << ItemTitle(exam.items[i], i + 1) << '\n';
    graded.outcomes.push_back(GradeItem(exam.items[i], candidate, section));
    graded.item_time.push_back(Clock::now() - start);
  }
  graded.section = std::move(section).str();
  return graded;
}

// Grades the candidates of `range` with up to `jobs` threads and hands every result to
// `emit` on the calling thread, in candidate order, as soon as it and all before it are
// ready. Library objects are never shared: each item run creates its own.
void GradeInOrder(const Exam& exam, CandidateRange range, std::size_t jobs,
                  const std::function<void(std::size_t, Graded&&)>& emit) {
  const std::size_t count = range.last - range.first;
  if (jobs <= 1 || count <= 1) {
    for (std::size_t c = range.first; c < range.last; ++c) {
      emit(c, GradeCandidate(exam, exam.candidates[c]));
    }
    return;
  }
  struct Slot {
    std::optional<Graded> graded;
    std::exception_ptr failure;
  };
  std::vector<Slot> slots(count);
  std::mutex mutex;
  std::condition_variable ready;
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < count; i = next++) {
      Slot slot;
      try {
        slot.graded = GradeCandidate(exam, exam.candidates[range.first + i]);
      } catch (...) {
        slot.failure = std::current_exception();
      }
      {
        const std::lock_guard lock(mutex);
        slots[i] = std::move(slot);
      }
      ready.notify_all();
    }
  };
  std::vector<std::jthread> threads;
  for (std::size_t j = 0; j < std::min(jobs, count); ++j) threads.emplace_back(work);
  for (std::size_t i = 0; i < count; ++i) {
    std::unique_lock lock(mutex);
    ready.wait(lock, [&] { return slots[i].graded || slots[i].failure; });
    Slot slot = std::move(slots[i]);
    lock.unlock();
    if (slot.failure) std::rethrow_exception(slot.failure);
    emit(range.first + i, std::move(*slot.graded));
  }
}

}  // namespace

std::optional<Shard> ParseShard(std::string_view text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  Shard shard;
  const auto number = [](std::string_view digits, std::size_t& out) {
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
    return error == std::errc() && end == digits.data() + digits.size() && !digits.empty();
  };
  if (!number(text.substr(0, slash), shard.index) || !number(text.substr(slash + 1), shard.count) ||
      shard.index < 1 || shard.index > shard.count || shard.count > kMaxShards) {
    return std::nullopt;
  }
  return shard;
}

CandidateRange ShardRange(const Shard& shard, std::size_t total) noexcept {
  // Boundaries at total * k / N (without overflow: N is at most kMaxShards), so the
  // slices differ in size by at most one.
  const auto boundary = [&](std::size_t k) {
    return total / shard.count * k + total % shard.count * k / shard.count;
  };
  return {boundary(shard.index - 1), boundary(shard.index)};
}

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
  const CandidateRange range = ShardRange(options.shard, exam.candidates.size());
  const std::size_t total = range.last - range.first;
  Progress progress(ProgressWanted(options, total, stderr_terminal), stderr_terminal);
  Tally tally;
  tally.jobs = std::max<std::size_t>(options.jobs, 1);
  tally.item_time.assign(exam.items.size(), Clock::duration{});

  const Clock::time_point start = Clock::now();
  GradeInOrder(exam, range, tally.jobs, [&](std::size_t c, Graded&& graded) {
    progress.Show(c - range.first + 1, total, exam.candidates[c].name);
    ++tally.candidates;
    for (std::size_t i = 0; i < graded.outcomes.size(); ++i) {
      tally.item_time[i] += graded.item_time[i];
      switch (graded.outcomes[i]) {
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
    report << graded.section << std::flush;
  });
  tally.total = Clock::now() - start;
  WriteSummary(options, exam, tally, report);
  return 0;
}

}  // namespace vexmar::example
