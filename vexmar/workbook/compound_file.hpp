#pragma once
// Reader for the compound file container (a FAT file system inside one file) that
// holds .xls workbooks. Reads the header, the directory and only the allocation-table
// sectors that the requested stream needs; streams are read in place, never loaded.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vexmar/workbook/file_source.hpp"
#include "vexmar/workbook/random_access_stream.hpp"

namespace vexmar::workbook {

// True when `head` starts with the compound file signature D0 CF 11 E0 A1 B1 1A E1.
bool HasCompoundSignature(std::span<const std::byte> head);

struct CompoundEntry {
  std::u16string name;
  std::uint8_t type = 0;  // 1 storage, 2 stream, 5 root
  std::uint32_t start = 0;
  std::uint64_t size = 0;
  std::uint32_t left = 0;  // siblings and first child: entry numbers
  std::uint32_t right = 0;
  std::uint32_t child = 0;
};

class CompoundFile {
 public:
  // Reads and checks the header and the directory chain; a broken one is the
  // damaged-file error.
  explicit CompoundFile(const FileSource& source);
  ~CompoundFile();
  CompoundFile(const CompoundFile&) = delete;
  CompoundFile& operator=(const CompoundFile&) = delete;

  // The entries directly below the root whose names equal `names` (ASCII letters
  // compared without case), in the order of `names`.
  std::vector<std::optional<CompoundEntry>> FindTopLevel(
      std::span<const std::u16string_view> names);

  // A stream entry's bytes, read in place. The stream stays valid while this object
  // lives.
  std::unique_ptr<RandomAccessStream> OpenStream(const CompoundEntry& entry);

  std::uint32_t SectorSize() const noexcept { return sector_size_; }

 private:
  friend class ChainStream;

  std::uint32_t NextSector(std::uint32_t sector);
  std::uint32_t NextMiniSector(std::uint32_t sector);
  // How many of the next at most `limit` links from `sector` lead to the physically next
  // sector.
  std::uint64_t StraightRun(std::uint32_t sector, std::uint64_t limit);
  // Where allocation-table sector `fat_index` lies; with `must` false a bad or missing
  // one gives nullopt instead of the damaged-file error.
  std::optional<std::uint32_t> FatSectorLocation(std::uint32_t fat_index, bool must);
  // Loads allocation-table sectors from `first` on; `fat_index` must be among them.
  void LoadFatWindow(std::uint32_t fat_index, std::uint32_t first);
  void CheckNotTruncated();
  // DIFAT sector `sector` (read with its neighbours); empty when it is not whole in
  // the file.
  std::span<const std::byte> DifatSector(std::uint32_t sector);
  CompoundEntry ReadEntry(std::uint32_t id);
  RandomAccessStream& MiniContainer();
  RandomAccessStream& MiniFat();

  const FileSource& source_;
  std::uint32_t sector_shift_ = 9;
  std::uint32_t sector_size_ = 512;
  std::uint32_t mini_cutoff_ = 4096;
  bool version3_ = true;
  std::uint64_t file_sectors_ = 0;  // sectors that start inside the file
  std::uint32_t fat_sectors_ = 0;
  std::uint32_t first_difat_ = 0;
  std::uint32_t difat_sectors_ = 0;
  std::uint32_t first_mini_fat_ = 0;
  std::uint32_t mini_fat_sectors_ = 0;
  std::array<std::uint32_t, 109> header_difat_{};

  // DIFAT sectors found so far, in chain order, and a block of DIFAT sectors read last.
  std::vector<std::uint32_t> difat_chain_;
  std::vector<std::byte> difat_block_;
  std::uint32_t difat_block_first_ = 0;
  std::uint32_t difat_block_count_ = 0;
  // A window of consecutive allocation-table sectors.
  std::uint32_t window_first_ = 0;
  std::uint32_t window_count_ = 0;
  std::vector<std::uint32_t> window_;

  std::unique_ptr<RandomAccessStream> directory_;
  std::uint32_t entry_count_ = 0;
  // The directory sector read last.
  std::vector<std::byte> entry_sector_;
  std::uint64_t entry_sector_at_ = UINT64_MAX;
  CompoundEntry root_;
  std::unique_ptr<RandomAccessStream> mini_container_;
  std::unique_ptr<RandomAccessStream> mini_fat_;
};

}  // namespace vexmar::workbook
