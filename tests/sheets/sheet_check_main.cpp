// vexmar_sheet_check <directory> <rules file> <workbook>...: ParseRule of every rule in the
// file (one per line, UTF-8) on every workbook, one line each in UTF-8: workbook, rule,
// result, message, per-sheet rules as <...><...>. The Windows server answers the same
// table through automation (sheets.vbs, vexmar_sheet_client) for comparison.
#include <cstdio>
#include <fstream>
#include <string>
#include <variant>
#include <vector>

#include "vexmar/component/utf.hpp"
#include "vexmar/sheets/excel_multi_sheets.hpp"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: vexmar_sheet_check <directory> <rules file> <workbook>...\n");
    return 2;
  }
  std::vector<std::string> rules;
  std::ifstream in(argv[2]);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) rules.push_back(line);
  }
  for (int i = 3; i < argc; ++i) {
    for (const std::string& rule : rules) {
      vexmar::ClsExcelMultiSheets check;
      check.SetRule(vexmar::Utf8ToUtf16(rule));
      check.SetTestPath(vexmar::Utf8ToUtf16(argv[1]));
      check.SetFileName(vexmar::Utf8ToUtf16(argv[i]));
      std::u16string message;
      const bool result = check.ParseRule(message) == vexmar::kTrue16;
      std::string items;
      if (check.PingRules()) {
        for (const vexmar::Variant& item : *check.PingRules()) {
          items += "<" + vexmar::Utf16ToUtf8(std::get<std::u16string>(item)) + ">";
        }
      }
      std::printf("%s\t%s\t%s\t%s\t%s\n", argv[i], rule.c_str(), result ? "True" : "False",
                  vexmar::Utf16ToUtf8(message).c_str(), items.c_str());
    }
  }
  return 0;
}
