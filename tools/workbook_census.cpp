// Runs the embedded reader over every file below the given folders and counts the
// outcomes: listed, refused as damaged, encrypted, not a workbook, other errors.
// With -v, prints one line per file that was not listed, with the reason.
// Usage: workbook_census [-v] folder...
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/list_worksheets.hpp"

int main(int argc, char** argv) {
  bool verbose = false;
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-v") == 0) {
      verbose = true;
      continue;
    }
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(argv[i], error), end; !error && it != end;
         it.increment(error)) {
      if (it->is_regular_file()) files.push_back(it->path());
    }
    if (error) {
      std::fprintf(stderr, "usage: workbook_census [-v] FOLDER...\n%s: %s\n", argv[i],
                   error.message().c_str());
      return 2;
    }
  }
  std::sort(files.begin(), files.end());
  std::map<std::string, int> counts;
  for (const auto& file : files) {
    std::string outcome;
    std::string detail;
    try {
      outcome = vexmar::ListWorksheets(file) ? "listed" : "not a workbook";
    } catch (const vexmar::workbook::ReadFailure& e) {
      outcome = IsEncryption(e.Kind()) ? "encrypted" : "damaged";
      detail = vexmar::Utf16ToUtf8(e.Description());
    } catch (const vexmar::Error& e) {
      outcome = "other error";
      detail = vexmar::Utf16ToUtf8(e.Description());
    }
    ++counts[outcome];
    if (verbose && outcome != "listed") {
      std::printf("%s\t%s\t%s\n", outcome.c_str(), file.c_str(), detail.c_str());
    }
  }
  std::printf("files %zu", files.size());
  for (const auto& [outcome, n] : counts) std::printf(", %s %d", outcome.c_str(), n);
  std::printf("\n");
  return 0;
}
