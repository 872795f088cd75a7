#pragma once
// Random-access reading of an untrusted file, without loading it whole.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace vexmar::workbook {

class FileSource {
 public:
  // Opens for reading only; a file that cannot be opened is an Error naming it. Only
  // regular files are opened, never one on a kernel's pseudo file system (proc, sysfs,
  // debugfs...: an Error), and an empty file is not opened at all (Size() 0, nothing
  // to read). Reads never go beyond the size the file had when it was opened.
  explicit FileSource(const std::filesystem::path& file);
  ~FileSource();
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  std::uint64_t Size() const noexcept { return size_; }
  const std::filesystem::path& Path() const noexcept { return path_; }
  // Reads exactly out.size() bytes at `offset`; reading past the end is the damaged-file
  // error.
  void ReadAt(std::uint64_t offset, std::span<std::byte> out) const;
  // Reads up to out.size() bytes; returns how many were read.
  std::size_t ReadSome(std::uint64_t offset, std::span<std::byte> out) const;

 private:
  std::filesystem::path path_;
  // The open file: a descriptor on POSIX systems, a HANDLE on Windows.
  std::intptr_t handle_ = -1;
  std::uint64_t size_ = 0;
};

// A path as text for messages and sheet names, without going through a narrow code
// page: bytes that are not UTF-8 (POSIX) stay as escapes, Windows names as they are.
std::u16string PathText(const std::filesystem::path& path);

}  // namespace vexmar::workbook
