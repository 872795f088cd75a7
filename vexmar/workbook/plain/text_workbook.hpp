#pragma once
// Text files that a spreadsheet opens as a one-sheet workbook: delimited text (CSV and
// the like) and HTML tables, often saved with an .xls extension.
#include <filesystem>
#include <string>

#include "vexmar/workbook/file_source.hpp"

namespace vexmar::workbook {

// True when the start of the file (64 KB) is readable text (UTF-8, UTF-16 with a
// byte-order mark, or an 8-bit code page: no NUL and no control characters other than
// tab, line and page breaks) and it is either markup holding a "<table" tag or, when it
// does not start with "<", delimited text: its first non-empty line holds a comma,
// semicolon or tab.
bool IsTextWorkbook(const FileSource& source);

// True when the first non-blank character (after any byte-order mark) is "<", also in
// UTF-16 without a byte-order mark.
bool LooksLikeXml(const FileSource& source);

// The sheet name a one-sheet file gets: the file's name without its extension, cut to
// 31 UTF-16 units (never inside a surrogate pair).
std::u16string SheetNameFromFileName(const std::filesystem::path& file);

}  // namespace vexmar::workbook
