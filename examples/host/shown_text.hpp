#pragma once
// Text from rules, file names and messages as one printable UTF-8 line of the report.
//
//   CR LF                   "↵"  (the line break of rule texts)
//   other control units     "\r", "\n", "\t", or "\xNN"
//   a byte of a file name that was not UTF-8 (U+DC80..U+DCFF)   "\xNN"
//   any other lone surrogate                                     "\u{DNNN}"
// Everything else is written as UTF-8, so the report stays valid UTF-8 whatever the
// candidates named their files.
#include <string>
#include <string_view>

namespace vexmar::example {

std::string Shown(std::u16string_view text);

}  // namespace vexmar::example
