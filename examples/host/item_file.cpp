#include "examples/host/item_file.hpp"

#include <optional>
#include <utility>

#include "vexmar/component/utf.hpp"

namespace vexmar::example {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlockSeparator = "---";
constexpr std::u16string_view kRuleLineBreak = u"\r\n";

bool IsBlank(std::string_view line) noexcept {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

bool IsComment(std::string_view line) noexcept {
  const std::size_t first = line.find_first_not_of(" \t");
  return first != std::string_view::npos && line[first] == ';';
}

// The lines of the content without their LF or CR LF ends.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// The line as UTF-16; text that is not UTF-8 is refused rather than guessed at.
std::u16string DecodeLine(std::string_view line, std::size_t number) {
  std::u16string decoded = Utf8ToUtf16(line);
  if (decoded != Utf8ToUtf16Escaped(line)) throw ItemFileError(number, "the text is not UTF-8");
  return decoded;
}

std::optional<ItemKind> KindOfName(std::string_view name) noexcept {
  if (name == "sheet") return ItemKind::kSheet;
  if (name == "naming") return ItemKind::kNaming;
  if (name == "multifile") return ItemKind::kMultiFile;
  return std::nullopt;
}

// "[kind] key=value key=\"value with spaces\"".
ExamItem ParseHeader(std::string_view line, std::size_t number) {
  const std::size_t start = line.find_first_not_of(" \t");
  const std::size_t close = line.find(']');
  if (start == std::string_view::npos || line[start] != '[' || close == std::string_view::npos) {
    throw ItemFileError(number,
                        "expected an item header: [sheet] file=NAME, [naming] or [multifile]");
  }
  const std::string_view kind_name = line.substr(start + 1, close - start - 1);
  const std::optional<ItemKind> kind = KindOfName(kind_name);
  if (!kind) throw ItemFileError(number, "unknown item kind [" + std::string(kind_name) + "]");

  ExamItem item;
  item.kind = *kind;
  item.line = number;
  bool has_file = false;
  std::string_view rest = line.substr(close + 1);
  for (;;) {
    const std::size_t key_start = rest.find_first_not_of(" \t");
    if (key_start == std::string_view::npos) break;
    rest.remove_prefix(key_start);
    const std::size_t equals = rest.find('=');
    const std::size_t gap = rest.find_first_of(" \t");
    if (equals == std::string_view::npos || equals > gap || equals == 0) {
      throw ItemFileError(number, "expected key=value after the item kind");
    }
    const std::string_view key = rest.substr(0, equals);
    rest.remove_prefix(equals + 1);
    std::string_view value;
    if (!rest.empty() && rest.front() == '"') {
      const std::size_t quote = rest.find('"', 1);
      if (quote == std::string_view::npos) throw ItemFileError(number, "unterminated quoted value");
      value = rest.substr(1, quote - 1);
      rest.remove_prefix(quote + 1);
    } else {
      const std::size_t end = rest.find_first_of(" \t");
      value = rest.substr(0, end);
      rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    }
    if (key != "file" || item.kind != ItemKind::kSheet) {
      throw ItemFileError(number, "unknown attribute " + std::string(key) + " for [" +
                                      std::string(kind_name) + "]");
    }
    if (has_file) throw ItemFileError(number, "file= given twice");
    item.file_name = DecodeLine(value, number);
    has_file = true;
  }
  if (item.kind == ItemKind::kSheet && !has_file) {
    throw ItemFileError(number, "a [sheet] item needs file=, the name of the candidate's workbook");
  }
  return item;
}

// Joins the rule lines with CR LF, leaving out trailing blank lines.
std::u16string JoinRuleLines(std::vector<std::string_view> lines, std::size_t first_number) {
  while (!lines.empty() && IsBlank(lines.back())) lines.pop_back();
  std::u16string rule;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) rule.append(kRuleLineBreak);
    rule.append(DecodeLine(lines[i], first_number + i));
  }
  return rule;
}

}  // namespace

std::string_view KindName(ItemKind kind) noexcept {
  switch (kind) {
    case ItemKind::kSheet:
      return "sheet";
    case ItemKind::kNaming:
      return "naming";
    case ItemKind::kMultiFile:
      return "multifile";
  }
  return "?";
}

ItemFileError::ItemFileError(std::size_t line, const std::string& message)
    : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}

std::vector<ExamItem> ParseItemFile(std::string_view utf8) {
  if (utf8.starts_with(kByteOrderMark)) utf8.remove_prefix(kByteOrderMark.size());
  const std::vector<std::string_view> lines = SplitLines(utf8);

  std::vector<ExamItem> items;
  std::optional<ExamItem> current;
  std::vector<std::string_view> rule_lines;
  std::size_t rule_start = 0;
  const auto finish_block = [&] {
    if (current) {
      current->rule = JoinRuleLines(std::move(rule_lines), rule_start);
      items.push_back(std::move(*current));
    }
    current.reset();
    rule_lines.clear();
  };

  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    const std::size_t number = i + 1;
    if (line == kBlockSeparator) {
      finish_block();
    } else if (current) {
      rule_lines.push_back(line);
    } else if (!IsBlank(line) && !IsComment(line)) {
      current = ParseHeader(line, number);
      rule_start = number + 1;
    } else {
      DecodeLine(line, number);  // comments must be UTF-8 too
    }
  }
  finish_block();
  return items;
}

}  // namespace vexmar::example
