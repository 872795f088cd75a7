#include "vexmar/workbook/containers/zip_archive.hpp"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <limits>

#include "vexmar/workbook/containers/zip_name.hpp"
#include "vexmar/workbook/failure_kind.hpp"

namespace vexmar::workbook {
namespace {

constexpr std::uint32_t kLocalHeaderSig = 0x04034b50;
constexpr std::uint32_t kCentralHeaderSig = 0x02014b50;
constexpr std::uint32_t kEndSig = 0x06054b50;
constexpr std::uint32_t kZip64EndSig = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSig = 0x07064b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kMaxComment = 0xFFFF;
constexpr std::size_t kChunk = 64 * 1024;

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint16_t kFlagMaskedDirectory = 0x2000;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
constexpr std::uint16_t kMethodAes = 99;

std::uint16_t U16(const std::byte* p) noexcept {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(p[0]) |
                                    (std::to_integer<unsigned>(p[1]) << 8));
}
std::uint32_t U32(const std::byte* p) noexcept {
  return static_cast<std::uint32_t>(U16(p)) | (static_cast<std::uint32_t>(U16(p + 2)) << 16);
}
std::uint64_t U64(const std::byte* p) noexcept {
  return static_cast<std::uint64_t>(U32(p)) | (static_cast<std::uint64_t>(U32(p + 4)) << 32);
}

[[noreturn]] void RaiseBadDirectory() { RaiseFailure(FailureKind::kZipDirectoryDamaged); }

// Reads ranges of a file through one window so that walking many small records
// costs few system calls.
class WindowReader {
 public:
  WindowReader(RandomAccessStream& file, std::size_t window) : file_(file), window_(window) {}

  // `n` bytes at `offset`, valid until the next call. Past the end of the file is damage.
  const std::byte* Get(std::uint64_t offset, std::size_t n) {
    if (offset > file_.Size() || n > file_.Size() - offset) RaiseBadDirectory();
    if (offset >= start_ && offset - start_ <= length_ && n <= length_ - (offset - start_)) {
      return buffer_.data() + (offset - start_);
    }
    if (const std::span<const std::byte> view = file_.View(offset, n); !view.empty()) {
      return view.data();
    }
    const std::size_t want = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::max(n, window_), file_.Size() - offset));
    if (buffer_.size() < want) buffer_.resize(want);
    file_.Read(offset, std::span(buffer_.data(), want));
    start_ = offset;
    length_ = want;
    return buffer_.data();
  }

 private:
  RandomAccessStream& file_;
  std::size_t window_;
  std::vector<std::byte> buffer_;
  std::uint64_t start_ = 0;
  std::size_t length_ = 0;
};

// Parses one central directory header at `offset`; `next` receives the offset after it.
ZipEntry ParseCentralHeader(WindowReader& reader, std::uint64_t offset, std::uint64_t end,
                            std::uint64_t* next) {
  if (offset > end || end - offset < kCentralHeaderSize) RaiseBadDirectory();
  const std::byte* h = reader.Get(offset, kCentralHeaderSize);
  if (U32(h) != kCentralHeaderSig) RaiseBadDirectory();
  ZipEntry entry;
  entry.flags = U16(h + 8);
  entry.method = U16(h + 10);
  entry.crc32 = U32(h + 16);
  entry.compressed_size = U32(h + 20);
  entry.uncompressed_size = U32(h + 24);
  const std::size_t name_len = U16(h + 28);
  const std::size_t extra_len = U16(h + 30);
  const std::size_t comment_len = U16(h + 32);
  const std::uint16_t disk = U16(h + 34);
  entry.local_header_offset = U32(h + 42);
  const std::uint64_t total = kCentralHeaderSize + name_len + extra_len + comment_len;
  if (end - offset < total) RaiseBadDirectory();
  *next = offset + total;

  const std::byte* body = reader.Get(offset + kCentralHeaderSize, name_len + extra_len);
  const std::string_view raw_name(reinterpret_cast<const char*>(body), name_len);
  const bool ascii = std::all_of(raw_name.begin(), raw_name.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  entry.name =
      (ascii || (entry.flags & kFlagUtf8) != 0) ? std::string(raw_name) : Cp437ToUtf8(raw_name);

  // The zip64 extra field holds, in this order, whichever values did not fit.
  const bool need_usize = entry.uncompressed_size == 0xFFFFFFFF;
  const bool need_csize = entry.compressed_size == 0xFFFFFFFF;
  const bool need_offset = entry.local_header_offset == 0xFFFFFFFF;
  if (need_usize || need_csize || need_offset) {
    const std::byte* extra = body + name_len;
    std::size_t pos = 0;
    bool found = false;
    while (extra_len - pos >= 4) {
      const std::uint16_t id = U16(extra + pos);
      const std::size_t size = U16(extra + pos + 2);
      pos += 4;
      if (size > extra_len - pos) RaiseBadDirectory();
      if (id == 0x0001) {
        std::size_t field = pos;
        const std::size_t field_end = pos + size;
        auto take = [&](std::uint64_t& value) {
          if (field_end - field < 8) RaiseBadDirectory();
          value = U64(extra + field);
          field += 8;
        };
        if (need_usize) take(entry.uncompressed_size);
        if (need_csize) take(entry.compressed_size);
        if (need_offset) take(entry.local_header_offset);
        found = true;
        break;
      }
      pos += size;
    }
    if (!found) RaiseBadDirectory();
  }
  if (disk != 0 && disk != 0xFFFF) RaiseFailure(FailureKind::kZipMultiVolume);
  return entry;
}

// Streams a stored entry and checks its CRC at the end.
class StoredEntryStream final : public ByteStream {
 public:
  StoredEntryStream(RandomAccessStream& file, ZipArchive& archive, std::uint64_t data_offset,
                    const ZipEntry& entry)
      : file_(file),
        archive_(archive),
        position_(data_offset),
        remaining_(entry.uncompressed_size),
        expected_crc_(entry.crc32) {}

  std::size_t Read(std::span<std::byte> out) override {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), remaining_));
    if (n == 0) return 0;
    file_.Read(position_, out.first(n));
    archive_.ChargeInflated(n);
    position_ += n;
    remaining_ -= n;
    crc_ = crc32_z(crc_, reinterpret_cast<const Bytef*>(out.data()), n);
    if (remaining_ == 0 && crc_ != expected_crc_) RaiseFailure(FailureKind::kZipChecksumMismatch);
    return n;
  }

 private:
  RandomAccessStream& file_;
  ZipArchive& archive_;
  std::uint64_t position_;
  std::uint64_t remaining_;
  std::uint32_t expected_crc_;
  uLong crc_ = 0;
};

// Inflates a deflated entry piece by piece with raw zlib inflate.
class DeflatedEntryStream final : public ByteStream {
 public:
  DeflatedEntryStream(RandomAccessStream& file, ZipArchive& archive, std::uint64_t data_offset,
                      const ZipEntry& entry)
      : file_(file),
        archive_(archive),
        in_position_(data_offset),
        in_remaining_(entry.compressed_size),
        declared_size_(entry.uncompressed_size),
        expected_crc_(entry.crc32) {
    // Compressed bytes the source holds in memory are inflated in place; others go
    // through a buffer no larger than the entry needs.
    if (in_remaining_ <= std::numeric_limits<uInt>::max()) {
      const std::span<const std::byte> whole =
          file_.View(in_position_, static_cast<std::size_t>(in_remaining_));
      if (!whole.empty() || in_remaining_ == 0) {
        z_.next_in = reinterpret_cast<Bytef*>(const_cast<std::byte*>(whole.data()));
        z_.avail_in = static_cast<uInt>(whole.size());
        in_remaining_ = 0;
      }
    }
    if (in_remaining_ > 0) {
      input_size_ = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, in_remaining_));
      input_ = std::make_unique_for_overwrite<std::byte[]>(input_size_);
    }
    if (inflateInit2(&z_, -MAX_WBITS) != Z_OK) throw std::bad_alloc();
  }
  ~DeflatedEntryStream() override { inflateEnd(&z_); }
  DeflatedEntryStream(const DeflatedEntryStream&) = delete;
  DeflatedEntryStream& operator=(const DeflatedEntryStream&) = delete;

  std::size_t Read(std::span<std::byte> out) override {
    if (ended_ || out.empty()) return 0;
    const std::size_t limit = std::min<std::size_t>(out.size(), std::numeric_limits<uInt>::max());
    z_.next_out = reinterpret_cast<Bytef*>(out.data());
    z_.avail_out = static_cast<uInt>(limit);
    while (z_.avail_out > 0) {
      if (z_.avail_in == 0 && in_remaining_ > 0) Refill();
      const int status = inflate(&z_, Z_NO_FLUSH);
      if (status == Z_STREAM_END) {
        ended_ = true;
        break;
      }
      if (status == Z_BUF_ERROR && z_.avail_in == 0 && in_remaining_ == 0) {
        RaiseFailure(FailureKind::kZipDataIncomplete);
      }
      if (status == Z_MEM_ERROR) throw std::bad_alloc();
      if (status != Z_OK && status != Z_BUF_ERROR) RaiseFailure(FailureKind::kZipDataCorrupt);
    }
    const std::size_t produced = limit - z_.avail_out;
    produced_ += produced;
    if (produced_ > declared_size_) RaiseFailure(FailureKind::kZipSizeMismatch);
    archive_.ChargeInflated(produced);
    crc_ = crc32_z(crc_, reinterpret_cast<const Bytef*>(out.data()), produced);
    if (ended_ && (produced_ != declared_size_ || crc_ != expected_crc_)) {
      RaiseFailure(produced_ != declared_size_ ? FailureKind::kZipSizeMismatch
                                               : FailureKind::kZipChecksumMismatch);
    }
    return produced;
  }

 private:
  void Refill() {
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(input_size_, in_remaining_));
    file_.Read(in_position_, std::span(input_.get(), n));
    in_position_ += n;
    in_remaining_ -= n;
    z_.next_in = reinterpret_cast<Bytef*>(input_.get());
    z_.avail_in = static_cast<uInt>(n);
  }

  RandomAccessStream& file_;
  ZipArchive& archive_;
  std::uint64_t in_position_;
  std::uint64_t in_remaining_;
  std::uint64_t declared_size_;
  std::uint32_t expected_crc_;
  std::unique_ptr<std::byte[]> input_;
  std::size_t input_size_ = 0;
  z_stream z_{};
  std::uint64_t produced_ = 0;
  uLong crc_ = 0;
  bool ended_ = false;
};

}  // namespace

ZipArchive::ZipArchive(const FileSource& file)
    : owned_source_(std::make_unique<WholeFileStream>(file)), file_(*owned_source_) {
  LocateCentralDirectory();
  IndexCentralDirectory();
}

ZipArchive::ZipArchive(RandomAccessStream& source) : file_(source) {
  LocateCentralDirectory();
  IndexCentralDirectory();
}

ZipArchive::~ZipArchive() = default;

namespace {

// The archive's last bytes, where the end records are: viewed in place when the source
// holds them in memory, copied otherwise.
class ArchiveTail {
 public:
  explicit ArchiveTail(RandomAccessStream& file) {
    const std::size_t length = static_cast<std::size_t>(
        std::min<std::uint64_t>(file.Size(), kEndSize + kMaxComment + kZip64LocatorSize));
    start_ = file.Size() - length;
    bytes_ = file.View(start_, length);
    if (bytes_.empty()) {
      copy_.resize(length);
      file.Read(start_, copy_);
      bytes_ = copy_;
    }
  }
  ArchiveTail(const ArchiveTail&) = delete;
  ArchiveTail& operator=(const ArchiveTail&) = delete;

  std::span<const std::byte> Bytes() const noexcept { return bytes_; }
  std::uint64_t Start() const noexcept { return start_; }

 private:
  std::vector<std::byte> copy_;
  std::span<const std::byte> bytes_;
  std::uint64_t start_ = 0;
};

// The central directory as the end records describe it.
struct DirectoryPlace {
  std::uint64_t entries = 0;
  std::uint64_t size = 0;
  std::uint64_t offset = 0;         // as recorded, before any prepended data is allowed for
  std::uint64_t records_start = 0;  // where the directory must end: the first end record
};

// The end record is the last signature whose comment length fits the file.
std::size_t FindEndRecord(std::span<const std::byte> tail) {
  for (std::size_t i = tail.size() - kEndSize + 1; i-- > 0;) {
    if (U32(tail.data() + i) == kEndSig &&
        i + kEndSize + U16(tail.data() + i + 20) <= tail.size()) {
      return i;
    }
  }
  RaiseFailure(FailureKind::kZipDirectoryNotFound);
}

// A zip64 archive: the directory is described by the zip64 end record the locator points
// to. That record normally sits right before the locator; its recorded offset is
// relative to the archive start, which prepended data may have moved.
DirectoryPlace ReadZip64Place(RandomAccessStream& file, const std::byte* locator,
                              std::uint64_t locator_offset) {
  std::uint64_t record_offset = U64(locator + 8);
  std::array<std::byte, kZip64EndSize> record{};
  auto record_at = [&](std::uint64_t at) {
    if (at > locator_offset || locator_offset - at < kZip64EndSize) return false;
    file.Read(at, record);
    return U32(record.data()) == kZip64EndSig;
  };
  if (!record_at(record_offset)) {
    if (locator_offset < kZip64EndSize || !record_at(locator_offset - kZip64EndSize)) {
      RaiseFailure(FailureKind::kZip64EndDamaged);
    }
    record_offset = locator_offset - kZip64EndSize;
  }
  if (U32(record.data() + 16) != 0 || U32(record.data() + 20) != 0) {
    RaiseFailure(FailureKind::kZipMultiVolume);
  }
  return {U64(record.data() + 32), U64(record.data() + 40), U64(record.data() + 48), record_offset};
}

DirectoryPlace ReadDirectoryPlace(RandomAccessStream& file, const ArchiveTail& tail) {
  const std::span<const std::byte> bytes = tail.Bytes();
  const std::size_t end_pos = FindEndRecord(bytes);
  const std::byte* end = bytes.data() + end_pos;
  const std::uint64_t end_offset = tail.Start() + end_pos;
  if (end_offset >= kZip64LocatorSize && end_pos >= kZip64LocatorSize &&
      U32(end - kZip64LocatorSize) == kZip64LocatorSig) {
    return ReadZip64Place(file, end - kZip64LocatorSize, end_offset - kZip64LocatorSize);
  }
  const std::uint16_t disk = U16(end + 4);
  const std::uint16_t directory_disk = U16(end + 6);
  if (disk != 0 || directory_disk != 0) RaiseFailure(FailureKind::kZipMultiVolume);
  return {U16(end + 10), U32(end + 12), U32(end + 16), end_offset};
}

// Bytes prepended to the archive (self-extractors). Usually the directory ends where the
// end records begin; data prepended to the archive shifts every recorded offset by the
// same amount.
std::uint64_t FindPrependedBytes(RandomAccessStream& file, const DirectoryPlace& place) {
  auto directory_at = [&](std::uint64_t at) {
    if (at > place.records_start || place.records_start - at < place.size) return false;
    if (place.size == 0) return true;
    std::array<std::byte, 4> sig{};
    if (place.size < sig.size()) return false;
    file.Read(at, sig);
    return U32(sig.data()) == kCentralHeaderSig;
  };
  if (directory_at(place.offset)) return 0;
  const std::uint64_t shifted = place.records_start - place.size;
  if (shifted > place.offset && directory_at(shifted)) return shifted - place.offset;
  RaiseBadDirectory();
}

}  // namespace

void ZipArchive::LocateCentralDirectory() {
  if (file_.Size() < kEndSize) RaiseFailure(FailureKind::kZipDirectoryNotFound);
  const ArchiveTail tail(file_);
  const DirectoryPlace place = ReadDirectoryPlace(file_, tail);
  if (place.entries > ZipLimits::kMaxEntries) RaiseFailure(FailureKind::kZipTooManyEntries);
  if (place.size > place.records_start) RaiseBadDirectory();
  cd_entries_ = place.entries;
  cd_size_ = place.size;
  cd_offset_ = place.offset;
  base_ = FindPrependedBytes(file_, place);
}

void ZipArchive::IndexCentralDirectory() {
  WindowReader reader(file_, 256 * 1024);
  const std::uint64_t begin = base_ + cd_offset_;
  const std::uint64_t end = begin + cd_size_;
  // A recorded count may have wrapped: an archive that claims few entries moves to the
  // index as soon as it shows more.
  small_ = cd_entries_ <= kSmallArchive;
  if (small_) {
    entries_.reserve(static_cast<std::size_t>(cd_entries_));
  } else {
    index_.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(cd_entries_, 4096)));
  }
  std::uint64_t offset = begin;
  std::size_t count = 0;
  while (offset < end) {
    if (count >= ZipLimits::kMaxEntries) RaiseFailure(FailureKind::kZipTooManyEntries);
    std::uint64_t next = 0;
    ZipEntry entry = ParseCentralHeader(reader, offset, end, &next);
    if (entry.local_header_offset > cd_offset_) RaiseBadDirectory();
    ++count;
    if (small_ && count > kSmallArchive) BuildIndex();
    if (small_) {
      entries_.push_back({std::move(entry), offset});
    } else {
      index_.push_back({FingerprintPartName(entry.name), offset});
    }
    offset = next;
  }
  // Writers without zip64 records let the 16-bit count wrap; compare what fits.
  if ((count & 0xFFFF) != (cd_entries_ & 0xFFFF)) RaiseBadDirectory();
  if (small_) return;
  // One entry per name, the first in directory order (the lowest header offset): a run
  // of repeated names costs its sorting once, never a look-up.
  std::sort(index_.begin(), index_.end(), [](const IndexEntry& a, const IndexEntry& b) {
    return a.name != b.name ? a.name < b.name : a.header_offset < b.header_offset;
  });
  index_.erase(std::unique(index_.begin(), index_.end(),
                           [](const IndexEntry& a, const IndexEntry& b) { return a.name == b.name; }),
               index_.end());
}

// The archive outgrew the small kind: the entries kept so far join the index.
void ZipArchive::BuildIndex() {
  small_ = false;
  for (const SmallEntry& kept : entries_) {
    index_.push_back({FingerprintPartName(kept.entry.name), kept.header_offset});
  }
  entries_ = {};
}

const ZipArchive::IndexEntry* ZipArchive::Lookup(std::string_view name) const noexcept {
  const PartNameFingerprint wanted = FingerprintPartName(name);
  const auto it = std::lower_bound(
      index_.begin(), index_.end(), wanted,
      [](const IndexEntry& item, const PartNameFingerprint& key) { return item.name < key; });
  return it != index_.end() && it->name == wanted ? &*it : nullptr;
}

const ZipEntry* ZipArchive::LookupSmall(std::string_view name) const noexcept {
  for (const SmallEntry& kept : entries_) {
    if (PartNamesEqual(kept.entry.name, name)) return &kept.entry;
  }
  return nullptr;
}

std::size_t ZipArchive::EntryCount() const noexcept {
  if (!small_) return index_.size();
  std::size_t distinct = 0;
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    const bool repeated = std::any_of(entries_.begin(), it, [&](const SmallEntry& earlier) {
      return PartNamesEqual(earlier.entry.name, it->entry.name);
    });
    if (!repeated) ++distinct;
  }
  return distinct;
}

ZipEntry ZipArchive::ReadCentralHeader(std::uint64_t offset) const {
  WindowReader reader(file_, 1024);
  std::uint64_t next = 0;
  return ParseCentralHeader(reader, offset, base_ + cd_offset_ + cd_size_, &next);
}

std::optional<ZipEntry> ZipArchive::Find(std::string_view name) const {
  if (small_) {
    const ZipEntry* entry = LookupSmall(name);
    if (entry == nullptr) return std::nullopt;
    return *entry;
  }
  const IndexEntry* found = Lookup(name);
  if (found == nullptr) return std::nullopt;
  ++headers_reread_;
  ZipEntry entry = ReadCentralHeader(found->header_offset);
  // Equal fingerprints of different names are beyond reach without the key; never guess.
  if (!PartNamesEqual(entry.name, name)) return std::nullopt;
  return entry;
}

bool ZipArchive::Contains(std::string_view name) const {
  return small_ ? LookupSmall(name) != nullptr : Lookup(name) != nullptr;
}

void ZipArchive::ChargeInflated(std::uint64_t bytes) {
  inflated_total_ += bytes;
  if (inflated_total_ > ZipLimits::kMaxInflatedTotal)
    RaiseFailure(FailureKind::kZipInflatedTotalExceeded);
}

std::unique_ptr<ByteStream> ZipArchive::Open(const ZipEntry& entry) {
  if ((entry.flags & (kFlagEncrypted | kFlagStrongEncryption | kFlagMaskedDirectory)) != 0 ||
      entry.method == kMethodAes) {
    RaiseFailure(FailureKind::kEncrypted);
  }
  if (entry.method != kMethodStored && entry.method != kMethodDeflated) {
    RaiseFailure(FailureKind::kZipUnsupportedMethod);
  }
  const std::uint64_t usize = entry.uncompressed_size;
  if (usize > ZipLimits::kMaxInflatedTotal ||
      (usize > ZipLimits::kRatioAllowance &&
       usize / ZipLimits::kMaxRatio > entry.compressed_size)) {
    RaiseFailure(FailureKind::kZipEntryInflatedTooLarge);
  }
  if (entry.method == kMethodStored && entry.compressed_size != usize) {
    RaiseFailure(FailureKind::kZipEntrySizesInconsistent);
  }

  std::array<std::byte, kLocalHeaderSize> local{};
  const std::uint64_t local_offset = base_ + entry.local_header_offset;
  const std::uint64_t directory = base_ + cd_offset_;
  if (local_offset > directory || directory - local_offset < kLocalHeaderSize) {
    RaiseFailure(FailureKind::kZipEntryOffsetInvalid);
  }
  file_.Read(local_offset, local);
  if (U32(local.data()) != kLocalHeaderSig) RaiseFailure(FailureKind::kZipLocalHeaderDamaged);
  const std::uint64_t data_offset =
      local_offset + kLocalHeaderSize + U16(local.data() + 26) + U16(local.data() + 28);
  if (data_offset > directory || directory - data_offset < entry.compressed_size) {
    RaiseFailure(FailureKind::kZipEntryBeyondFile);
  }
  if (entry.method == kMethodStored) {
    return std::make_unique<StoredEntryStream>(file_, *this, data_offset, entry);
  }
  return std::make_unique<DeflatedEntryStream>(file_, *this, data_offset, entry);
}

std::string ZipArchive::ReadWhole(const ZipEntry& entry, std::size_t max_bytes) {
  if (entry.uncompressed_size > max_bytes) RaiseFailure(FailureKind::kZipEntryTooLong);
  std::string text(static_cast<std::size_t>(entry.uncompressed_size), '\0');
  const std::unique_ptr<ByteStream> stream = Open(entry);
  std::size_t done = 0;
  while (done < text.size()) {
    const std::size_t n = stream->Read(std::as_writable_bytes(std::span(text)).subspan(done));
    if (n == 0) break;
    done += n;
  }
  std::byte probe{};
  if (done != text.size() || stream->Read(std::span(&probe, 1)) != 0) {
    RaiseFailure(FailureKind::kZipSizeMismatch);
  }
  return text;
}

}  // namespace vexmar::workbook
