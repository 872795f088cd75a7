#include "vexmar/workbook/biff_records.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "vexmar/workbook/little_endian.hpp"

namespace vexmar::workbook {
namespace {
constexpr std::size_t kReadAhead = 16 * 1024;
}

bool BiffRecordReader::Next(bool lenient) {
  const std::uint64_t size = stream_.Size();
  if (next_ >= size) return false;
  if (size - next_ < 4) {
    if (lenient) return false;
    RaiseDamaged(u"记录头超出流的末尾");
  }
  std::array<std::byte, 4> header{};
  ReadBuffered(next_, header);
  offset_ = next_;
  type_ = LoadU16(header, 0);
  length_ = LoadU16(header, 2);
  if (size - next_ - 4 < length_) {
    if (lenient) return false;
    RaiseDamaged(u"记录超出流的末尾");
  }
  next_ = offset_ + 4 + length_;
  body_loaded_ = false;
  return true;
}

std::span<const std::byte> BiffRecordReader::Body() {
  if (!body_loaded_) {
    const std::uint64_t at = offset_ + 4;
    if (at >= buffer_offset_ && at - buffer_offset_ <= buffer_.size() &&
        length_ <= buffer_.size() - (at - buffer_offset_)) {
      // Inside the read-ahead buffer: no copy.
      body_view_ = std::span<const std::byte>(buffer_).subspan(
          static_cast<std::size_t>(at - buffer_offset_), length_);
    } else {
      body_.resize(length_);
      ReadBuffered(at, body_);
      body_view_ = body_;
    }
    body_loaded_ = true;
  }
  return body_view_;
}

void BiffRecordReader::Seek(std::uint64_t offset) {
  next_ = offset;
  body_loaded_ = false;
}

void BiffRecordReader::ReadBuffered(std::uint64_t offset, std::span<std::byte> out) {
  if (offset >= buffer_offset_ && offset - buffer_offset_ <= buffer_.size() &&
      out.size() <= buffer_.size() - (offset - buffer_offset_)) {
    std::memcpy(out.data(), buffer_.data() + (offset - buffer_offset_), out.size());
    return;
  }
  if (out.size() >= kReadAhead) {
    stream_.Read(offset, out);
    return;
  }
  const std::uint64_t size = stream_.Size();
  const std::size_t fill =
      static_cast<std::size_t>(std::min<std::uint64_t>(kReadAhead, size - offset));
  buffer_.resize(std::max(fill, out.size()));
  buffer_offset_ = offset;
  stream_.Read(offset, std::span<std::byte>(buffer_).first(buffer_.size()));
  std::memcpy(out.data(), buffer_.data(), out.size());
}

}  // namespace vexmar::workbook
