#include "vexmar/workbook/ooxml/xlsb_records.hpp"

#include <algorithm>
#include <array>
#include <string>

#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/sheet_limits.hpp"

namespace vexmar::workbook {
namespace {

constexpr std::uint32_t kBrtBeginBook = 0x0083;
constexpr std::uint32_t kBrtEndBundleShs = 0x0090;
constexpr std::uint32_t kBrtBundleSh = 0x009C;
// A sheet record holds two short strings; anything longer is not a real one.
constexpr std::uint32_t kMaxBundleShSize = 4 * kMaxSheetNameBytes + 64;

// Byte-wise reading over a stream with a small buffer.
class RecordReader {
 public:
  explicit RecordReader(ByteStream& stream) : stream_(stream) {}

  // Next byte, or -1 at the end of the stream.
  int Next() {
    if (position_ == length_ && !Fill()) return -1;
    return std::to_integer<int>(buffer_[position_++]);
  }
  void ReadExact(std::span<std::byte> out) {
    std::size_t done = 0;
    while (done < out.size()) {
      if (position_ == length_ && !Fill()) RaiseFailure(FailureKind::kBinaryPartTruncated);
      const std::size_t n = std::min(out.size() - done, length_ - position_);
      std::copy_n(buffer_.data() + position_, n, out.data() + done);
      position_ += n;
      done += n;
    }
  }
  void Skip(std::uint64_t count) {
    while (count > 0) {
      if (position_ == length_ && !Fill()) RaiseFailure(FailureKind::kBinaryPartTruncated);
      const std::size_t n =
          static_cast<std::size_t>(std::min<std::uint64_t>(count, length_ - position_));
      position_ += n;
      count -= n;
    }
  }

 private:
  bool Fill() {
    length_ = stream_.Read(buffer_);
    position_ = 0;
    return length_ > 0;
  }
  ByteStream& stream_;
  std::array<std::byte, 64 * 1024> buffer_{};
  std::size_t position_ = 0;
  std::size_t length_ = 0;
};

std::uint32_t U32(const std::byte* p) noexcept {
  return static_cast<std::uint32_t>(
      std::to_integer<unsigned>(p[0]) | (std::to_integer<unsigned>(p[1]) << 8) |
      (std::to_integer<unsigned>(p[2]) << 16) | (std::to_integer<unsigned>(p[3]) << 24));
}

// A record type is one or two bytes and a length one to four bytes, seven bits each,
// low bits first; the high bit says another byte follows.
bool ReadHeader(RecordReader& reader, std::uint32_t* type, std::uint32_t* size) {
  int b = reader.Next();
  if (b < 0) return false;
  *type = static_cast<std::uint32_t>(b & 0x7F);
  if ((b & 0x80) != 0) {
    b = reader.Next();
    if (b < 0 || (b & 0x80) != 0) RaiseFailure(FailureKind::kBinaryRecordHeaderDamaged);
    *type |= static_cast<std::uint32_t>(b) << 7;
  }
  *size = 0;
  for (int shift = 0;; shift += 7) {
    b = reader.Next();
    if (b < 0 || (shift == 21 && (b & 0x80) != 0)) {
      RaiseFailure(FailureKind::kBinaryRecordHeaderDamaged);
    }
    *size |= static_cast<std::uint32_t>(b & 0x7F) << shift;
    if ((b & 0x80) == 0) break;
  }
  return true;
}

// An XLWideString (or XLNullableWideString when `nullable`) at `*pos` of the record.
std::u16string TakeWideString(std::span<const std::byte> record, std::size_t* pos, bool nullable,
                              bool* is_null) {
  if (record.size() - *pos < 4) RaiseFailure(FailureKind::kBinarySheetRecordDamaged);
  const std::uint32_t count = U32(record.data() + *pos);
  *pos += 4;
  *is_null = nullable && count == 0xFFFFFFFF;
  if (*is_null) return {};
  if (count > (record.size() - *pos) / 2) RaiseFailure(FailureKind::kBinarySheetRecordDamaged);
  std::u16string text(count, u'\0');
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::byte* p = record.data() + *pos + 2 * std::size_t{i};
    text[i] = static_cast<char16_t>(std::to_integer<unsigned>(p[0]) |
                                    (std::to_integer<unsigned>(p[1]) << 8));
  }
  *pos += 2 * std::size_t{count};
  return text;
}

}  // namespace

bool LooksLikeXlsbWorkbook(std::span<const std::byte> head) noexcept {
  return head.size() >= 2 &&
         std::to_integer<unsigned>(head[0]) == (0x80 | (kBrtBeginBook & 0x7F)) &&
         std::to_integer<unsigned>(head[1]) == (kBrtBeginBook >> 7);
}

std::vector<PackageSheet> ReadXlsbSheets(ByteStream& stream) {
  RecordReader reader(stream);
  std::vector<PackageSheet> sheets;
  SheetNameTally tally;
  std::vector<std::byte> record;
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  while (ReadHeader(reader, &type, &size)) {
    if (type == kBrtEndBundleShs) return sheets;
    if (type != kBrtBundleSh) {
      reader.Skip(size);
      continue;
    }
    if (size > kMaxBundleShSize) RaiseFailure(FailureKind::kBinarySheetRecordTooLong);
    if (size < 12) RaiseFailure(FailureKind::kBinarySheetRecordDamaged);
    record.resize(size);
    reader.ReadExact(record);
    std::size_t pos = 8;  // hsState, iTabID
    bool null_id = false;
    bool null_name = false;
    const std::u16string id = TakeWideString(record, &pos, true, &null_id);
    PackageSheet sheet;
    sheet.name = TakeWideString(record, &pos, false, &null_name);
    if (null_id) RaiseFailure(FailureKind::kBinarySheetWithoutRelationshipId);
    if (id.size() > kMaxRelationshipIdBytes) RaiseFailure(FailureKind::kRelationshipIdTooLong);
    tally.Add(sheet.name);
    sheet.relationship_id = Utf16ToUtf8(id);
    sheets.push_back(std::move(sheet));
  }
  RaiseFailure(FailureKind::kBinarySheetListUnterminated);
}

}  // namespace vexmar::workbook
