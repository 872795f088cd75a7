#include "vexmar/workbook/containers/compound_file.hpp"

#include <algorithm>
#include <cstring>

#include "vexmar/workbook/containers/compound_file_format.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/little_endian.hpp"

namespace vexmar::workbook {
namespace {

using namespace cfb;

// A directory of more entries than this is refused: real files hold a few hundred.
constexpr std::uint64_t kMaxEntries = std::uint64_t{1} << 19;
// Allocation-table bytes read in one go (a window of FAT sectors kept in memory):
// 4 KB map 512 KB of a file with small sectors, 4 MB with large ones.
constexpr std::uint32_t kFatWindowBytes = 4 * 1024;
// Windows kept at once (1 MiB in all, the table of a 128 MB file with small sectors):
// a scattered chain then loads each table sector once.
constexpr std::size_t kMaxFatWindows = 256;

char16_t AsciiUpper(char16_t c) {
  return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool SameNameIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

}  // namespace

struct CompoundFile::FatWindow {
  std::uint32_t number = 0;  // of the aligned window
  std::uint32_t first = 0;   // allocation-table sector numbers first .. first + count - 1
  std::uint32_t count = 0;
  std::uint64_t used = 0;  // clock of the last use
  std::vector<std::uint32_t> entries;
};

bool HasCompoundSignature(std::span<const std::byte> head) {
  if (head.size() < kSignature.size()) return false;
  for (std::size_t i = 0; i < kSignature.size(); ++i) {
    if (std::to_integer<unsigned char>(head[i]) != kSignature[i]) return false;
  }
  return true;
}

// A stream stored as a chain of sectors, in the file (regular sectors) or in the mini
// stream (64-byte mini sectors). The sectors of the chain are indexed as far as the
// stream has been read, so that any position, backwards included, costs one lookup and
// each link is followed once. The index is bounded by the stream's size (one entry per
// sector). Following checks every sector number and detects cycles (Brent's method).
class ChainStream final : public RandomAccessStream {
 public:
  ChainStream(CompoundFile& file, bool mini, std::uint32_t start, std::uint64_t size)
      : file_(file),
        mini_(mini),
        start_(start),
        size_(size),
        unit_(mini ? kMiniSectorSize : file.sector_size_) {}

  // A chain of regular sectors whose length gives the size (the directory, the mini
  // allocation table); the last sector may be cut short by the end of the file.
  static std::unique_ptr<ChainStream> WholeChain(CompoundFile& file, std::uint32_t start,
                                                 std::uint64_t max_sectors, FailureKind too_long) {
    auto stream = std::make_unique<ChainStream>(file, false, start, 0);
    if (start == kEndOfChain) return stream;
    stream->CheckSector(start);
    stream->Append(start);
    for (;;) {
      ++file.work_.links_followed;
      const std::uint32_t next = file.NextSector(stream->index_.back());
      if (next == kEndOfChain) break;
      stream->CheckSector(next);
      if (stream->index_.size() >= max_sectors) RaiseFailure(too_long);
      stream->Append(next);
    }
    const std::uint64_t ss = file.sector_size_;
    const std::uint64_t last_at = (std::uint64_t{stream->index_.back()} + 1) * ss;
    stream->size_ = (stream->index_.size() - 1) * ss + std::min(ss, file.source_.Size() - last_at);
    return stream;
  }

  std::uint64_t Size() const override { return size_; }

  void Read(std::uint64_t offset, std::span<std::byte> out) override {
    if (ReadAvailable(offset, out) != out.size()) RaiseFailure(FailureKind::kFileTruncated);
  }

  std::size_t ReadAvailable(std::uint64_t offset, std::span<std::byte> out) override {
    if (offset > size_ || out.size() > size_ - offset) RaiseFailure(FailureKind::kReadBeyondStream);
    std::size_t done = 0;
    while (done < out.size()) {
      const std::uint64_t pos = offset + done;
      const std::uint64_t index = pos / unit_;
      const std::uint64_t within = pos % unit_;
      const std::uint32_t run_start = SectorAt(index);
      std::uint64_t run_bytes = unit_;
      // Physically consecutive regular sectors are read with one call.
      for (std::uint32_t k = 1; !mini_ && within + (out.size() - done) > run_bytes; ++k) {
        if (SectorAt(index + k) != run_start + k) break;
        run_bytes += unit_;
      }
      const std::size_t n =
          static_cast<std::size_t>(std::min<std::uint64_t>(run_bytes - within, out.size() - done));
      const std::span<std::byte> part = out.subspan(done, n);
      std::size_t got = n;
      if (mini_) {
        got = file_.MiniContainer().ReadAvailable(
            std::uint64_t{run_start} * kMiniSectorSize + within, part);
      } else {
        // Only the bytes that are asked for must be there: a last sector cut short is
        // how some producers end a file.
        const std::uint64_t at = (std::uint64_t{run_start} + 1) * unit_ + within;
        const std::uint64_t file_size = file_.source_.Size();
        got = at >= file_size
                  ? 0
                  : static_cast<std::size_t>(std::min<std::uint64_t>(n, file_size - at));
        if (got > 0) file_.ReadFile(at, part.first(got));
      }
      done += got;
      if (got < n) break;
    }
    return done;
  }

 private:
  void CheckSector(std::uint32_t sector) const {
    const std::uint64_t limit =
        mini_ ? (file_.root_.size + kMiniSectorSize - 1) / kMiniSectorSize : file_.file_sectors_;
    if (sector >= limit) RaiseFailure(FailureKind::kSectorOutOfRange);
  }

  // The sector holding the stream's `index`-th unit; extends the index up to it.
  std::uint32_t SectorAt(std::uint64_t index) {
    if (index < index_.size()) return index_[static_cast<std::size_t>(index)];
    if (index_.empty()) {
      CheckSector(start_);
      Append(start_);
    }
    while (index_.size() <= index) {
      ++file_.work_.links_followed;
      const std::uint32_t current = index_.back();
      const std::uint32_t next = mini_ ? file_.NextMiniSector(current) : file_.NextSector(current);
      if (next == kEndOfChain) RaiseFailure(FailureKind::kChainShorterThanStream);
      CheckSector(next);
      Append(next);
    }
    return index_[static_cast<std::size_t>(index)];
  }

  // A step to the physically next sector cannot close a cycle (a cycle needs a step
  // back), so only the other steps feed the cycle check; their targets form a sequence
  // of their own that repeats exactly when the chain does.
  void Append(std::uint32_t next) {
    if (index_.empty()) {
      tortoise_ = next;
      index_.push_back(next);
      return;
    }
    const bool straight = next == index_.back() + 1;
    index_.push_back(next);
    if (straight) return;
    if (next == tortoise_) RaiseFailure(FailureKind::kSectorChainCycle);
    if (++steps_ == power_) {
      tortoise_ = next;
      power_ *= 2;
      steps_ = 0;
    }
  }

  CompoundFile& file_;
  bool mini_;
  std::uint32_t start_;
  std::uint64_t size_;
  std::uint32_t unit_;
  std::vector<std::uint32_t> index_;  // sector of each unit read so far, in stream order
  std::uint32_t tortoise_ = 0;
  std::uint64_t power_ = 1;
  std::uint64_t steps_ = 0;
};

CompoundFile::CompoundFile(const FileSource& source) : source_(source) {
  std::array<std::byte, kHeaderSize> header{};
  if (source.Size() < kHeaderSize) RaiseFailure(FailureKind::kFileTruncated);
  ReadFile(0, header);
  const std::span<const std::byte> h(header);
  if (!HasCompoundSignature(h) || LoadU16(h, kHeaderByteOrder) != kByteOrderMark) {
    RaiseFailure(FailureKind::kCompoundHeaderInvalid);
  }
  sector_shift_ = LoadU16(h, kHeaderSectorShift);
  if (sector_shift_ != kSmallSectorShift && sector_shift_ != kLargeSectorShift) {
    RaiseFailure(FailureKind::kSectorSizeInvalid);
  }
  if (LoadU16(h, kHeaderMiniSectorShift) != kMiniSectorShift)
    RaiseFailure(FailureKind::kMiniSectorSizeInvalid);
  // Any other cutoff would move large streams into the mini stream, whose every sector
  // costs a lookup in a second table.
  if (LoadU32(h, kHeaderMiniStreamCutoff) != kMiniStreamCutoff)
    RaiseFailure(FailureKind::kMiniStreamCutoffInvalid);
  sector_size_ = std::uint32_t{1} << sector_shift_;
  version3_ = LoadU16(h, kHeaderMajorVersion) != 4;
  const std::uint32_t declared_fat_sectors = LoadU32(h, kHeaderFatSectors);
  const std::uint32_t first_directory = LoadU32(h, kHeaderFirstDirectorySector);
  first_mini_fat_ = LoadU32(h, kHeaderFirstMiniFatSector);
  first_difat_ = LoadU32(h, kHeaderFirstDifatSector);
  for (std::size_t i = 0; i < header_difat_.size(); ++i) {
    header_difat_[i] = LoadU32(h, kHeaderDifat + 4 * i);
  }

  file_sectors_ =
      source.Size() > sector_size_ ? (source.Size() - 1) / sector_size_ : 0;  // minus header
  // The counts of DIFAT and mini-FAT sectors are not relied on: the chains are followed.
  // More allocation-table sectors than the file's sectors need cannot hold a link that
  // stays inside the file, so the declared count is cut to that.
  if (declared_fat_sectors == 0) RaiseFailure(FailureKind::kAllocationTableEmpty);
  const std::uint64_t per = sector_size_ / 4;
  const std::uint64_t needed = std::max<std::uint64_t>(1, (file_sectors_ + per - 1) / per);
  fat_sectors_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(declared_fat_sectors, needed));
  CheckNotTruncated();

  const std::uint64_t max_directory_sectors = kMaxEntries * kEntrySize / sector_size_;
  auto directory = ChainStream::WholeChain(*this, first_directory, max_directory_sectors,
                                           FailureKind::kDirectoryTooLarge);
  entry_count_ = static_cast<std::uint32_t>(directory->Size() / kEntrySize);
  directory_ = std::move(directory);
  if (entry_count_ == 0) RaiseFailure(FailureKind::kRootEntryMissing);
  root_ = ReadEntry(0);
  if (root_.type != kEntryRoot) RaiseFailure(FailureKind::kRootEntryMissing);
  if (root_.size > file_sectors_ * sector_size_) RaiseFailure(FailureKind::kMiniStreamBeyondFile);
}

CompoundFile::~CompoundFile() = default;

void CompoundFile::ReadFile(std::uint64_t at, std::span<std::byte> out) {
  work_.bytes_read += out.size();
  source_.ReadAt(at, out);
}

std::size_t CompoundFile::ReadTable(std::uint64_t at, std::span<std::byte> out) {
  const std::size_t n =
      at < source_.Size()
          ? static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), source_.Size() - at))
          : 0;
  if (n > 0) ReadFile(at, out.first(n));
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(n), out.end(),
            std::byte{0xFF});  // kFreeSector
  return n;
}

std::optional<std::uint32_t> CompoundFile::FatSectorLocation(std::uint32_t fat_index, bool must) {
  auto fail = [&](FailureKind detail) -> std::optional<std::uint32_t> {
    if (must) RaiseFailure(detail);
    return std::nullopt;
  };
  last_location_free_ = false;
  if (fat_index >= fat_sectors_) return fail(FailureKind::kSectorBeyondAllocationTable);
  std::uint32_t location;
  if (fat_index < header_difat_.size()) {
    location = header_difat_[fat_index];
  } else {
    const std::uint32_t per_difat = sector_size_ / 4 - 1;
    const std::uint32_t rel = fat_index - static_cast<std::uint32_t>(header_difat_.size());
    // Bounded: fat_sectors_ is bounded by the file's size.
    const std::uint32_t which = rel / per_difat;
    while (difat_chain_.size() <= which) {
      std::uint32_t next = first_difat_;
      if (!difat_chain_.empty()) {
        next = LoadU32(DifatSector(difat_chain_.back()), std::size_t{per_difat} * 4);
      }
      if (next >= file_sectors_) {
        // The chain ended: the table has fewer sectors than counted.
        last_location_free_ = next == kEndOfChain || next == kFreeSector;
        return fail(FailureKind::kDifatSectorOutOfRange);
      }
      difat_chain_.push_back(next);
    }
    location = LoadU32(DifatSector(difat_chain_[which]), std::size_t{rel % per_difat} * 4);
  }
  last_location_free_ = location == kFreeSector;
  if (location == kFreeSector) return fail(FailureKind::kAllocationSectorMissing);
  if (location >= file_sectors_) return fail(FailureKind::kAllocationSectorBeyondFile);
  return location;
}

std::span<const std::byte> CompoundFile::DifatSector(std::uint32_t sector) {
  if (sector < difat_block_first_ || sector - difat_block_first_ >= difat_block_count_) {
    // DIFAT sectors are usually written side by side: read a few at once.
    const std::uint64_t at = (std::uint64_t{sector} + 1) * sector_size_;
    const std::uint64_t starting = (source_.Size() - at + sector_size_ - 1) / sector_size_;
    const auto count = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(starting, std::max(1u, kFatWindowBytes / sector_size_)));
    difat_block_.resize(std::size_t{count} * sector_size_);
    difat_block_count_ = 0;
    ReadTable(at, difat_block_);
    difat_block_first_ = sector;
    difat_block_count_ = count;
  }
  return std::span<const std::byte>(difat_block_)
      .subspan(std::size_t{sector - difat_block_first_} * sector_size_, sector_size_);
}

const CompoundFile::FatWindow& CompoundFile::WindowFor(std::uint32_t fat_index) {
  // A sector the table does not reach (the table is shorter than the file).
  if (fat_index >= fat_sectors_) RaiseFailure(FailureKind::kSectorBeyondAllocationTable);
  const std::uint32_t per_window = std::max(1u, kFatWindowBytes / sector_size_);
  const std::uint32_t number = fat_index / per_window;
  if (slot_of_window_.empty()) {
    slot_of_window_.assign((fat_sectors_ + per_window - 1) / per_window, kNoSlot);
  }
  if (const std::uint32_t held = slot_of_window_[number]; held != kNoSlot) {
    FatWindow& w = windows_[held];
    if (fat_index >= w.first && fat_index - w.first < w.count) {
      w.used = ++window_clock_;
      return w;
    }
  }
  FatWindow& slot = ClaimWindowSlot(number);
  const std::uint32_t first = number * per_window;
  const std::uint32_t end = std::min(first + per_window, fat_sectors_);
  std::uint32_t start = first;
  const std::vector<std::uint32_t> locations = SoundTableSectors(first, end, fat_index, start);
  LoadTableSectors(locations, slot.entries);
  work_.fat_sectors_loaded += locations.size();
  slot.first = start;
  slot.count = static_cast<std::uint32_t>(locations.size());
  slot.used = ++window_clock_;
  return slot;
}

CompoundFile::FatWindow& CompoundFile::ClaimWindowSlot(std::uint32_t number) {
  std::uint32_t slot_index = slot_of_window_[number];
  if (slot_index != kNoSlot) {
    // The window's slot, reloaded: it did not hold the sector asked for.
  } else if (windows_.size() < kMaxFatWindows) {
    slot_index = static_cast<std::uint32_t>(windows_.size());
    windows_.emplace_back();
  } else {
    const auto lru =
        std::min_element(windows_.begin(), windows_.end(),
                         [](const FatWindow& a, const FatWindow& b) { return a.used < b.used; });
    slot_index = static_cast<std::uint32_t>(lru - windows_.begin());
    slot_of_window_[lru->number] = kNoSlot;
  }
  FatWindow& slot = windows_[slot_index];
  // Empty until loaded, so that a failure while loading leaves no stale entries behind.
  slot.count = 0;
  slot.number = number;
  slot_of_window_[number] = slot_index;
  return slot;
}

std::vector<std::uint32_t> CompoundFile::SoundTableSectors(std::uint32_t first, std::uint32_t end,
                                                           std::uint32_t fat_index,
                                                           std::uint32_t& start) {
  // The sector asked for is required; the others come along only if they are sound, in
  // one unbroken run around it.
  std::vector<std::uint32_t> locations;
  start = first;
  for (std::uint32_t k = first; k < end; ++k) {
    const auto location = FatSectorLocation(k, k == fat_index);
    if (!location) {
      if (k > fat_index) break;
      locations.clear();
      start = k + 1;
      continue;
    }
    locations.push_back(*location);
  }
  return locations;
}

void CompoundFile::LoadTableSectors(const std::vector<std::uint32_t>& locations,
                                    std::vector<std::uint32_t>& entries) {
  const std::uint32_t per = sector_size_ / 4;
  entries.resize(std::size_t{per} * locations.size());
  std::vector<std::byte> raw;
  std::size_t i = 0;
  while (i < locations.size()) {
    // Sectors that lie side by side in the file are read with one call.
    std::size_t run = 1;
    while (i + run < locations.size() && locations[i + run] == locations[i] + run) ++run;
    raw.resize(run * sector_size_);
    // A table sector cut short by the end of the file reads as free entries there.
    ReadTable((std::uint64_t{locations[i]} + 1) * sector_size_, raw);
    for (std::size_t e = 0; e < run * per; ++e) entries[i * per + e] = LoadU32(raw, e * 4);
    i += run;
  }
}

std::uint32_t CompoundFile::NextSector(std::uint32_t sector) {
  const std::uint32_t per = sector_size_ / 4;
  const std::uint32_t fat_index = sector / per;
  const FatWindow& w = WindowFor(fat_index);
  return w.entries[std::size_t{fat_index - w.first} * per + sector % per];
}

std::uint32_t CompoundFile::NextMiniSector(std::uint32_t sector) {
  RandomAccessStream& table = MiniFat();
  const std::uint64_t at = std::uint64_t{sector} * 4;
  if (at + 4 > table.Size()) RaiseFailure(FailureKind::kMiniSectorBeyondMiniTable);
  std::array<std::byte, 4> entry{};
  table.Read(at, entry);
  return LoadU32(entry, 0);
}

void CompoundFile::CheckNotTruncated() {
  // The last sector in use according to the allocation table must start in the file:
  // whole sectors missing at the end mean the file was cut. (A last sector cut short
  // is how some producers end a file; what is missing there is read only if needed.)
  const std::uint32_t per = sector_size_ / 4;
  std::uint32_t fat_index = fat_sectors_;
  for (int tries = 0; tries < 4 && fat_index > 0; ++tries) {
    --fat_index;
    if (!FatSectorLocation(fat_index, false)) {
      // The last table sector listed but lying beyond the end of the file: a cut file.
      // A free entry instead is a count that overstates the table.
      if (fat_index + 1 == fat_sectors_ && !last_location_free_) {
        FatSectorLocation(fat_index, true);
      }
      continue;
    }
    const FatWindow& w = WindowFor(fat_index);
    const std::uint32_t* last = w.entries.data() + std::size_t{fat_index - w.first} * per;
    for (std::uint32_t e = per; e-- > 0;) {
      if (last[e] != kFreeSector) {
        const std::uint64_t last_used = std::uint64_t{fat_index} * per + e;
        if (last_used >= file_sectors_) RaiseFailure(FailureKind::kFileTruncated);
        return;
      }
    }
  }
}

CompoundEntry CompoundFile::ReadEntry(std::uint32_t id) {
  if (id >= entry_count_) RaiseFailure(FailureKind::kEntryIdOutOfRange);
  // Entries are read through a one-sector cache: a tree's entries sit close together.
  const std::uint64_t at = std::uint64_t{id} * kEntrySize;
  const std::uint64_t sector_at = at - at % sector_size_;
  if (sector_at != entry_sector_at_) {
    entry_sector_.resize(static_cast<std::size_t>(
        std::min<std::uint64_t>(sector_size_, directory_->Size() - sector_at)));
    entry_sector_at_ = UINT64_MAX;
    directory_->Read(sector_at, entry_sector_);
    entry_sector_at_ = sector_at;
  }
  const std::span<const std::byte> r =
      std::span<const std::byte>(entry_sector_)
          .subspan(static_cast<std::size_t>(at - sector_at), kEntrySize);
  CompoundEntry entry;
  const std::size_t name_bytes =
      std::min<std::size_t>(LoadU16(r, kEntryNameLength), kEntryNameMaxBytes);
  for (std::size_t i = 0; i + 1 < name_bytes; i += 2) {
    const auto c = static_cast<char16_t>(LoadU16(r, kEntryName + i));
    if (c == 0) break;
    entry.name.push_back(c);
  }
  entry.type = LoadU8(r, kEntryType);
  entry.left = LoadU32(r, kEntryLeftSibling);
  entry.right = LoadU32(r, kEntryRightSibling);
  entry.child = LoadU32(r, kEntryChild);
  entry.start = LoadU32(r, kEntryStartSector);
  entry.size = version3_ ? LoadU32(r, kEntrySize32) : LoadU64(r, kEntrySize32);
  return entry;
}

std::vector<std::optional<CompoundEntry>> CompoundFile::FindTopLevel(
    std::span<const std::u16string_view> names) {
  std::vector<std::optional<CompoundEntry>> found(names.size());
  // Children of a storage form a tree through the left and right links; walk it
  // whole (producers do not always keep it balanced or sorted).
  std::vector<bool> seen(entry_count_, false);
  std::vector<std::uint32_t> pending{root_.child};
  while (!pending.empty()) {
    const std::uint32_t id = pending.back();
    pending.pop_back();
    if (id == kNoEntry) continue;
    if (id >= entry_count_) {
      broken_links_ = true;
      continue;
    }
    if (seen[id]) RaiseFailure(FailureKind::kDirectoryTreeCycle);
    seen[id] = true;
    CompoundEntry entry = ReadEntry(id);
    pending.push_back(entry.left);
    pending.push_back(entry.right);
    for (std::size_t n = 0; n < names.size(); ++n) {
      if (!found[n] && entry.type != kEntryEmpty &&
          SameNameIgnoringAsciiCase(entry.name, names[n])) {
        found[n] = entry;
      }
    }
  }
  return found;
}

RandomAccessStream& CompoundFile::MiniContainer() {
  if (!mini_container_) {
    mini_container_ = std::make_unique<ChainStream>(*this, false, root_.start, root_.size);
  }
  return *mini_container_;
}

RandomAccessStream& CompoundFile::MiniFat() {
  if (!mini_fat_) {
    // Its length is the chain's: the header's count is not relied on.
    mini_fat_ = ChainStream::WholeChain(*this, first_mini_fat_, file_sectors_,
                                        FailureKind::kMiniTableTooLarge);
  }
  return *mini_fat_;
}

std::unique_ptr<RandomAccessStream> CompoundFile::OpenStream(const CompoundEntry& entry) {
  if (entry.type != kEntryStream) RaiseFailure(FailureKind::kEntryNotStream);
  if (entry.size < kMiniStreamCutoff) {
    if (entry.size > root_.size) RaiseFailure(FailureKind::kStreamBeyondMiniStream);
    return std::make_unique<ChainStream>(*this, true, entry.start, entry.size);
  }
  if (entry.size > file_sectors_ * sector_size_) RaiseFailure(FailureKind::kStreamBeyondFile);
  return std::make_unique<ChainStream>(*this, false, entry.start, entry.size);
}

}  // namespace vexmar::workbook
