#pragma once
// A sequential source of bytes: a zip entry being inflated, or a plain file.
#include <cstddef>
#include <cstdint>
#include <span>

#include "vexmar/workbook/file_source.hpp"

namespace vexmar::workbook {

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Fills up to out.size() bytes and returns how many; 0 only at the end of the stream.
  // A damaged source raises the damaged-workbook error.
  virtual std::size_t Read(std::span<std::byte> out) = 0;
};

// The bytes of a file from `offset` to its end.
class FileByteStream final : public ByteStream {
 public:
  explicit FileByteStream(const FileSource& file, std::uint64_t offset = 0)
      : file_(file), position_(offset) {}
  std::size_t Read(std::span<std::byte> out) override {
    const std::size_t n = file_.ReadSome(position_, out);
    position_ += n;
    return n;
  }

 private:
  const FileSource& file_;
  std::uint64_t position_;
};

}  // namespace vexmar::workbook
