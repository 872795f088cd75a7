// Input taken as a compound file whatever its first bytes: header, allocation tables,
// directory tree, mini stream and the BIFF globals behind them.
#include <cstddef>
#include <cstdint>

#include "fuzz/memory_file.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/workbook/detection/compound_file_workbook.hpp"
#include "vexmar/workbook/file_source.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static vexmar::fuzz::MemoryFile file;
  try {
    const vexmar::workbook::FileSource source(file.Hold(data, size));
    (void)vexmar::workbook::ListCompoundWorksheets(source);
  } catch (const vexmar::Error&) {
  }
  return 0;
}
