// Writes the large benchmark workbooks into a directory (unless they are there):
//   make_bench_workbooks DIR  ->  DIR/xls_50MB.xls, DIR/xlsx_50MB.xlsx
// The many-sheet workbooks come from real producers (xlwt, xlsxwriter) in the script.
#include <cstdio>
#include <exception>
#include <filesystem>

#include "bench/workbook/xls_generator.hpp"
#include "bench/workbook/zip_xml_generator.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_bench_workbooks DIR\n", stderr);
    return 2;
  }
  try {
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    vexmar::bench::EnsureXls(dir / "xls_50MB.xls", {50ull << 20, 3});
    if (!std::filesystem::exists(dir / "xlsx_50MB.xlsx")) {
      vexmar::bench::WriteXlsx(dir / "xlsx_50MB.xlsx", 50ull << 20, 3);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_bench_workbooks: %s\n", e.what());
    return 1;
  }
  return 0;
}
