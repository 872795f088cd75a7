#pragma once
// Gives a fuzzer's input a file name without touching the disk: an in-memory file
// (memfd) reached through /proc/self/fd.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace vexmar::fuzz {

class MemoryFile {
 public:
  MemoryFile() : fd_(memfd_create("vexmar-fuzz", MFD_CLOEXEC)) {
    if (fd_ < 0) std::abort();
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~MemoryFile() { close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  // Replaces the content; returns the path that names it.
  const std::filesystem::path& Hold(const std::uint8_t* data, std::size_t size) {
    if (ftruncate(fd_, 0) != 0) std::abort();
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) std::abort();
      done += static_cast<std::size_t>(n);
    }
    return path_;
  }

 private:
  int fd_;
  std::filesystem::path path_;
};

}  // namespace vexmar::fuzz
