#include "vexmar/workbook/compound_file.hpp"

#include <algorithm>
#include <cstring>

#include "vexmar/workbook/little_endian.hpp"

namespace vexmar::workbook {
namespace {

constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;
constexpr std::uint32_t kHeaderSize = 512;
constexpr std::uint32_t kEntrySize = 128;
constexpr std::uint32_t kMiniSectorSize = 64;
// A directory of more entries than this is refused: real files hold a few hundred.
constexpr std::uint64_t kMaxEntries = std::uint64_t{1} << 19;
// Allocation-table bytes read in one go (the window of FAT sectors kept in memory).
constexpr std::uint32_t kFatWindowBytes = 64 * 1024;

constexpr std::array<unsigned char, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0,
                                                     0xA1, 0xB1, 0x1A, 0xE1};

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

bool HasCompoundSignature(std::span<const std::byte> head) {
  if (head.size() < kSignature.size()) return false;
  for (std::size_t i = 0; i < kSignature.size(); ++i) {
    if (std::to_integer<unsigned char>(head[i]) != kSignature[i]) return false;
  }
  return true;
}

// A stream stored as a chain of sectors, in the file (regular sectors) or in the mini
// stream (64-byte mini sectors). Keeps a cursor on the chain so that reading forward
// follows each link once; following checks every sector number and detects cycles
// (Brent's method, constant memory).
class ChainStream final : public ByteStream {
 public:
  ChainStream(CompoundFile& file, bool mini, std::uint32_t start, std::uint64_t size)
      : file_(file),
        mini_(mini),
        start_(start),
        size_(size),
        unit_(mini ? kMiniSectorSize : file.sector_size_) {}

  // A chain of regular sectors whose length gives the size (the directory); the sector
  // numbers are kept so that entries can be read in any order.
  static std::unique_ptr<ChainStream> WholeChain(CompoundFile& file, std::uint32_t start,
                                                 std::uint64_t max_sectors) {
    auto stream = std::make_unique<ChainStream>(file, false, start, 0);
    stream->CheckSector(start);
    std::vector<std::uint32_t> sectors{start};
    stream->Reset();
    for (;;) {
      const std::uint32_t next = file.NextSector(stream->cur_sector_);
      if (next == kEndOfChain) break;
      stream->CheckSector(next);
      if (sectors.size() >= max_sectors) RaiseDamaged(u"目录过大");
      stream->Advance(next);
      sectors.push_back(next);
    }
    stream->size_ = sectors.size() * std::uint64_t{file.sector_size_};
    stream->index_ = std::move(sectors);
    return stream;
  }

  std::uint64_t Size() const override { return size_; }

  void Read(std::uint64_t offset, std::span<std::byte> out) override {
    if (offset > size_ || out.size() > size_ - offset) RaiseDamaged(u"读取位置超出流的末尾");
    std::size_t done = 0;
    while (done < out.size()) {
      const std::uint64_t pos = offset + done;
      const std::uint64_t within = pos % unit_;
      const std::uint32_t run_start = SectorAt(pos / unit_);
      std::uint64_t run_bytes = unit_;
      // Physically consecutive regular sectors are read with one call.
      while (!mini_ && index_.empty() && within + (out.size() - done) > run_bytes) {
        const std::uint32_t next = Follow(cur_sector_);
        if (next != cur_sector_ + 1) break;
        Advance(next);
        run_bytes += unit_;
      }
      const std::size_t n =
          static_cast<std::size_t>(std::min<std::uint64_t>(run_bytes - within, out.size() - done));
      const std::span<std::byte> part = out.subspan(done, n);
      if (mini_) {
        file_.MiniContainer().Read(std::uint64_t{run_start} * kMiniSectorSize + within, part);
      } else {
        const std::uint64_t at = (std::uint64_t{run_start} + 1) * unit_ + within;
        if (at > file_.source_.Size() || n > file_.source_.Size() - at) {
          RaiseDamaged(u"文件被截断");
        }
        file_.source_.ReadAt(at, part);
      }
      done += n;
    }
  }

 private:
  void CheckSector(std::uint32_t sector) const {
    const std::uint64_t limit =
        mini_ ? (file_.root_.size + kMiniSectorSize - 1) / kMiniSectorSize : file_.file_sectors_;
    if (sector >= limit) RaiseDamaged(u"扇区编号超出范围");
  }

  std::uint32_t Follow(std::uint32_t sector) {
    const std::uint32_t next = mini_ ? file_.NextMiniSector(sector) : file_.NextSector(sector);
    if (next == kEndOfChain) RaiseDamaged(u"扇区链比流的长度短");
    CheckSector(next);
    return next;
  }

  void Reset() {
    cur_index_ = 0;
    cur_sector_ = start_;
    tortoise_ = start_;
    power_ = 1;
    steps_ = 0;
  }

  void Advance(std::uint32_t next) {
    ++cur_index_;
    cur_sector_ = next;
    if (next == tortoise_) RaiseDamaged(u"扇区链中有循环");
    if (++steps_ == power_) {
      tortoise_ = next;
      power_ *= 2;
      steps_ = 0;
    }
  }

  std::uint32_t SectorAt(std::uint64_t index) {
    if (!index_.empty()) return index_[static_cast<std::size_t>(index)];
    if (!started_ || index < cur_index_) {
      CheckSector(start_);
      Reset();
      started_ = true;
    }
    while (cur_index_ < index) Advance(Follow(cur_sector_));
    return cur_sector_;
  }

  CompoundFile& file_;
  bool mini_;
  std::uint32_t start_;
  std::uint64_t size_;
  std::uint32_t unit_;
  bool started_ = false;
  std::uint64_t cur_index_ = 0;
  std::uint32_t cur_sector_ = 0;
  std::uint32_t tortoise_ = 0;
  std::uint64_t power_ = 1;
  std::uint64_t steps_ = 0;
  std::vector<std::uint32_t> index_;
};

CompoundFile::CompoundFile(const FileSource& source) : source_(source) {
  std::array<std::byte, kHeaderSize> header{};
  if (source.Size() < kHeaderSize) RaiseDamaged(u"文件被截断");
  source.ReadAt(0, header);
  const std::span<const std::byte> h(header);
  if (!HasCompoundSignature(h) || LoadU16(h, 0x1C) != 0xFFFE) {
    RaiseDamaged(u"复合文件头无效");
  }
  sector_shift_ = LoadU16(h, 0x1E);
  if (sector_shift_ != 9 && sector_shift_ != 12) RaiseDamaged(u"扇区大小无效");
  if (LoadU16(h, 0x20) != 6) RaiseDamaged(u"小扇区大小无效");
  sector_size_ = std::uint32_t{1} << sector_shift_;
  version3_ = LoadU16(h, 0x1A) != 4;
  fat_sectors_ = LoadU32(h, 0x2C);
  const std::uint32_t first_directory = LoadU32(h, 0x30);
  mini_cutoff_ = LoadU32(h, 0x38);
  first_mini_fat_ = LoadU32(h, 0x3C);
  mini_fat_sectors_ = LoadU32(h, 0x40);
  first_difat_ = LoadU32(h, 0x44);
  difat_sectors_ = LoadU32(h, 0x48);
  for (std::size_t i = 0; i < header_difat_.size(); ++i) header_difat_[i] = LoadU32(h, 0x4C + 4 * i);

  file_sectors_ =
      source.Size() > sector_size_ ? (source.Size() - 1) / sector_size_ : 0;  // minus header
  if (fat_sectors_ == 0 || fat_sectors_ > file_sectors_ || difat_sectors_ > file_sectors_ ||
      mini_fat_sectors_ > file_sectors_) {
    RaiseDamaged(u"扇区计数与文件大小不符（文件可能被截断）");
  }
  CheckNotTruncated();

  const std::uint64_t max_directory_sectors = kMaxEntries * kEntrySize / sector_size_;
  auto directory = ChainStream::WholeChain(*this, first_directory, max_directory_sectors);
  entry_count_ = static_cast<std::uint32_t>(directory->Size() / kEntrySize);
  directory_ = std::move(directory);
  root_ = ReadEntry(0);
  if (root_.type != 5) RaiseDamaged(u"缺少根目录项");
  if (root_.size > file_sectors_ * sector_size_) RaiseDamaged(u"小流的长度超出文件大小");
}

CompoundFile::~CompoundFile() = default;

std::optional<std::uint32_t> CompoundFile::FatSectorLocation(std::uint32_t fat_index,
                                                             bool must) {
  auto fail = [&](const char16_t* detail) -> std::optional<std::uint32_t> {
    if (must) RaiseDamaged(detail);
    return std::nullopt;
  };
  if (fat_index >= fat_sectors_) return fail(u"扇区不在分配表的范围内");
  std::uint32_t location;
  if (fat_index < header_difat_.size()) {
    location = header_difat_[fat_index];
  } else {
    const std::uint32_t per_difat = sector_size_ / 4 - 1;
    const std::uint32_t rel = fat_index - static_cast<std::uint32_t>(header_difat_.size());
    const std::uint32_t which = rel / per_difat;
    if (which >= difat_sectors_) return fail(u"分配表扇区不在DIFAT的范围内");
    while (difat_chain_.size() <= which) {
      std::uint32_t next = first_difat_;
      if (!difat_chain_.empty()) {
        std::array<std::byte, 4> link{};
        const std::uint64_t at = (std::uint64_t{difat_chain_.back()} + 1) * sector_size_ +
                                 std::uint64_t{per_difat} * 4;
        if (at + 4 > source_.Size()) return fail(u"文件被截断");
        source_.ReadAt(at, link);
        next = LoadU32(link, 0);
      }
      if (next >= file_sectors_) return fail(u"DIFAT扇区编号超出范围");
      difat_chain_.push_back(next);
    }
    std::array<std::byte, 4> entry{};
    const std::uint64_t at =
        (std::uint64_t{difat_chain_[which]} + 1) * sector_size_ + std::uint64_t{rel % per_difat} * 4;
    if (at + 4 > source_.Size()) return fail(u"文件被截断");
    source_.ReadAt(at, entry);
    location = LoadU32(entry, 0);
  }
  if (location >= file_sectors_) return fail(u"分配表扇区超出文件范围（文件可能被截断）");
  if ((std::uint64_t{location} + 2) * sector_size_ > source_.Size()) return fail(u"文件被截断");
  return location;
}

void CompoundFile::LoadFatWindow(std::uint32_t fat_index) {
  const std::uint32_t per = sector_size_ / 4;
  const std::uint32_t most = std::min(kFatWindowBytes / sector_size_, fat_sectors_ - fat_index);
  std::vector<std::uint32_t> locations;
  locations.push_back(*FatSectorLocation(fat_index, true));
  while (locations.size() < most) {
    const auto next =
        FatSectorLocation(fat_index + static_cast<std::uint32_t>(locations.size()), false);
    if (!next) break;
    locations.push_back(*next);
  }
  window_first_ = fat_index;
  window_count_ = 0;
  window_.resize(std::size_t{per} * locations.size());
  std::vector<std::byte> raw;
  std::size_t i = 0;
  while (i < locations.size()) {
    std::size_t run = 1;
    while (i + run < locations.size() && locations[i + run] == locations[i] + run) ++run;
    raw.resize(run * sector_size_);
    source_.ReadAt((std::uint64_t{locations[i]} + 1) * sector_size_, raw);
    for (std::size_t e = 0; e < run * per; ++e) window_[i * per + e] = LoadU32(raw, e * 4);
    i += run;
  }
  window_count_ = static_cast<std::uint32_t>(locations.size());
}

std::uint32_t CompoundFile::NextSector(std::uint32_t sector) {
  const std::uint32_t per = sector_size_ / 4;
  const std::uint32_t fat_index = sector / per;
  if (fat_index < window_first_ || fat_index - window_first_ >= window_count_) {
    LoadFatWindow(fat_index);
  }
  return window_[std::size_t{fat_index - window_first_} * per + sector % per];
}

std::uint32_t CompoundFile::NextMiniSector(std::uint32_t sector) {
  ByteStream& table = MiniFat();
  const std::uint64_t at = std::uint64_t{sector} * 4;
  if (at + 4 > table.Size()) RaiseDamaged(u"小扇区不在小分配表的范围内");
  std::array<std::byte, 4> entry{};
  table.Read(at, entry);
  return LoadU32(entry, 0);
}

void CompoundFile::CheckNotTruncated() {
  // The last sector in use according to the allocation table must lie in the file;
  // reading the last table sector or two is enough to find it.
  const std::uint32_t per = sector_size_ / 4;
  std::uint32_t fat_index = fat_sectors_;
  for (int tries = 0; tries < 4 && fat_index > 0; ++tries) {
    --fat_index;
    if (!FatSectorLocation(fat_index, false)) {
      // A missing or out-of-file table sector at the end means the file was cut.
      if (fat_index + 1 == fat_sectors_) FatSectorLocation(fat_index, true);
      continue;
    }
    LoadFatWindow(fat_index);
    for (std::uint32_t e = per; e-- > 0;) {
      if (window_[e] != kFreeSector) {
        // The last sector in use must be whole: a cut inside it is a cut file too.
        const std::uint64_t last_used = std::uint64_t{fat_index} * per + e;
        if ((last_used + 2) * sector_size_ > source_.Size()) RaiseDamaged(u"文件被截断");
        return;
      }
    }
  }
}

CompoundEntry CompoundFile::ReadEntry(std::uint32_t id) {
  if (id >= entry_count_) RaiseDamaged(u"目录项编号超出范围");
  std::array<std::byte, kEntrySize> raw{};
  directory_->Read(std::uint64_t{id} * kEntrySize, raw);
  const std::span<const std::byte> r(raw);
  CompoundEntry entry;
  const std::uint16_t name_bytes = std::min<std::uint16_t>(LoadU16(r, 0x40), 64);
  for (std::size_t i = 0; i + 1 < name_bytes; i += 2) {
    const auto c = static_cast<char16_t>(LoadU16(r, i));
    if (c == 0) break;
    entry.name.push_back(c);
  }
  entry.type = LoadU8(r, 0x42);
  entry.start = LoadU32(r, 0x74);
  entry.size = version3_ ? LoadU32(r, 0x78) : LoadU64(r, 0x78);
  return entry;
}

std::vector<std::optional<CompoundEntry>> CompoundFile::FindTopLevel(
    std::span<const std::u16string_view> names) {
  std::vector<std::optional<CompoundEntry>> found(names.size());
  // Children of a storage form a tree through the left and right links; walk it
  // whole (producers do not always keep it balanced or sorted).
  std::array<std::byte, kEntrySize> raw{};
  directory_->Read(0, raw);
  std::vector<bool> seen(entry_count_, false);
  std::vector<std::uint32_t> pending{LoadU32(raw, 0x4C)};
  while (!pending.empty()) {
    const std::uint32_t id = pending.back();
    pending.pop_back();
    if (id == kNoEntry) continue;
    if (id >= entry_count_) RaiseDamaged(u"目录项编号超出范围");
    if (seen[id]) RaiseDamaged(u"目录树中有循环");
    seen[id] = true;
    directory_->Read(std::uint64_t{id} * kEntrySize, raw);
    pending.push_back(LoadU32(raw, 0x44));
    pending.push_back(LoadU32(raw, 0x48));
    const CompoundEntry entry = ReadEntry(id);
    for (std::size_t n = 0; n < names.size(); ++n) {
      if (!found[n] && entry.type != 0 && SameNameIgnoringAsciiCase(entry.name, names[n])) {
        found[n] = entry;
      }
    }
  }
  return found;
}

ByteStream& CompoundFile::MiniContainer() {
  if (!mini_container_) {
    mini_container_ = std::make_unique<ChainStream>(*this, false, root_.start, root_.size);
  }
  return *mini_container_;
}

ByteStream& CompoundFile::MiniFat() {
  if (!mini_fat_) {
    mini_fat_ = std::make_unique<ChainStream>(*this, false, first_mini_fat_,
                                              std::uint64_t{mini_fat_sectors_} * sector_size_);
  }
  return *mini_fat_;
}

std::unique_ptr<ByteStream> CompoundFile::OpenStream(const CompoundEntry& entry) {
  if (entry.type != 2) RaiseDamaged(u"目录项不是流");
  if (entry.size < mini_cutoff_) {
    if (entry.size > root_.size) RaiseDamaged(u"流的长度超出小流的大小");
    return std::make_unique<ChainStream>(*this, true, entry.start, entry.size);
  }
  if (entry.size > file_sectors_ * sector_size_) RaiseDamaged(u"流的长度超出文件大小");
  return std::make_unique<ChainStream>(*this, false, entry.start, entry.size);
}

}  // namespace vexmar::workbook
