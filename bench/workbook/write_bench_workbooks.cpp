// write_bench_workbooks <directory>: the workbooks of the Windows ParseRule benchmark
// (bench/wine), made by the same generators as the Linux benchmarks: big.xlsx (about
// 50 MB, 3 sheets) and many.xls (250 sheets).
#include <cstdio>
#include <filesystem>

#include "bench/workbook/xls_generator.hpp"
#include "bench/workbook/zip_xml_generator.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_bench_workbooks <directory>\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  if (!std::filesystem::exists(dir / "big.xlsx")) {
    vexmar::bench::WriteXlsx(dir / "big.xlsx", std::uint64_t{50} << 20, 3);
  }
  vexmar::bench::XlsShape many;
  many.sheets = 250;
  vexmar::bench::EnsureXls(dir / "many.xls", many);
  return 0;
}
