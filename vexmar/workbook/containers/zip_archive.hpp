#pragma once
// Reads a zip container through its central directory, touching only the entries
// asked for. Every size, count and offset taken from the file is checked; entries are
// inflated as a stream, never held whole.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vexmar/workbook/byte_stream.hpp"
#include "vexmar/workbook/containers/zip_name.hpp"
#include "vexmar/workbook/file_source.hpp"
#include "vexmar/workbook/random_access_stream.hpp"

namespace vexmar::workbook {

struct ZipLimits {
  // Entries in the central directory.
  static constexpr std::uint64_t kMaxEntries = 250'000;
  // Bytes inflated from all entries of one archive together.
  static constexpr std::uint64_t kMaxInflatedTotal = std::uint64_t{1} << 30;
  // An entry may expand beyond this only up to kMaxRatio times its compressed size.
  static constexpr std::uint64_t kRatioAllowance = std::uint64_t{4} << 20;
  static constexpr std::uint64_t kMaxRatio = 500;
};

struct ZipEntry {
  std::string name;  // UTF-8 (names flagged as CP437 are converted)
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t crc32 = 0;
  std::uint64_t compressed_size = 0;
  std::uint64_t uncompressed_size = 0;
  std::uint64_t local_header_offset = 0;  // relative to the start of the archive
};

class ZipArchive {
 public:
  // Reads the end-of-central-directory records and indexes the central directory.
  // A file that is not a well-formed zip raises the damaged-workbook error.
  explicit ZipArchive(const FileSource& file);
  // The same over any random-access source (a package decrypted on the fly).
  explicit ZipArchive(RandomAccessStream& source);
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  // Distinct part names in the central directory.
  std::size_t EntryCount() const noexcept;

  // The entry with this part name; names compare ASCII-case-insensitively, "\" equals
  // "/" and a leading "/" is ignored, as package part names do. Of several entries with
  // one name the first in the central directory is the one. A binary search over the
  // index and one central header read, however many names the archive repeats; a small
  // archive keeps its few entries as read and compares names one by one.
  std::optional<ZipEntry> Find(std::string_view name) const;
  // Whether an entry of that name exists, without reading its header again.
  bool Contains(std::string_view name) const;
  // Central headers read again by Find so far (for tests and benchmarks); a small
  // archive reads none.
  std::uint64_t HeadersReread() const noexcept { return headers_reread_; }

  // The entry's bytes, inflated on the fly. Encrypted entries raise the encrypted error;
  // unknown methods, sizes beyond the limits and corrupt data raise the damaged error.
  std::unique_ptr<ByteStream> Open(const ZipEntry& entry);
  // A small entry read whole; one longer than max_bytes is damaged.
  std::string ReadWhole(const ZipEntry& entry, std::size_t max_bytes);

  // Shared by the entry streams: counts inflated bytes against the archive's budget.
  void ChargeInflated(std::uint64_t bytes);

 private:
  struct IndexEntry {
    PartNameFingerprint name;
    std::uint64_t header_offset;  // absolute file offset of the central header
  };
  void LocateCentralDirectory();
  void IndexCentralDirectory();
  ZipEntry ReadCentralHeader(std::uint64_t offset) const;
  void BuildIndex();
  const IndexEntry* Lookup(std::string_view name) const noexcept;
  const ZipEntry* LookupSmall(std::string_view name) const noexcept;

  std::unique_ptr<RandomAccessStream> owned_source_;
  RandomAccessStream& file_;
  std::uint64_t base_ = 0;  // bytes prepended to the archive (self-extractors)
  std::uint64_t cd_offset_ = 0;
  std::uint64_t cd_size_ = 0;
  std::uint64_t cd_entries_ = 0;
  std::uint64_t inflated_total_ = 0;
  // Up to kSmallArchive entries, as read in directory order, while small_ is set; the
  // index otherwise (a bigger archive's names cost one fingerprint each, a look-up stays
  // logarithmic however many entries share a name).
  static constexpr std::size_t kSmallArchive = 32;
  struct SmallEntry {
    ZipEntry entry;
    std::uint64_t header_offset;
  };
  bool small_ = true;
  std::vector<SmallEntry> entries_;
  std::vector<IndexEntry> index_;  // sorted by fingerprint, one entry per distinct name
  mutable std::uint64_t headers_reread_ = 0;
};

}  // namespace vexmar::workbook
