#pragma once
// Random-access reading of an untrusted file: a small one is read whole as it is opened,
// a larger one piece by piece as it is asked for, never loaded whole.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
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

  // A file up to this size is read whole, with one call, as it is opened, and then
  // served from memory: listing a small file costs a few system calls however many
  // structures it is read by, and a system call costs as much as copying tens of KB.
  // Most hand-ins are smaller. The buffer stays below the allocator's mapping threshold
  // (128 KiB): a larger block freed after every listing makes glibc raise it and then
  // return and fault in heap pages at every listing that follows.
  static constexpr std::uint64_t kReadWholeBytes = 64 * 1024;
  // The bytes [offset, offset + n) in place when the file is held in memory (valid while
  // this object lives), else an empty span. Lets readers skip copying.
  std::span<const std::byte> View(std::uint64_t offset, std::size_t n) const noexcept;

 private:
  // Reads from the open file (after the size checks of ReadSome).
  std::size_t ReadFromFile(std::uint64_t offset, std::span<std::byte> out) const;
  void LoadIfSmall();

  std::filesystem::path path_;
  // The open file: a descriptor on POSIX systems, a HANDLE on Windows.
  std::intptr_t handle_ = -1;
  std::uint64_t size_ = 0;
  // The whole file when it is small; whole_size_ short of size_ if it shrank meanwhile.
  std::unique_ptr<std::byte[]> whole_;
  std::size_t whole_size_ = 0;
};

// A path as text for messages and sheet names, without going through a narrow code
// page: bytes that are not UTF-8 (POSIX) stay as escapes, Windows names as they are.
std::u16string PathText(const std::filesystem::path& path);

}  // namespace vexmar::workbook
