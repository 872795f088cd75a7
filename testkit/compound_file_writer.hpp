#pragma once
// Writes compound files in memory for the tests, benchmarks and fuzz seeds, and keeps the
// layout so that a test can break chosen structures afterwards.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexmar::testkit {

using Bytes = std::vector<std::byte>;

struct CompoundStream {
  std::u16string name;
  Bytes data;             // at least 4096 bytes: kept out of the mini stream
  std::uint8_t type = 2;  // 1 makes it a (empty) storage
};

struct CompoundLayout {
  unsigned sector_shift = 9;
  // The allocation table before the streams, the file ending where the last stream's
  // bytes end (its last sector unpadded).
  bool tables_first = false;
  // With `stride` > 1 the streams' sectors are scattered: the i-th lies at
  // (i * stride) mod n, so every link jumps far across the allocation table. The
  // stride must share no factor with n, the number of stream sectors.
  std::uint32_t stride = 1;
};

struct CompoundFile {
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
// allocation table needs more than 109 sectors.
CompoundFile WriteCompoundFile(const std::vector<CompoundStream>& streams,
                               const CompoundLayout& layout = {});

}  // namespace vexmar::testkit
