// Opening and reading a workbook file on POSIX systems: open and pread, never mapped, so
// a file that shrinks while it is read gives a damaged-file error instead of a fault.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/file_source.hpp"

namespace vexmar::workbook {

std::u16string PathText(const std::filesystem::path& path) {
  return Utf8ToUtf16Escaped(path.string());
}

FileSource::FileSource(const std::filesystem::path& file) : path_(file) {
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int err = errno;
    if (fd >= 0) ::close(fd);
    const std::u16string name = PathText(file);
    if (err == EACCES || err == EPERM) {
      throw Error(ErrorNumber::kPermissionDenied, u"没有权限读取文件：" + name);
    }
    throw Error(ErrorNumber::kPathFileAccessError, u"无法读取文件：" + name);
  }
  handle_ = fd;
  size_ = static_cast<std::uint64_t>(st.st_size);
}

FileSource::~FileSource() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

std::size_t FileSource::ReadSome(std::uint64_t offset, std::span<std::byte> out) const {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::pread(static_cast<int>(handle_), out.data() + done, out.size() - done,
                              static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw Error(ErrorNumber::kPathFileAccessError, u"读取文件时出错：" + PathText(path_));
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

}  // namespace vexmar::workbook
