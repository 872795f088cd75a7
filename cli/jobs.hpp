#pragma once
// The tool's three jobs, each for one input, through the library's classes by late
// binding (as a grading host calls them). Each gives the input's record and how it went.
#include <string>

#include "cli/record.hpp"

namespace vexmar::cli {

enum class Outcome {
  kDone = 0,
  kRuleDidNotHold = 1,  // ParseRule or GetRuleItem answered false, ParseRules -1
  kUnreadable = 3,      // an error escaped (a file or directory could not be read), or
                        // the file is not a workbook
};

struct JobResult {
  Record record;
  Outcome outcome = Outcome::kDone;
};

// The worksheets of one file. `file` as given (bytes that are not UTF-8 as U+DC80..).
JobResult ListSheets(const std::u16string& file);
// A sheet rule for one test directory and workbook file name.
JobResult ExpandSheetRule(const std::u16string& rule, const std::u16string& test_path,
                          const std::u16string& file_name);
// The file names of a naming rule, or of a "#FILE" rule (first line "#FILE").
JobResult ResolveFileNames(const std::u16string& rule, const std::u16string& test_path);

}  // namespace vexmar::cli
