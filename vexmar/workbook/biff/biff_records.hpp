#pragma once
// Walks the records of a BIFF stream (2-byte type, 2-byte length, body) with a small
// read-ahead buffer. A record that runs past the end of the stream is the damaged-file
// error.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "vexmar/workbook/decryption/biff_decryptor.hpp"
#include "vexmar/workbook/random_access_stream.hpp"

namespace vexmar::workbook {

namespace biff {
inline constexpr std::uint16_t kEof = 0x000A;
inline constexpr std::uint16_t kFilePass = 0x002F;
inline constexpr std::uint16_t kContinue = 0x003C;
inline constexpr std::uint16_t kCodePage = 0x0042;
inline constexpr std::uint16_t kWsBool = 0x0081;
inline constexpr std::uint16_t kBoundSheet = 0x0085;
inline constexpr std::uint16_t kBundleHeader = 0x008F;
inline constexpr std::uint16_t kMsoDrawingGroup = 0x00EB;
inline constexpr std::uint16_t kSst = 0x00FC;
inline constexpr std::uint16_t kExtSst = 0x00FF;
inline constexpr std::uint16_t kBof2 = 0x0009;
inline constexpr std::uint16_t kBof3 = 0x0209;
inline constexpr std::uint16_t kBof4 = 0x0409;
inline constexpr std::uint16_t kBof = 0x0809;  // BIFF5 and BIFF8
inline constexpr std::uint16_t kDimensions = 0x0200;

// Field offsets in a record's body: the BOF record's version and substream type; the
// BOUNDSHEET record's substream position, sheet kind, name length and (BIFF8) option byte.
inline constexpr std::size_t kBofVersion = 0;
inline constexpr std::size_t kBofSubstream = 2;
inline constexpr std::size_t kBoundSheetPosition = 0;
inline constexpr std::size_t kBoundSheetKind = 5;
inline constexpr std::size_t kBoundSheetNameLength = 6;
inline constexpr std::size_t kBoundSheetNameOptions = 7;

// BOF record: version (BIFF5/BIFF8) and substream type.
inline constexpr std::uint16_t kBiff5Version = 0x0500;
inline constexpr std::uint16_t kBiff8Version = 0x0600;
inline constexpr std::uint16_t kGlobalsSubstream = 0x0005;
inline constexpr std::uint16_t kWorksheetSubstream = 0x0010;
inline constexpr std::uint16_t kChartSubstream = 0x0020;
inline constexpr std::uint16_t kMacroSubstream = 0x0040;
inline constexpr std::uint16_t kWorkspaceSubstream = 0x0100;

// BOUNDSHEET sheet kinds (byte 5) and the dialog flag of WSBOOL (its first byte).
inline constexpr std::uint8_t kWorksheetKind = 0;
inline constexpr std::uint8_t kDialogFlag = 0x10;
// Option byte of a BIFF8 string: set when its characters are UTF-16LE, clear for
// one byte a character.
inline constexpr std::uint8_t kWideCharsFlag = 0x01;
}  // namespace biff

class BiffRecordReader {
 public:
  explicit BiffRecordReader(RandomAccessStream& stream) : stream_(stream) {}

  // Moves to the next record; false at the end of the stream. A record that runs past
  // the end is the damaged-file error, or with `lenient` simply ends the walk.
  bool Next(bool lenient = false);
  std::uint16_t Type() const noexcept { return type_; }
  std::uint16_t Length() const noexcept { return length_; }
  // Where the current record's header starts.
  std::uint64_t Offset() const noexcept { return offset_; }
  // The current record's body, read on first use; valid until the next call of Next
  // or Seek.
  std::span<const std::byte> Body();
  // Continues with the record whose header starts at `offset`.
  void Seek(std::uint64_t offset);
  // From now on record bodies pass through `decryptor` (after a FILEPASS record).
  void SetDecryptor(BiffBodyDecryptor* decryptor) noexcept { decryptor_ = decryptor; }

 private:
  void ReadBuffered(std::uint64_t offset, std::span<std::byte> out);

  RandomAccessStream& stream_;
  BiffBodyDecryptor* decryptor_ = nullptr;
  std::uint64_t next_ = 0;
  std::uint64_t offset_ = 0;
  std::uint16_t type_ = 0;
  std::uint16_t length_ = 0;
  bool body_loaded_ = false;
  std::vector<std::byte> body_;
  std::span<const std::byte> body_view_;
  std::array<std::byte, 16 * 1024> buffer_;  // read-ahead
  std::size_t buffer_size_ = 0;
  std::uint64_t buffer_offset_ = 0;
};

}  // namespace vexmar::workbook
