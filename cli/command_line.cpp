#include "cli/command_line.hpp"

#include "vexmar/component/utf.hpp"

namespace vexmar::cli {

const char* const kHelpText =
    R"(vexmar - expand grading rules and list worksheets with the VexmarExt library

usage:
  vexmar sheets [--json] FILE...
      The worksheet names of each workbook file, in tab order.
  vexmar expand [--json] --file NAME [--rule TEXT] DIR...
      A sheet rule ("K|*成绩*#汇总|5|message") for the workbook NAME in each test
      directory DIR: ParseRule's answer and message, Weight, ErrMsg and the per-sheet
      rules (PingRules).
  vexmar files [--json] [--rule TEXT] DIR...
      The answer files of a naming rule ("W|*.xls#*.xlsx|4|message": GetRuleItem,
      GetFileNames and each file's rule) or of a "#FILE" rule (first line "#FILE", then
      the names: ParseRules and FilesName) in each test directory DIR.
  vexmar --help | --version

The rule comes from --rule, or from standard input when --rule is "-" or missing.
Line breaks in it become CR LF; trailing line breaks are dropped.

output:
  One block per input: the input, then "label  value" lines as the example host's
  report writes them. With --json, one JSON object per input and line, with the same
  keys for every input (null where there is no value); docs/host-guide.md lists them.
  Names are written as UTF-8; a byte of a file name that is not UTF-8 is shown as
  \xNN, and in JSON as the escape \udcNN (the string the Python module gives).
  With many inputs a progress line is written to standard error when it is a terminal.

exit status:
  0  done
  1  a rule did not hold (ParseRule or GetRuleItem answered False, ParseRules -1)
  2  bad usage
  3  a file or directory could not be read, or a file is not a workbook
  The highest status of all inputs is returned.

examples:
  vexmar sheets exam/001/成绩表.xls exam/*/统计.xlsx
  vexmar expand --file 成绩表.xls --rule 'K|*成绩*#汇总|5|工作表名称错误' exam/001
  printf 'K|Sheet*|2|m\n检查公式\n' | vexmar expand --json --file 成绩表.xls exam/*/
  vexmar files --rule 'W|*.xls#报告.docx|4|答案文件名错误' exam/001
  printf '#FILE\n*.xls*#说明.txt\n' | vexmar files --json exam/001
)";

Parsed ParseCommandLine(const std::vector<std::string>& args) {
  Parsed parsed;
  CommandLine line;
  if (args.empty()) return {std::nullopt, "no command given"};
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") return {line, ""};
  if (command == "--version") {
    line.command = Command::kVersion;
    return {line, ""};
  }
  if (command == "sheets") {
    line.command = Command::kSheets;
  } else if (command == "expand") {
    line.command = Command::kExpand;
  } else if (command == "files") {
    line.command = Command::kFiles;
  } else {
    return {std::nullopt, "unknown command '" + command + "'"};
  }
  bool options_end = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool takes_value = arg == "--rule" || arg == "--file";
    if (!options_end && takes_value) {
      if (i + 1 >= args.size()) return {std::nullopt, arg + " needs a value"};
      if (line.command == Command::kSheets ||
          (arg == "--file" && line.command != Command::kExpand)) {
        return {std::nullopt, arg + " does not apply to '" + command + "'"};
      }
      const std::string& value = args[++i];
      if (arg == "--file") {
        line.file_name = value;
      } else if (value == "-") {
        line.rule.reset();
      } else {
        line.rule = value;
      }
    } else if (!options_end && arg == "--json") {
      line.json = true;
    } else if (!options_end && (arg == "--help" || arg == "-h")) {
      return {CommandLine{}, ""};
    } else if (!options_end && arg == "--") {
      options_end = true;
    } else if (!options_end && arg.size() > 1 && arg[0] == '-') {
      return {std::nullopt, "unknown option '" + arg + "'"};
    } else {
      line.inputs.push_back(arg);
    }
  }
  if (line.inputs.empty()) {
    return {std::nullopt,
            line.command == Command::kSheets ? "no file given" : "no test directory given"};
  }
  if (line.command == Command::kExpand && line.file_name.empty()) {
    return {std::nullopt, "expand needs --file NAME"};
  }
  return {line, ""};
}

std::u16string RuleText(const std::string& bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) text += '\r';
    text += bytes[i];
  }
  while (text.size() >= 2 && text.ends_with("\r\n")) text.resize(text.size() - 2);
  return Utf8ToUtf16Escaped(text);
}

}  // namespace vexmar::cli
