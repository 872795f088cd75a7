// The directory listing on POSIX systems: readdir over the directory of the search
// text, keeping the regular files (directly or through a symbolic link) whose names
// match the pattern. Nothing is ever opened but the directory itself, so a FIFO or a
// device among the entries cannot block the caller.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <string>

#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/platform/directory_listing.hpp"
#include "vexmar/platform/file_name_match.hpp"
#include "vexmar/platform/listed_names.hpp"
#include "vexmar/platform/listing_errors.hpp"

namespace vexmar {
namespace {

// Host path to the bytes of a POSIX path: "\" becomes "/", escaped bytes come back.
std::string HostPathToNative(std::u16string_view host_path) {
  if (ContainsNul(host_path)) RaiseUnusablePath(host_path);
  std::string native = Utf16ToUtf8(host_path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

struct DirCloser {
  void operator()(DIR* dir) const noexcept { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// An entry's name as UTF-16 in `out`, reusing its storage: most names are ASCII and are
// widened in place; any other goes through the escaping decoder.
void DecodeName(const char* bytes, std::u16string& out) {
  out.clear();
  for (const char* p = bytes; *p != '\0'; ++p) {
    const auto byte = static_cast<unsigned char>(*p);
    if (byte >= 0x80) {
      out = Utf8ToUtf16Escaped(bytes);
      return;
    }
    out.push_back(byte);
  }
}

// The message text of a native path (invalid bytes shown as U+FFFD).
std::u16string ShownNative(const std::string& native) { return Utf8ToUtf16(native); }

// Whether the entry is a regular file, or a symbolic link to one. Links are followed
// with fstatat, which looks at the target without opening it.
bool IsOrdinaryFile(DIR* dir, const dirent& entry, const std::string& dir_path) {
  switch (entry.d_type) {
    case DT_REG:
      return true;
    case DT_LNK:
    case DT_UNKNOWN:
      break;
    default:
      return false;
  }
  struct stat info {};
  if (fstatat(dirfd(dir), entry.d_name, &info, 0) != 0) {
    const int code = errno;
    // A broken link, a loop of links, or a target we may not look at is no ordinary
    // file; so is an entry removed since readdir saw it.
    if (code == ENOENT || code == ELOOP || code == EACCES || code == ENOTDIR) return false;
    if (code == ENOMEM) Raise(ErrorNumber::kOutOfMemory);
    RaiseUnreadableEntry(ShownNative(dir_path + entry.d_name), code);
  }
  return S_ISREG(info.st_mode);
}

}  // namespace

std::filesystem::path HostPathToFileSystem(std::u16string_view host_path) {
  return std::filesystem::path(HostPathToNative(host_path));
}

std::vector<std::u16string> ListMatchingFiles(std::u16string_view search_text) {
  if (ContainsNul(search_text)) RaiseUnusablePath(search_text);
  // "D:\..." names a drive, which this platform does not have.
  if (StartsWithDriveLetter(search_text)) return {};

  const SearchTextParts parts = SplitSearchText(search_text);
  const std::string dir_path =
      parts.directory.empty() ? std::string("./") : HostPathToNative(parts.directory);

  DirHandle dir(opendir(dir_path.c_str()));
  if (!dir) {
    const int code = errno;
    if (code == ENOENT || code == ENOTDIR) return {};
    if (code == ENOMEM) Raise(ErrorNumber::kOutOfMemory);
    RaiseUnreadableDirectory(ShownNative(dir_path), code == EACCES || code == EPERM, code);
  }

  ListedNames names;
  std::u16string name;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir.get());
    if (entry == nullptr) {
      const int code = errno;
      if (code != 0) {
        RaiseUnreadableDirectory(ShownNative(dir_path), code == EACCES || code == EPERM, code);
      }
      break;
    }
    // Names starting with "." (also "." and "..") are hidden on this platform.
    if (entry->d_name[0] == '.') continue;
    DecodeName(entry->d_name, name);
    // A "\" in a name cannot be written in the host's path form, which would read it
    // as a separator; such a file could not be addressed again. "|", CR and LF would
    // change the fields and lines of the rule the name is written into. None of them
    // can occur in a name on the host's own platform.
    if (name.find_first_of(u"\\|\r\n") != std::u16string::npos) continue;
    if (!FileNameMatches(name, parts.pattern)) continue;
    if (!IsOrdinaryFile(dir.get(), *entry, dir_path)) continue;
    names.Add(name);
  }
  return names.TakeInListingOrder();
}

}  // namespace vexmar
