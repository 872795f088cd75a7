#pragma once
// A random-access sequence of bytes: a stream inside a compound file or a range of the
// file itself. Reads past the end are the damaged-file error.
#include <cstddef>
#include <cstdint>
#include <span>

#include "vexmar/workbook/file_source.hpp"

namespace vexmar::workbook {

class RandomAccessStream {
 public:
  virtual ~RandomAccessStream() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads exactly out.size() bytes at `offset`.
  virtual void Read(std::uint64_t offset, std::span<std::byte> out) = 0;
  // Like Read, but stops early, without an error, where the stream's bytes are missing
  // from a file that ends short of them; returns how many bytes were read. For reading
  // ahead: what is read beyond the bytes needed may be missing.
  virtual std::size_t ReadAvailable(std::uint64_t offset, std::span<std::byte> out) {
    Read(offset, out);
    return out.size();
  }
  // The bytes [offset, offset + n) in place when the stream holds them in memory (valid
  // while the stream lives), else an empty span: the caller then reads them.
  virtual std::span<const std::byte> View(std::uint64_t /*offset*/, std::size_t /*n*/) {
    return {};
  }
};

// The whole file as one stream (BIFF2..BIFF4 files are a bare record stream).
class WholeFileStream final : public RandomAccessStream {
 public:
  explicit WholeFileStream(const FileSource& source) : source_(source) {}
  std::uint64_t Size() const override { return source_.Size(); }
  void Read(std::uint64_t offset, std::span<std::byte> out) override {
    source_.ReadAt(offset, out);
  }
  std::span<const std::byte> View(std::uint64_t offset, std::size_t n) override {
    return source_.View(offset, n);
  }

 private:
  const FileSource& source_;
};

}  // namespace vexmar::workbook
