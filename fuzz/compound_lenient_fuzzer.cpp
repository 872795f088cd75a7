// The compound-file paths that tolerate sloppy producers: each input, taken as a
// compound file, is also listed with its header's sector counts overstated, with its
// tail cut inside the last sector, and with a directory link sent outside the
// directory. The first four bytes choose the changes; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/memory_file.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/workbook/containers/compound_file_format.hpp"
#include "vexmar/workbook/detection/compound_file_workbook.hpp"
#include "vexmar/workbook/file_source.hpp"

namespace {

namespace cfb = vexmar::workbook::cfb;

void PutU32(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value) {
  if (at + 4 > file.size()) return;
  for (std::size_t i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void List(vexmar::fuzz::MemoryFile& memory, const std::vector<std::uint8_t>& bytes) {
  try {
    const vexmar::workbook::FileSource source(memory.Hold(bytes.data(), bytes.size()));
    (void)vexmar::workbook::ListCompoundWorksheets(source);
  } catch (const vexmar::Error&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4 + cfb::kHeaderSize) return 0;
  static vexmar::fuzz::MemoryFile memory;
  const std::uint8_t counts = data[0];
  const std::uint16_t cut = static_cast<std::uint16_t>(data[1] | (data[2] << 8));
  const std::uint8_t link = data[3];
  std::vector<std::uint8_t> file(data + 4, data + size);
  List(memory, file);

  // Counts far beyond what the file holds.
  std::vector<std::uint8_t> counted = file;
  if (counts & 1) PutU32(counted, cfb::kHeaderFatSectors, 0x7FFFFFFF);
  if (counts & 2) PutU32(counted, cfb::kHeaderMiniFatSectors, 0xFFFFFFF0);
  if (counts & 4) PutU32(counted, cfb::kHeaderDifatSectors, 0xFFFFFFF0);
  List(memory, counted);

  // The tail cut inside what was the last sector.
  const std::uint32_t sector = (counts & 8) ? 4096 : 512;
  if (file.size() > cfb::kHeaderSize + 1) {
    std::vector<std::uint8_t> cut_file = file;
    cut_file.resize(file.size() - 1 - cut % sector % (file.size() - cfb::kHeaderSize - 1));
    List(memory, cut_file);
  }

  // A sibling or child link of one of the first directory entries leaves the directory.
  std::uint32_t directory = 0;
  std::memcpy(&directory, file.data() + cfb::kHeaderFirstDirectorySector, 4);
  const std::uint64_t entry = (std::uint64_t{directory} + 1) * sector +
                              static_cast<std::uint64_t>(link % 8) * cfb::kEntrySize;
  const std::size_t field = (link >> 3) % 3 == 0   ? cfb::kEntryLeftSibling
                            : (link >> 3) % 3 == 1 ? cfb::kEntryRightSibling
                                                   : cfb::kEntryChild;
  if (entry + cfb::kEntrySize <= file.size()) {
    std::vector<std::uint8_t> linked = file;
    PutU32(linked, static_cast<std::size_t>(entry + field), 0x00FFFFF0u + (link >> 5));
    List(memory, linked);
  }
  return 0;
}
