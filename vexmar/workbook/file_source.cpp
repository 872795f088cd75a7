#include "vexmar/workbook/file_source.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"

namespace vexmar::workbook {

FileSource::FileSource(const std::filesystem::path& file) : path_(file) {
  fd_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int err = errno;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    const std::u16string name = Utf8ToUtf16Escaped(file.string());
    if (err == EACCES || err == EPERM) {
      throw Error(ErrorNumber::kPermissionDenied, u"没有权限读取文件：" + name);
    }
    throw Error(ErrorNumber::kPathFileAccessError, u"无法读取文件：" + name);
  }
  size_ = static_cast<std::uint64_t>(st.st_size);
}

FileSource::~FileSource() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t FileSource::ReadSome(std::uint64_t offset, std::span<std::byte> out) const {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done,
                              static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw Error(ErrorNumber::kPathFileAccessError,
                  u"读取文件时出错：" + Utf8ToUtf16Escaped(path_.string()));
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void FileSource::ReadAt(std::uint64_t offset, std::span<std::byte> out) const {
  if (offset > size_ || out.size() > size_ - offset || ReadSome(offset, out) != out.size()) {
    RaiseDamaged(u"文件被截断");
  }
}

void RaiseDamaged(const std::u16string& detail) {
  throw Error(ErrorNumber::kApplicationDefined, u"工作簿文件已损坏，无法读取（" + detail + u"）。");
}

void RaiseEncrypted() {
  throw Error(ErrorNumber::kApplicationDefined, u"工作簿已加密或受密码保护，无法读取。");
}

}  // namespace vexmar::workbook
