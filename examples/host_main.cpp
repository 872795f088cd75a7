// The example grading host: runs an exam directory (an item file and one directory per
// candidate) through the library by late binding and prints what it produced.
//
//   vexmar_demo [--no-timing] [--progress | --no-progress] [--items FILE]
//               [--jobs N] [--shard K/N] [EXAM_DIR]
//   vexmar_demo --tour
//
// Without EXAM_DIR it runs the sample exam of the source tree.
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <exception>
#include <thread>
#include <algorithm>
#include <iostream>
#include <optional>
#include <string_view>

#include "examples/host/run.hpp"
#include "examples/tour.hpp"

namespace {

constexpr const char* kUsage =
    "usage: vexmar_demo [--no-timing] [--progress | --no-progress] [--items FILE]\n"
    "                   [--jobs N] [--shard K/N] [EXAM_DIR]\n"
    "       vexmar_demo --tour\n"
    "Runs every item of EXAM_DIR/items.txt for every candidate directory of EXAM_DIR\n"
    "(default: the sample exam) and prints the work the library produced.\n"
    "  --jobs N     grade candidates with N threads (default: the number of cores)\n"
    "  --shard K/N  grade only the K-th of N consecutive slices of the candidates\n";

int Usage(int status) {
  std::fputs(kUsage, status == 0 ? stdout : stderr);
  return status;
}

std::optional<std::size_t> PositiveNumber(std::string_view text) {
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value == 0) return std::nullopt;
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  using vexmar::example::ProgressMode;
  vexmar::example::RunOptions options;
  options.jobs = std::max(1u, std::thread::hardware_concurrency());
  bool has_directory = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--tour") return vexmar::example::RunTour();
    if (arg == "-h" || arg == "--help") return Usage(0);
    if (arg == "--no-timing") {
      options.timing = false;
    } else if (arg == "--progress") {
      options.progress = ProgressMode::kOn;
    } else if (arg == "--no-progress") {
      options.progress = ProgressMode::kOff;
    } else if (arg == "--jobs" && i + 1 < argc) {
      const auto jobs = PositiveNumber(argv[++i]);
      if (!jobs) return Usage(2);
      options.jobs = *jobs;
    } else if (arg == "--shard" && i + 1 < argc) {
      const auto shard = vexmar::example::ParseShard(argv[++i]);
      if (!shard) return Usage(2);
      options.shard = *shard;
    } else if (arg == "--items" && i + 1 < argc) {
      options.item_file = argv[++i];
    } else if (!arg.starts_with("-") && !has_directory) {
      options.exam_directory = arg;
      has_directory = true;
    } else {
      return Usage(2);
    }
  }
  if (!has_directory) options.exam_directory = VEXMAR_SAMPLE_EXAM_DIR;
  options.report_on_terminal = isatty(STDOUT_FILENO) != 0;

  try {
    return vexmar::example::RunExam(options, std::cout);
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "vexmar_demo: " << e.what() << '\n';
    return 1;
  }
}
