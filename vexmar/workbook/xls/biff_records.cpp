#include "vexmar/workbook/xls/biff_records.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/little_endian.hpp"
#include "vexmar/workbook/xls/biff_decryptor.hpp"

namespace vexmar::workbook {

bool BiffRecordReader::Next(bool lenient) {
  const std::uint64_t size = stream_.Size();
  if (next_ >= size) return false;
  if (size - next_ < 4) {
    if (lenient) return false;
    RaiseFailure(FailureKind::kRecordHeaderBeyondStream);
  }
  std::array<std::byte, 4> header{};
  ReadBuffered(next_, header);
  offset_ = next_;
  type_ = LoadU16(header, 0);
  length_ = LoadU16(header, 2);
  if (size - next_ - 4 < length_) {
    if (lenient) return false;
    RaiseFailure(FailureKind::kRecordBeyondStream);
  }
  next_ = offset_ + 4 + length_;
  body_loaded_ = false;
  return true;
}

std::span<const std::byte> BiffRecordReader::Body() {
  if (!body_loaded_) {
    const std::uint64_t at = offset_ + 4;
    if (at >= buffer_offset_ && at - buffer_offset_ <= buffer_size_ &&
        length_ <= buffer_size_ - (at - buffer_offset_)) {
      // Inside the read-ahead buffer: no copy.
      body_view_ = std::span<const std::byte>(buffer_.data(), buffer_size_)
                       .subspan(static_cast<std::size_t>(at - buffer_offset_), length_);
    } else {
      body_.resize(length_);
      ReadBuffered(at, body_);
      body_view_ = body_;
    }
    if (decryptor_ != nullptr) {
      if (body_view_.data() != body_.data()) body_.assign(body_view_.begin(), body_view_.end());
      decryptor_->Decrypt(type_, at, body_);
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
  if (offset >= buffer_offset_ && offset - buffer_offset_ <= buffer_size_ &&
      out.size() <= buffer_size_ - (offset - buffer_offset_)) {
    std::memcpy(out.data(), buffer_.data() + (offset - buffer_offset_), out.size());
    return;
  }
  const std::uint64_t size = stream_.Size();
  const std::size_t fill =
      offset < size
          ? static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), size - offset))
          : 0;
  if (out.size() > fill || out.size() >= buffer_.size()) {
    stream_.Read(offset, out);
    return;
  }
  buffer_size_ = 0;
  // What is read ahead may lie beyond the end of a file cut short; only `out` must be
  // there.
  const std::size_t got = stream_.ReadAvailable(offset, std::span<std::byte>(buffer_.data(), fill));
  buffer_offset_ = offset;
  buffer_size_ = got;
  if (got < out.size()) {
    stream_.Read(offset, out);
    return;
  }
  std::memcpy(out.data(), buffer_.data(), out.size());
}

}  // namespace vexmar::workbook
