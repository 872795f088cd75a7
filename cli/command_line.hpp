#pragma once
// The tool's command line:
//   vexmar sheets [--json] FILE...
//   vexmar expand [--json] --file NAME [--rule TEXT] DIR...
//   vexmar files  [--json] [--rule TEXT] DIR...
//   vexmar --help | --version
// A rule given as "-" or not at all is read from standard input.
#include <optional>
#include <string>
#include <vector>

namespace vexmar::cli {

enum class Command { kHelp, kVersion, kSheets, kExpand, kFiles };

struct CommandLine {
  Command command = Command::kHelp;
  bool json = false;
  std::optional<std::string> rule;  // nullopt: standard input
  std::string file_name;            // expand
  std::vector<std::string> inputs;  // files (sheets) or test directories
};

// The parsed command line, or the reason it is wrong (for exit status 2).
struct Parsed {
  std::optional<CommandLine> line;
  std::string error;
};
Parsed ParseCommandLine(const std::vector<std::string>& args);

// Rule text as the library reads it: line breaks as CR LF, trailing ones dropped (a
// shell's echo and a file's last line end with one).
std::u16string RuleText(const std::string& bytes);

extern const char* const kHelpText;

}  // namespace vexmar::cli
