#pragma once
// An exam directory: the item file and one sub-directory per candidate.
//
//   sample-exam/
//     items.txt          the examiner's rule texts (see item_file.hpp)
//     001-张三/          a candidate's test directory: workbooks and answer files
//     002-李四/
//
// Candidates are the sub-directories whose names do not start with "."; they are
// graded in the library's listing order (upper-cased UTF-16, ordinal), so the report
// is the same on every machine.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "examples/host/item_file.hpp"

namespace vexmar::example {

inline constexpr const char* kDefaultItemFileName = "items.txt";

struct Candidate {
  std::u16string name;       // the directory's name
  std::u16string test_path;  // exam path, "/", name: what the library is given as TestPath
};

struct Exam {
  std::vector<ExamItem> items;
  std::vector<Candidate> candidates;
  // Sub-directories that cannot be graded, with the reason.
  std::vector<std::pair<std::u16string, std::string>> skipped;
};

class ExamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the item file and finds the candidates. `directory` is used as written in the
// test paths (a relative path stays relative). Throws ExamError.
Exam LoadExam(const std::filesystem::path& directory, const std::filesystem::path& item_file);

}  // namespace vexmar::example
