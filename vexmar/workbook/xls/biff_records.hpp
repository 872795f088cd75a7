#pragma once
// Walks the records of a BIFF stream (2-byte type, 2-byte length, body) with a small
// read-ahead buffer. A record that runs past the end of the stream is the damaged-file
// error.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "vexmar/workbook/random_access_stream.hpp"
#include "vexmar/workbook/xls/biff_record_types.hpp"

namespace vexmar::workbook {

class BiffBodyDecryptor;

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
