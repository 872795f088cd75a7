// The parts of a package, fuzzed directly: the input is split at a marker into the
// relationships, workbook (XML or binary), content-type, OpenDocument and manifest
// parts, which are stored in a well-formed zip so that mutations reach the part readers
// instead of failing the zip checksums.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_file.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/workbook/detection/zip_workbook.hpp"
#include "vexmar/workbook/file_source.hpp"
#include "workbook/zip_builder.hpp"

namespace {

constexpr std::string_view kMarker = "\n@@PART@@\n";
constexpr const char* kPartNames[] = {"_rels/.rels",
                                      "xl/workbook.xml",
                                      "xl/_rels/workbook.xml.rels",
                                      "[Content_Types].xml",
                                      "xl/workbook.bin",
                                      "xl/_rels/workbook.bin.rels",
                                      "mimetype",
                                      "content.xml",
                                      "META-INF/manifest.xml",
                                      "xl/worksheets/sheet1.xml"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static vexmar::fuzzing::MemoryFile file;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  vexmar::workbook::testing::ZipBuilder zip;
  std::size_t start = 0;
  for (const char* name : kPartNames) {
    const std::size_t end = std::min(input.find(kMarker, start), input.size());
    if (end > start) {
      zip.Add({name, std::string(input.substr(start, end - start)), /*deflate=*/false});
    }
    if (end >= input.size()) break;
    start = end + kMarker.size();
  }
  const std::string bytes = zip.Build();
  try {
    const vexmar::workbook::FileSource source(file.Fill(bytes.data(), bytes.size()));
    (void)vexmar::workbook::ListZipWorksheets(source);
  } catch (const vexmar::Error&) {
  }
  return 0;
}
