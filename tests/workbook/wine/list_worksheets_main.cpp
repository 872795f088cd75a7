// Lists the worksheets of each file named on the command line, one line per file in
// UTF-8: the file, the outcome (names, none, error), then the names or the error's
// number and description, tab-separated. Built for Linux and for Windows, so that the two
// readers can be compared on the same files line by line.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/list_worksheets.hpp"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

std::vector<std::filesystem::path> Arguments(int argc, char** argv) {
  std::vector<std::filesystem::path> files;
#ifdef _WIN32
  // Wide arguments: names outside the ANSI code page must reach the reader intact.
  (void)argc;
  (void)argv;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide != nullptr && i < count; ++i) files.emplace_back(wide[i]);
  LocalFree(wide);
#else
  for (int i = 1; i < argc; ++i) files.emplace_back(argv[i]);
#endif
  return files;
}

std::string Describe(const std::filesystem::path& file) {
  std::string line;
  try {
    const auto names = vexmar::ListWorksheets(file);
    if (!names) return "none";
    line = "names";
    for (const std::u16string& name : *names) line += "\t" + vexmar::Utf16ToUtf8(name);
  } catch (const vexmar::Error& error) {
    line = "error\t" + std::to_string(error.Number()) + "\t" +
           vexmar::Utf16ToUtf8(error.Description());
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  for (const std::filesystem::path& file : Arguments(argc, argv)) {
    // The file's own name only: the two platforms spell directories differently.
    const std::string name = vexmar::Utf16ToUtf8(
        std::u16string(file.filename().u16string()));
    std::printf("%s\t", name.c_str());
    std::fflush(stdout);
    std::printf("%s\n", Describe(file).c_str());
    std::fflush(stdout);
  }
  return 0;
}
