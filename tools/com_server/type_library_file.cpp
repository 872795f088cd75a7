#include "tools/com_server/type_library_file.hpp"

#include <cstring>
#include <stdexcept>

namespace vexmar::com {
namespace {

// Layout of the MSFT format, as far as this needs it (all numbers little-endian).
constexpr std::uint32_t kMagic = 0x5446534D;  // "MSFT"
constexpr std::size_t kHeaderSize = 0x54;
constexpr std::size_t kVarFlagsAt = 0x14;
constexpr std::size_t kTypeInfoCountAt = 0x20;
constexpr std::uint32_t kHasHelpDll = 0x100;  // one more header word
constexpr std::size_t kSegmentCount = 15;
constexpr std::size_t kSegmentEntrySize = 16;
constexpr std::size_t kTypeInfoSegment = 0;
constexpr std::size_t kImportFileSegment = 2;
constexpr std::size_t kGuidSegment = 5;
constexpr std::size_t kNameSegment = 7;
// An import record: GUID-table offset, LCID, version, 16-bit name length << 2, name,
// padded to 4 bytes.
constexpr std::size_t kImportLcidAt = 4;
constexpr std::size_t kImportNameLengthAt = 12;
constexpr std::size_t kImportNameAt = 14;
constexpr std::size_t kTypeInfoSize = 0x64;
constexpr std::size_t kMemOffsetAt = 0x04;
constexpr std::size_t kElementCountAt = 0x18;
constexpr std::size_t kArgCountAt = 0x14;   // in a function record
constexpr std::size_t kParameterSize = 12;  // type, name offset, flags
constexpr std::size_t kNameLengthAt = 8;    // in a name entry, before the characters
constexpr std::size_t kNameCharsAt = 12;

class Reader {
 public:
  explicit Reader(std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  std::int32_t Int(std::size_t at) const {
    Need(at, 4);
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | bytes_[at + static_cast<std::size_t>(i)];
    return static_cast<std::int32_t>(v);
  }
  std::uint16_t Short(std::size_t at) const {
    Need(at, 2);
    return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
  }
  void SetInt(std::size_t at, std::int32_t value) {
    Need(at, 4);
    auto v = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i) bytes_[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  std::string_view Text(std::size_t at, std::size_t length) const {
    Need(at, length);
    return {reinterpret_cast<const char*>(bytes_.data() + at), length};
  }
  // An offset read from the file, checked to be one.
  static std::size_t Offset(std::int32_t value) {
    if (value < 0) throw std::runtime_error("type library: negative offset");
    return static_cast<std::size_t>(value);
  }

 private:
  void Need(std::size_t at, std::size_t length) const {
    if (at > bytes_.size() || length > bytes_.size() - at) {
      throw std::runtime_error("type library: offset beyond the end of the file");
    }
  }
  std::vector<std::uint8_t>& bytes_;
};

// Where the segment directory starts.
std::size_t SegmentDirectory(const Reader& file) {
  if (static_cast<std::uint32_t>(file.Int(0)) != kMagic) {
    throw std::runtime_error("type library: not in the MSFT format");
  }
  const std::size_t type_infos = Reader::Offset(file.Int(kTypeInfoCountAt));
  std::size_t at = kHeaderSize;
  if ((static_cast<std::uint32_t>(file.Int(kVarFlagsAt)) & kHasHelpDll) != 0) at += 4;
  if (type_infos > (std::size_t{1} << 24)) throw std::runtime_error("type library: too many types");
  at += 4 * type_infos;  // the type infos' offsets
  (void)file.Int(at + kSegmentCount * kSegmentEntrySize - 4);  // the directory is there
  return at;
}

Guid GuidAt(const Reader& file, std::size_t at) {
  Guid g;
  g.data1 = static_cast<std::uint32_t>(file.Int(at));
  g.data2 = file.Short(at + 4);
  g.data3 = file.Short(at + 6);
  const std::string_view rest = file.Text(at + 8, 8);
  for (std::size_t i = 0; i < 8; ++i) g.data4[i] = static_cast<std::uint8_t>(rest[i]);
  return g;
}

}  // namespace

std::size_t SetImportLcid(std::vector<std::uint8_t>& library, const Guid& libid,
                          std::uint32_t lcid) {
  Reader file(library);
  const std::size_t segments = SegmentDirectory(file);
  const std::int32_t imports_offset =
      file.Int(segments + kImportFileSegment * kSegmentEntrySize);
  if (imports_offset == -1) return 0;  // the library imports nothing
  const std::size_t imports_at = Reader::Offset(imports_offset);
  const std::size_t imports_size =
      Reader::Offset(file.Int(segments + kImportFileSegment * kSegmentEntrySize + 4));
  const std::size_t guids_at =
      Reader::Offset(file.Int(segments + kGuidSegment * kSegmentEntrySize));
  (void)file.Text(imports_at, imports_size);  // the segment is there
  std::size_t changed = 0;
  for (std::size_t at = imports_at; at < imports_at + imports_size;) {
    const std::size_t guid = Reader::Offset(file.Int(at));
    if (GuidAt(file, guids_at + guid) == libid) {
      file.SetInt(at + kImportLcidAt, static_cast<std::int32_t>(lcid));
      ++changed;
    }
    const std::size_t name_length = file.Short(at + kImportNameLengthAt) >> 2;
    at += (kImportNameAt + name_length + 3) & ~std::size_t{3};
  }
  return changed;
}

std::size_t ClearParameterNames(std::vector<std::uint8_t>& library, std::string_view placeholder) {
  Reader file(library);
  const std::size_t segments = SegmentDirectory(file);
  const std::size_t type_infos = Reader::Offset(file.Int(kTypeInfoCountAt));
  const std::size_t infos_at =
      Reader::Offset(file.Int(segments + kTypeInfoSegment * kSegmentEntrySize));
  const std::size_t names_at =
      Reader::Offset(file.Int(segments + kNameSegment * kSegmentEntrySize));

  std::size_t cleared = 0;
  for (std::size_t t = 0; t < type_infos; ++t) {
    const std::size_t info = infos_at + t * kTypeInfoSize;
    const std::size_t functions =
        static_cast<std::uint32_t>(file.Int(info + kElementCountAt)) & 0xFFFFu;
    if (functions == 0) continue;
    std::size_t record = Reader::Offset(file.Int(info + kMemOffsetAt)) + 4;  // after the block size
    for (std::size_t f = 0; f < functions; ++f) {
      const std::size_t length = static_cast<std::uint32_t>(file.Int(record)) & 0xFFFFu;
      const std::size_t args = file.Short(record + kArgCountAt);
      if (length < kArgCountAt + 4 + args * kParameterSize) {
        throw std::runtime_error("type library: function record too short");
      }
      const std::size_t params = record + length - args * kParameterSize;
      for (std::size_t p = 0; p < args; ++p) {
        const std::size_t name_field = params + p * kParameterSize + 4;
        const std::int32_t name = file.Int(name_field);
        if (name < 0) continue;
        const std::size_t entry = names_at + static_cast<std::size_t>(name);
        const std::size_t name_length =
            static_cast<std::uint32_t>(file.Int(entry + kNameLengthAt)) & 0xFFu;
        if (file.Text(entry + kNameCharsAt, name_length) == placeholder) {
          file.SetInt(name_field, -1);
          ++cleared;
        }
      }
      record += length;
    }
  }
  return cleared;
}

}  // namespace vexmar::com
