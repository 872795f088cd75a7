// Opening and reading a workbook file on POSIX systems: open and pread, never mapped, so
// a file that shrinks while it is read gives a damaged-file error instead of a fault.
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/file_source.hpp"

namespace vexmar::workbook {

std::u16string PathText(const std::filesystem::path& path) {
  return Utf8ToUtf16Escaped(path.string());
}

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
  const std::u16string name = PathText(file);
  if (err == EACCES || err == EPERM) {
    throw Error(ErrorNumber::kPermissionDenied, u"没有权限读取文件：" + name);
  }
  throw Error(ErrorNumber::kPathFileAccessError, u"无法读取文件：" + name);
}

// Refuses a file on one of the kernel's file systems, named by `file`.
void RefuseKernelFileSystem(const std::filesystem::path& file, int statfs_result,
                            const struct statfs& fs) {
  if (statfs_result != 0) RaiseUnreadable(file, errno);
  if (IsPseudoFileSystem(fs.f_type)) {
    throw Error(ErrorNumber::kPathFileAccessError,
                u"无法读取文件：" + PathText(file) +
                    u"（位于系统的虚拟文件系统中，不是工作簿，未打开）");
  }
}

}  // namespace

FileSource::FileSource(const std::filesystem::path& file) : path_(file) {
  // The file's kind and file system are checked by name, so that a device or a kernel
  // file is refused before it is ever opened; what is opened then must be that file.
  struct stat named {};
  if (::stat(file.c_str(), &named) != 0) RaiseUnreadable(file, errno);
  if (!S_ISREG(named.st_mode)) RaiseUnreadable(file, 0);
  // The kernel's file systems have no device of their own (major number 0), nor do
  // tmpfs, overlays or network shares: only those are asked for their type. A file on
  // a block device is one syscall cheaper to open, which counts for small files.
  const bool deviceless = major(named.st_dev) == 0;
  struct statfs fs {};
  if (deviceless) RefuseKernelFileSystem(file, ::statfs(file.c_str(), &fs), fs);
  size_ = static_cast<std::uint64_t>(named.st_size);
  // An empty file is no workbook: it is answered without being opened or read.
  if (size_ == 0) return;

  Descriptor readable(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat opened {};
  if (readable.Get() < 0 || ::fstat(readable.Get(), &opened) != 0) RaiseUnreadable(file, errno);
  // The name may have been pointed elsewhere in between; nothing else is read. A name
  // pointed at a kernel file and back between the checks above is caught here.
  if (opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) RaiseUnreadable(file, 0);
  if (deviceless) RefuseKernelFileSystem(file, ::fstatfs(readable.Get(), &fs), fs);
  handle_ = readable.Get();
  LoadIfSmall();  // the descriptor is still closed by `readable` if this throws
  readable.Release();
}

FileSource::~FileSource() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

std::size_t FileSource::ReadFromFile(std::uint64_t offset, std::span<std::byte> out) const {
  // Never beyond the size the file had when opened: a file that reports less than it
  // yields (or grows meanwhile) is read no further than that.
  if (offset >= size_) return 0;
  if (out.size() > size_ - offset) out = out.first(static_cast<std::size_t>(size_ - offset));
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::pread(static_cast<int>(handle_), out.data() + done, out.size() - done,
                              static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw Error(ErrorNumber::kPathFileAccessError,
                  u"读取文件时出错：" + PathText(path_));
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

}  // namespace vexmar::workbook
