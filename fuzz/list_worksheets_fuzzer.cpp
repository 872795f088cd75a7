// Any file content through the public entry point: format detection and every reader.
#include <cstddef>
#include <cstdint>

#include "fuzz/memory_file.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/workbook/list_worksheets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static vexmar::fuzz::MemoryFile file;
  try {
    (void)vexmar::ListWorksheets(file.Hold(data, size));
  } catch (const vexmar::Error&) {
    // Damaged and encrypted workbooks are expected outcomes.
  }
  return 0;
}
