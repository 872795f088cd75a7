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
// Allocation-table bytes read in one go (the window of FAT sectors kept in memory):
// 4 KB map 512 KB of a file with small sectors, 4 MB with large ones.
constexpr std::uint32_t kFatWindowBytes = 4 * 1024;

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
class ChainStream final : public RandomAccessStream {
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

  // A step to the physically next sector cannot close a cycle (a cycle needs a step
  // back), so only the other steps feed the cycle check; their targets form a sequence
  // of their own that repeats exactly when the chain does.
  void Advance(std::uint32_t next) {
    const bool straight = next == cur_sector_ + 1;
    ++cur_index_;
    cur_sector_ = next;
    if (straight) return;
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
    while (cur_index_ < index) {
      if (!mini_) {
        // Runs of physically consecutive sectors are skipped in one go.
        const std::uint64_t run = file_.StraightRun(cur_sector_, index - cur_index_);
        if (run > 0) {
          cur_sector_ += static_cast<std::uint32_t>(run);
          cur_index_ += run;
          continue;
        }
      }
      Advance(Follow(cur_sector_));
    }
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
  for (std::size_t i = 0; i < header_difat_.size(); ++i)
    header_difat_[i] = LoadU32(h, 0x4C + 4 * i);

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

std::optional<std::uint32_t> CompoundFile::FatSectorLocation(std::uint32_t fat_index, bool must) {
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
        const auto previous = DifatSector(difat_chain_.back());
        if (previous.empty()) return fail(u"文件被截断");
        next = LoadU32(previous, std::size_t{per_difat} * 4);
      }
      if (next >= file_sectors_) return fail(u"DIFAT扇区编号超出范围");
      difat_chain_.push_back(next);
    }
    const auto sector = DifatSector(difat_chain_[which]);
    if (sector.empty()) return fail(u"文件被截断");
    location = LoadU32(sector, std::size_t{rel % per_difat} * 4);
  }
  if (location >= file_sectors_) return fail(u"分配表扇区超出文件范围（文件可能被截断）");
  if ((std::uint64_t{location} + 2) * sector_size_ > source_.Size()) return fail(u"文件被截断");
  return location;
}

std::span<const std::byte> CompoundFile::DifatSector(std::uint32_t sector) {
  if (sector < difat_block_first_ || sector - difat_block_first_ >= difat_block_count_) {
    // DIFAT sectors are usually written side by side: read a few at once.
    const std::uint64_t at = (std::uint64_t{sector} + 1) * sector_size_;
    if (at >= source_.Size()) return {};
    const std::uint64_t whole = (source_.Size() - at) / sector_size_;
    const auto count = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(whole, std::max(1u, kFatWindowBytes / sector_size_)));
    if (count == 0) return {};
    difat_block_.resize(std::size_t{count} * sector_size_);
    difat_block_count_ = 0;
    source_.ReadAt(at, difat_block_);
    difat_block_first_ = sector;
    difat_block_count_ = count;
  }
  return std::span<const std::byte>(difat_block_)
      .subspan(std::size_t{sector - difat_block_first_} * sector_size_, sector_size_);
}

void CompoundFile::LoadFatWindow(std::uint32_t fat_index, std::uint32_t first) {
  const std::uint32_t per = sector_size_ / 4;
  const std::uint32_t end = first + std::min(kFatWindowBytes / sector_size_, fat_sectors_ - first);
  // The sector asked for is required; the others come along only if they are sound.
  std::vector<std::uint32_t> locations;
  std::uint32_t start = first;
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
  window_first_ = start;
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
    LoadFatWindow(fat_index, fat_index);
  }
  return window_[std::size_t{fat_index - window_first_} * per + sector % per];
}

std::uint64_t CompoundFile::StraightRun(std::uint32_t sector, std::uint64_t limit) {
  const std::uint32_t per = sector_size_ / 4;
  // Every sector reached must lie in the file.
  limit = std::min<std::uint64_t>(
      limit, file_sectors_ - 1 - std::min<std::uint64_t>(sector, file_sectors_ - 1));
  std::uint64_t run = 0;
  std::uint32_t s = sector;
  while (run < limit) {
    const std::uint32_t fat_index = s / per;
    if (fat_index < window_first_ || fat_index - window_first_ >= window_count_) {
      LoadFatWindow(fat_index, fat_index);
    }
    const std::size_t first = std::size_t{fat_index - window_first_} * per + s % per;
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(window_.size() - first, limit - run));
    const std::uint32_t* entries = window_.data() + first;
    std::size_t k = 0;
    while (k < n && entries[k] == s + k + 1) ++k;
    run += k;
    s += static_cast<std::uint32_t>(k);
    if (k < n) break;
  }
  return run;
}

std::uint32_t CompoundFile::NextMiniSector(std::uint32_t sector) {
  RandomAccessStream& table = MiniFat();
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
    // A window ending at this sector also serves the reads at the start of a small file.
    const std::uint32_t span = kFatWindowBytes / sector_size_;
    LoadFatWindow(fat_index, fat_index + 1 > span ? fat_index + 1 - span : 0);
    const std::uint32_t* last = window_.data() + std::size_t{fat_index - window_first_} * per;
    for (std::uint32_t e = per; e-- > 0;) {
      if (last[e] != kFreeSector) {
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
  // Entries are read through a one-sector cache: a tree's entries sit close together.
  const std::uint64_t at = std::uint64_t{id} * kEntrySize;
  const std::uint64_t sector_at = at - at % sector_size_;
  if (sector_at != entry_sector_at_) {
    entry_sector_.resize(sector_size_);
    entry_sector_at_ = UINT64_MAX;
    directory_->Read(sector_at, entry_sector_);
    entry_sector_at_ = sector_at;
  }
  const std::span<const std::byte> r =
      std::span<const std::byte>(entry_sector_)
          .subspan(static_cast<std::size_t>(at - sector_at), kEntrySize);
  CompoundEntry entry;
  const std::uint16_t name_bytes = std::min<std::uint16_t>(LoadU16(r, 0x40), 64);
  for (std::size_t i = 0; i + 1 < name_bytes; i += 2) {
    const auto c = static_cast<char16_t>(LoadU16(r, i));
    if (c == 0) break;
    entry.name.push_back(c);
  }
  entry.type = LoadU8(r, 0x42);
  entry.left = LoadU32(r, 0x44);
  entry.right = LoadU32(r, 0x48);
  entry.child = LoadU32(r, 0x4C);
  entry.start = LoadU32(r, 0x74);
  entry.size = version3_ ? LoadU32(r, 0x78) : LoadU64(r, 0x78);
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
    if (id >= entry_count_) RaiseDamaged(u"目录项编号超出范围");
    if (seen[id]) RaiseDamaged(u"目录树中有循环");
    seen[id] = true;
    CompoundEntry entry = ReadEntry(id);
    pending.push_back(entry.left);
    pending.push_back(entry.right);
    for (std::size_t n = 0; n < names.size(); ++n) {
      if (!found[n] && entry.type != 0 && SameNameIgnoringAsciiCase(entry.name, names[n])) {
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
    mini_fat_ = std::make_unique<ChainStream>(*this, false, first_mini_fat_,
                                              std::uint64_t{mini_fat_sectors_} * sector_size_);
  }
  return *mini_fat_;
}

std::unique_ptr<RandomAccessStream> CompoundFile::OpenStream(const CompoundEntry& entry) {
  if (entry.type != 2) RaiseDamaged(u"目录项不是流");
  if (entry.size < mini_cutoff_) {
    if (entry.size > root_.size) RaiseDamaged(u"流的长度超出小流的大小");
    return std::make_unique<ChainStream>(*this, true, entry.start, entry.size);
  }
  if (entry.size > file_sectors_ * sector_size_) RaiseDamaged(u"流的长度超出文件大小");
  return std::make_unique<ChainStream>(*this, false, entry.start, entry.size);
}

}  // namespace vexmar::workbook
