#pragma once
// Writes large .xls workbooks for the benchmarks: a BIFF8 workbook stream (shared
// strings in the globals, number cells in the sheets) in a compound file with
// 512-byte sectors, DIFAT sectors included once the file passes about 7 MB.
#include <cstdint>
#include <filesystem>

namespace vexmar::bench {

struct XlsShape {
  std::uint64_t approximate_bytes = 1 << 20;  // the whole file
  int sheets = 3;  // the first sheet holds the cells; the others are small
};

// Writes the workbook unless a file of the same shape is already there.
void EnsureXls(const std::filesystem::path& file, const XlsShape& shape);

}  // namespace vexmar::bench
