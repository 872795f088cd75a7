#pragma once
// A real directory under /tmp for listing tests, removed with everything in it when the
// test ends. Names are raw bytes, so names that are not UTF-8 can be made as well.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "vexmar/component/utf.hpp"

namespace vexmar::testing {

class TempDirectory {
 public:
  TempDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vexmar-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) Fail("mkdtemp");
    path_ = pattern;
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  ~TempDirectory() {
    // Restore access everywhere first so that removal can reach every entry.
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    for (auto it = std::filesystem::recursive_directory_iterator(
             path_, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_directory(ec) && !it->is_symlink(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
      }
    }
    std::filesystem::remove_all(path_, ec);
  }

  const std::string& Path() const { return path_; }
  // The directory in the host's form, for the listing and the rule classes.
  std::u16string HostPath() const { return Utf8ToUtf16Escaped(path_); }

  std::string File(const std::string& name, const std::string& content = "x") const {
    const std::string full = Full(name);
    const int fd = open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) Fail("open " + full);
    const auto written = write(fd, content.data(), content.size());
    close(fd);
    if (written != static_cast<ssize_t>(content.size())) Fail("write " + full);
    return full;
  }
  std::string Dir(const std::string& name) const {
    const std::string full = Full(name);
    if (mkdir(full.c_str(), 0755) != 0) Fail("mkdir " + full);
    return full;
  }
  void Fifo(const std::string& name) const {
    if (mkfifo(Full(name).c_str(), 0644) != 0) Fail("mkfifo " + name);
  }
  void Symlink(const std::string& target, const std::string& name) const {
    if (symlink(target.c_str(), Full(name).c_str()) != 0) Fail("symlink " + name);
  }
  void Chmod(const std::string& name, mode_t mode) const {
    if (chmod(Full(name).c_str(), mode) != 0) Fail("chmod " + name);
  }
  std::string Full(const std::string& name) const { return path_ + "/" + name; }

 private:
  [[noreturn]] static void Fail(const std::string& what) {
    throw std::runtime_error("test directory: " + what);
  }

  std::string path_;
};

}  // namespace vexmar::testing
