// Raw bytes as a flat XML workbook (flat OpenDocument, SpreadsheetML 2003) or anything else.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_file.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/workbook/detection/xml_workbook.hpp"
#include "vexmar/workbook/file_source.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static vexmar::fuzzing::MemoryFile file;
  try {
    const vexmar::workbook::FileSource source(file.Fill(data, size));
    (void)vexmar::workbook::ListXmlWorksheets(source);
  } catch (const vexmar::Error&) {
  }
  return 0;
}
