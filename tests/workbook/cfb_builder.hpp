#pragma once
// Test helper: builds compound files and BIFF record streams in memory, and keeps the
// layout so that tests can break chosen structures.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vexmar::testing_support {

using Bytes = std::vector<std::byte>;

struct CfbStream {
  std::u16string name;
  Bytes data;             // at least 4096 bytes: kept out of the mini stream
  std::uint8_t type = 2;  // 1 makes it a (empty) storage
};

struct CfbFile {
  Bytes bytes;
  std::uint32_t sector_size = 512;
  std::vector<std::uint32_t> fat_sectors;
  std::uint32_t directory_start = 0;
  std::vector<std::uint32_t> stream_starts;

  std::uint64_t SectorOffset(std::uint32_t sector) const {
    return (std::uint64_t{sector} + 1) * sector_size;
  }
  // Directory entry `id` (0 is the root); the directory is stored contiguously.
  std::uint64_t EntryOffset(std::uint32_t id) const {
    return SectorOffset(directory_start) + std::uint64_t{id} * 128;
  }
  // Where the allocation-table entry of `sector` lies.
  std::uint64_t FatEntryOffset(std::uint32_t sector) const {
    const std::uint32_t per = sector_size / 4;
    return SectorOffset(fat_sectors.at(sector / per)) + std::uint64_t{sector % per} * 4;
  }
  void PutU32(std::uint64_t at, std::uint32_t value);
  void PutU16(std::uint64_t at, std::uint16_t value);
};

// Streams directly below the root, in order; DIFAT sectors are added when the
// allocation table needs more than 109 sectors. With `tables_first` the allocation
// table comes before the streams and the file ends where the last stream's bytes end,
// its last sector unpadded.
CfbFile BuildCfb(const std::vector<CfbStream>& streams, unsigned sector_shift = 9,
                 bool tables_first = false);

// BIFF records.
Bytes Record(std::uint16_t type, const Bytes& body);
Bytes Bof8(std::uint16_t substream_type);
Bytes Bof5(std::uint16_t substream_type);
Bytes Eof();
Bytes BoundSheet8(std::uint32_t position, std::uint8_t kind, std::u16string_view name);
Bytes BoundSheet5(std::uint32_t position, std::uint8_t kind, const std::string& name_bytes);
Bytes Concat(std::initializer_list<Bytes> parts);
Bytes Padded(Bytes data, std::size_t size = 4096);
Bytes U16Bytes(std::uint16_t v);
Bytes U32Bytes(std::uint32_t v);

// A BIFF8 workbook stream whose worksheets carry `names` (positions of the sheets'
// substreams filled in), padded to 4096 bytes.
Bytes Biff8Workbook(const std::vector<std::u16string>& names);

// The committed fixtures (tests/workbook/fixtures).
std::filesystem::path FixtureDir();

// Writes `bytes` to a new file in the test's temporary folder and returns its path.
std::filesystem::path WriteTemp(const std::string& name, const Bytes& bytes);

}  // namespace vexmar::testing_support
