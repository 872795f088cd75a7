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
  // Hostile shapes. With `stride` > 1 the workbook stream's sectors are scattered: its
  // i-th sector lies at (i * stride) mod n, so every link jumps far across the
  // allocation table. With `shared_substream` every sheet record names one worksheet
  // substream at the end of the stream, and a drawing group makes the reader look into
  // it (as it does for dialog sheets).
  std::uint32_t stride = 1;
  bool shared_substream = false;
};

// Writes the workbook unless a file of the same shape is already there.
void EnsureXls(const std::filesystem::path& file, const XlsShape& shape);

}  // namespace vexmar::bench
