#pragma once
// The shared table of late-binding conversions, tests/support/coercion_cases.tsv. The
// Linux tests run it through the library's own conversions and the Windows client runs
// it through the platform's Automation conversion that the server uses, so the two
// cannot drift apart unnoticed.
//
// One case per line, tab-separated: source type, source value, target type, expected
// result, and optionally the platform's result where it deliberately differs. A field in
// double quotes is taken literally inside them (for spaces and the empty text); lines
// starting with "#" and blank lines are skipped.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vexmar::testing {

struct CoercionCase {
  int line = 0;
  std::string from;    // empty, int32, float32, bool16, string
  std::string value;   // decimal, "nan", "True" / "False", or the text itself
  std::string to;      // int32, float32, bool16, string
  std::string result;  // the value in the target type, or "error N"
  std::string platform_result;  // empty: the platform gives `result` too

  // The expected result of the platform's conversion.
  const std::string& PlatformResult() const {
    return platform_result.empty() ? result : platform_result;
  }
  std::string Label() const {
    return "line " + std::to_string(line) + ": " + from + " \"" + value + "\" to " + to;
  }
};

// The error number of an "error N" result; 0 for a value.
inline int ExpectedErrorNumber(std::string_view result) {
  constexpr std::string_view kError = "error ";
  if (result.substr(0, kError.size()) != kError) return 0;
  return std::stoi(std::string(result.substr(kError.size())));
}

inline std::vector<CoercionCase> ParseCoercionTable(std::string_view text) {
  std::vector<CoercionCase> cases;
  int line_number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;

    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
      const std::size_t tab = line.find('\t', start);
      std::string_view field = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
      if (field.size() >= 2 && field.front() == '"' && field.back() == '"') {
        field = field.substr(1, field.size() - 2);
      }
      fields.emplace_back(field);
      if (tab == std::string_view::npos) break;
      start = tab + 1;
    }
    if (fields.size() != 4 && fields.size() != 5) {
      throw std::runtime_error("coercion_cases.tsv line " + std::to_string(line_number) +
                               ": expected 4 or 5 fields");
    }
    fields.resize(5);
    cases.push_back({line_number, fields[0], fields[1], fields[2], fields[3], fields[4]});
  }
  return cases;
}

}  // namespace vexmar::testing
