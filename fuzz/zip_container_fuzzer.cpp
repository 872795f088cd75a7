// Raw bytes as a zip workbook: end records, central directory, local headers, inflate,
// then whatever package the entries form.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_file.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/workbook/detection/zip_workbook.hpp"
#include "vexmar/workbook/file_source.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static vexmar::fuzzing::MemoryFile file;
  try {
    const vexmar::workbook::FileSource source(file.Fill(data, size));
    (void)vexmar::workbook::ListZipWorksheets(source);
  } catch (const vexmar::Error&) {
  }
  return 0;
}
