// vexmar: the library's main jobs from a shell (see command_line.cpp's help text).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

#include "cli/command_line.hpp"
#include "cli/jobs.hpp"
#include "examples/host/shown_text.hpp"
#include "vexmar/component/library_version.hpp"
#include "vexmar/component/utf.hpp"

namespace {

using namespace vexmar::cli;

// More inputs than this make a run long enough for a progress line.
constexpr std::size_t kProgressThreshold = 20;

// "[i/n] name" on a terminal's standard error, rewritten in place and cleared at the end.
class Progress {
 public:
  explicit Progress(std::size_t total)
      : total_(total), enabled_(total > kProgressThreshold && isatty(STDERR_FILENO) != 0) {}
  ~Progress() {
    if (enabled_) std::fputs("\r\x1b[K", stderr);
  }
  void Show(std::size_t done, const std::u16string& name) const {
    if (!enabled_) return;
    std::fprintf(stderr, "\r[%zu/%zu] %s\x1b[K", done, total_,
                 vexmar::example::Shown(name).c_str());
    std::fflush(stderr);
  }

 private:
  std::size_t total_;
  bool enabled_;
};

int Run(const CommandLine& line) {
  std::u16string rule;
  if (line.command != Command::kSheets) {
    std::string bytes =
        line.rule ? *line.rule : std::string(std::istreambuf_iterator<char>(std::cin), {});
    rule = RuleText(bytes);
  }
  const std::u16string file_name = vexmar::Utf8ToUtf16Escaped(line.file_name);
  int status = 0;
  Progress progress(line.inputs.size());
  for (std::size_t i = 0; i < line.inputs.size(); ++i) {
    const std::u16string input = vexmar::Utf8ToUtf16Escaped(line.inputs[i]);
    progress.Show(i + 1, input);
    const JobResult result = line.command == Command::kSheets ? ListSheets(input)
                             : line.command == Command::kExpand
                                 ? ExpandSheetRule(rule, input, file_name)
                                 : ResolveFileNames(rule, input);
    if (line.json) {
      WriteJson(result.record, std::cout);
    } else {
      WritePlain(result.record, std::cout);
    }
    status = std::max(status, static_cast<int>(result.outcome));
  }
  std::cout.flush();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const Parsed parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.line) {
    std::cerr << "vexmar: " << parsed.error << " (see vexmar --help)\n";
    return 2;
  }
  switch (parsed.line->command) {
    case Command::kHelp:
      std::cout << kHelpText;
      return 0;
    case Command::kVersion:
      std::cout << "vexmar " << vexmar::LibraryVersion() << '\n';
      return 0;
    default:
      return Run(*parsed.line);
  }
}
