#pragma once
// The example host's item file: the examiner's rule texts, one grading item per block.
//
//   ; comment lines (starting with ";") and blank lines may stand before a header
//   [sheet] file=成绩表.xls
//   K|*成绩*#汇总|5|工作表名称错误
//   检查公式
//   ---
//   [naming]
//   W|*.xls#报告.docx|4|答案文件名错误
//   ---
//   [multifile]
//   #FILE
//   *.xls#说明.txt
//
// The file is UTF-8 (a leading byte-order mark is skipped), with LF or CR LF line ends.
// Blocks are separated by a line "---". A block's first line that is neither blank nor
// a comment is its header: the kind in brackets, then attributes key=value (a value in
// double quotes may hold spaces). Every line after the header is rule text, taken as
// written; trailing blank lines of a block are dropped, and the lines are joined with
// CR LF, the line break of rule texts.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vexmar::example {

enum class ItemKind {
  kSheet,      // ClsExcelMultiSheets.ParseRule; needs file=, the candidate's workbook
  kNaming,     // ClsRepeatName: GetRuleItem, GetFileNames, ChangeRuleFileName
  kMultiFile,  // ClsExcelMultiFiles.ParseRules ("#FILE" rules)
};

// "sheet", "naming", "multifile".
std::string_view KindName(ItemKind kind) noexcept;

struct ExamItem {
  ItemKind kind = ItemKind::kSheet;
  std::u16string file_name;  // file= of a sheet item
  std::u16string rule;       // lines joined with CR LF
  std::size_t line = 0;      // line number of the header, for messages
};

// A fault in the item file, with the 1-based line it was found on.
class ItemFileError : public std::runtime_error {
 public:
  ItemFileError(std::size_t line, const std::string& message);
  std::size_t Line() const noexcept { return line_; }

 private:
  std::size_t line_;
};

// The items of an item file's content, in file order. Throws ItemFileError.
std::vector<ExamItem> ParseItemFile(std::string_view utf8);

}  // namespace vexmar::example
