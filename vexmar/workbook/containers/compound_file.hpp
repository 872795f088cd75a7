#pragma once
// Reader for the compound file container (a FAT file system inside one file) that
// holds .xls workbooks. Reads the header, the directory and only the allocation-table
// sectors that the requested stream needs; streams are read in place, never loaded.
//
// Lenient where producers are sloppy and the bytes needed are sound: a last sector cut
// short, header sector counts that disagree with the chains, sibling links that point
// outside the directory. Strict where the listing would otherwise read wrong bytes: a
// chain that leaves the file, loops or ends early is the damaged-file error.
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
  std::uint8_t type = 0;  // cfb::kEntryStorage, kEntryStream, kEntryRoot
  std::uint32_t start = 0;
  std::uint64_t size = 0;
  std::uint32_t left = 0;  // siblings and first child: entry numbers
  std::uint32_t right = 0;
  std::uint32_t child = 0;
};

// What the reader has done so far; lets tests check that work stays bounded.
struct CompoundWork {
  std::uint64_t fat_sectors_loaded = 0;  // allocation-table sectors read from the file
  std::uint64_t links_followed = 0;      // chain links looked up (regular and mini)
  std::uint64_t bytes_read = 0;          // bytes read from the file, tables included
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
  // compared without case), in the order of `names`. A sibling or child number outside
  // the directory counts as no link (see HasBrokenLinks).
  std::vector<std::optional<CompoundEntry>> FindTopLevel(
      std::span<const std::u16string_view> names);
  // True when FindTopLevel met a link outside the directory: an entry not found may
  // then have been lost behind it.
  bool HasBrokenLinks() const noexcept { return broken_links_; }

  // A stream entry's bytes, read in place. The stream stays valid while this object
  // lives. Any byte costs O(1) amortised: each stream indexes its chain as far as it
  // has been read, so no link is followed twice.
  std::unique_ptr<RandomAccessStream> OpenStream(const CompoundEntry& entry);

  std::uint32_t SectorSize() const noexcept { return sector_size_; }
  const CompoundWork& Work() const noexcept { return work_; }

 private:
  friend class ChainStream;
  struct FatWindow;

  std::uint32_t NextSector(std::uint32_t sector);
  std::uint32_t NextMiniSector(std::uint32_t sector);
  // Where allocation-table sector `fat_index` lies; with `must` false a bad or missing
  // one gives nullopt instead of the damaged-file error.
  std::optional<std::uint32_t> FatSectorLocation(std::uint32_t fat_index, bool must);
  // The window holding allocation-table sector `fat_index`, loaded when needed with
  // its neighbours (windows are aligned to their size).
  const FatWindow& WindowFor(std::uint32_t fat_index);
  // The slot window `number` is loaded into: its own, a free one or the least recently
  // used, emptied.
  FatWindow& ClaimWindowSlot(std::uint32_t number);
  // Where table sectors first..end-1 lie, as far as they are sound around `fat_index`;
  // `start` receives the first one kept.
  std::vector<std::uint32_t> SoundTableSectors(std::uint32_t first, std::uint32_t end,
                                               std::uint32_t fat_index, std::uint32_t& start);
  void LoadTableSectors(const std::vector<std::uint32_t>& locations,
                        std::vector<std::uint32_t>& entries);
  void CheckNotTruncated();
  // DIFAT sector `sector` (read with its neighbours); empty when it does not start in
  // the file. Bytes past the end of the file read as free entries.
  std::span<const std::byte> DifatSector(std::uint32_t sector);
  CompoundEntry ReadEntry(std::uint32_t id);
  RandomAccessStream& MiniContainer();
  RandomAccessStream& MiniFat();
  // Reads what the file holds at `at`, at most out.size() bytes; the rest of `out` is
  // filled with 0xFF (free entries). Returns how many bytes came from the file.
  std::size_t ReadTable(std::uint64_t at, std::span<std::byte> out);
  void ReadFile(std::uint64_t at, std::span<std::byte> out);

  const FileSource& source_;
  std::uint32_t sector_shift_ = 9;
  std::uint32_t sector_size_ = 512;
  bool version3_ = true;
  std::uint64_t file_sectors_ = 0;  // sectors that start inside the file
  std::uint32_t fat_sectors_ = 0;   // as declared, but no more than the file can need
  std::uint32_t first_difat_ = 0;
  std::uint32_t first_mini_fat_ = 0;
  std::array<std::uint32_t, 109> header_difat_{};
  bool last_location_free_ = false;  // the last FatSectorLocation failed on a free entry

  // DIFAT sectors found so far, in chain order, and a block of DIFAT sectors read last.
  std::vector<std::uint32_t> difat_chain_;
  std::vector<std::byte> difat_block_;
  std::uint32_t difat_block_first_ = 0;
  std::uint32_t difat_block_count_ = 0;
  // Windows of consecutive allocation-table sectors, up to a cap, the least recently
  // used replaced first: a chain that jumps between distant parts of the table (a
  // fragmented file) does not reload them at every link. Slot of each window number.
  static constexpr std::uint32_t kNoSlot = UINT32_MAX;
  std::vector<FatWindow> windows_;
  std::vector<std::uint32_t> slot_of_window_;
  std::uint64_t window_clock_ = 0;

  std::unique_ptr<RandomAccessStream> directory_;
  std::uint32_t entry_count_ = 0;
  // The directory sector read last.
  std::vector<std::byte> entry_sector_;
  std::uint64_t entry_sector_at_ = UINT64_MAX;
  CompoundEntry root_;
  bool broken_links_ = false;
  std::unique_ptr<RandomAccessStream> mini_container_;
  std::unique_ptr<RandomAccessStream> mini_fat_;
  CompoundWork work_;
};

}  // namespace vexmar::workbook
