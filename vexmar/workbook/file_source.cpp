#include "vexmar/workbook/file_source.hpp"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/failure_kind.hpp"

namespace vexmar::workbook {

namespace {

// File systems whose files are the kernel's views and controls, not stored data: reading
// one can have effects (/proc/kmsg consumes the kernel's messages) or never end. Their
// files are never opened. devtmpfs shares tmpfs's number, so it cannot be told apart
// from /tmp; what it holds are device nodes, which are refused as not regular files
// before anything is opened.
bool IsPseudoFileSystem(decltype(statfs::f_type) type) noexcept {
  constexpr unsigned long kConfigFs = 0x62656570;
  constexpr unsigned long kFuseControl = 0x65735543;
  constexpr unsigned long kMessageQueue = 0x19800202;
  switch (static_cast<unsigned long>(type) & 0xFFFFFFFFul) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case SELINUX_MAGIC:
    case SMACK_MAGIC:
    case AAFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case RDTGROUP_SUPER_MAGIC:
    case PSTOREFS_MAGIC:
    case EFIVARFS_MAGIC:
    case BPF_FS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case BINFMTFS_MAGIC:
    case BINDERFS_SUPER_MAGIC:
    case NSFS_MAGIC:
    case USBDEVICE_SUPER_MAGIC:
    case OPENPROM_SUPER_MAGIC:
    case XENFS_SUPER_MAGIC:
    case ANON_INODE_FS_MAGIC:
    case kConfigFs:
    case kFuseControl:
    case kMessageQueue:
      return true;
    default:
      return false;
  }
}

class Descriptor {
 public:
  explicit Descriptor(int fd) noexcept : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const noexcept { return fd_; }
  int Release() noexcept { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

[[noreturn]] void RaiseUnreadable(const std::filesystem::path& file, int err) {
  const std::u16string name = Utf8ToUtf16Escaped(file.string());
  if (err == EACCES || err == EPERM) {
    throw Error(ErrorNumber::kPermissionDenied, u"没有权限读取文件：" + name);
  }
  throw Error(ErrorNumber::kPathFileAccessError, u"无法读取文件：" + name);
}

}  // namespace

FileSource::FileSource(const std::filesystem::path& file) : path_(file) {
  // A path-only descriptor opens nothing: the file's kind and file system are checked
  // through it, so a device or a kernel file is refused before it is ever opened.
  const Descriptor probe(::open(file.c_str(), O_PATH | O_CLOEXEC));
  struct stat st {};
  struct statfs fs {};
  if (probe.Get() < 0 || ::fstat(probe.Get(), &st) != 0 || ::fstatfs(probe.Get(), &fs) != 0) {
    RaiseUnreadable(file, errno);
  }
  if (!S_ISREG(st.st_mode)) RaiseUnreadable(file, 0);
  if (IsPseudoFileSystem(fs.f_type)) {
    throw Error(ErrorNumber::kPathFileAccessError,
                u"无法读取文件：" + Utf8ToUtf16Escaped(file.string()) +
                    u"（位于系统的虚拟文件系统中，不是工作簿，未打开）");
  }
  size_ = static_cast<std::uint64_t>(st.st_size);
  // An empty file is no workbook: it is answered without being opened or read.
  if (size_ == 0) return;

  Descriptor readable(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat opened {};
  if (readable.Get() < 0 || ::fstat(readable.Get(), &opened) != 0) RaiseUnreadable(file, errno);
  // The name may have been pointed elsewhere in between; nothing else is read.
  if (opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) RaiseUnreadable(file, 0);
  fd_ = readable.Release();
}

FileSource::~FileSource() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t FileSource::ReadSome(std::uint64_t offset, std::span<std::byte> out) const {
  // Never beyond the size the file had when opened: a file that reports less than it
  // yields (or grows meanwhile) is read no further than that.
  if (offset >= size_) return 0;
  if (out.size() > size_ - offset) out = out.first(static_cast<std::size_t>(size_ - offset));
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n =
        ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
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
    RaiseFailure(FailureKind::kFileTruncated);
  }
}

}  // namespace vexmar::workbook
