#pragma once
// Hands fuzz input to the readers as a file without touching the disk: an anonymous
// memory file reached through /proc/self/fd.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace vexmar::fuzzing {

class MemoryFile {
 public:
  MemoryFile() : fd_(::memfd_create("vexmar-fuzz", MFD_CLOEXEC)) {
    if (fd_ < 0) std::abort();
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~MemoryFile() { ::close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  const std::string& Fill(const void* data, std::size_t size) {
    if (::ftruncate(fd_, 0) != 0) std::abort();
    const auto* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pwrite(fd_, bytes + done, size - done, static_cast<off_t>(done));
      if (n <= 0) std::abort();
      done += static_cast<std::size_t>(n);
    }
    return path_;
  }

 private:
  int fd_;
  std::string path_;
};

}  // namespace vexmar::fuzzing
