#pragma once
// Drives the library for one item of one candidate through late binding, the way a
// grading host does: it creates the class by ProgID, writes properties, calls the
// members by name, and writes what the library produced to the report.
#include <ostream>

#include "examples/host/exam.hpp"
#include "examples/host/item_file.hpp"

namespace vexmar::example {

enum class Outcome {
  kDone,     // the library produced its work
  kRefused,  // it answered false (ParseRule, GetRuleItem) or -1 (ParseRules)
  kError,    // an error escaped a member
};

// Writes the item's lines of the report (below its title) and tells how it went.
Outcome GradeItem(const ExamItem& item, const Candidate& candidate, std::ostream& report);

}  // namespace vexmar::example
