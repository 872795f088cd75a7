// The directory listing on Windows: FindFirstFileW/FindNextFileW over every entry of the
// directory, keeping the ordinary files whose names match the pattern by the library's
// own rules. The system never sees the pattern, so its finer matching (8.3 short names:
// 'book.xlsx' would match '*.xls'; '<', '>' and '"' as wildcards) plays no part.
#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

#include "vexmar/component/error.hpp"
#include "vexmar/platform/directory_listing.hpp"
#include "vexmar/platform/file_name_match.hpp"
#include "vexmar/platform/listing_errors.hpp"
#include "vexmar/component/long_path_win32.hpp"

namespace vexmar {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring ToWide(std::u16string_view text) {
  std::wstring out(text.size(), L'\0');
  for (std::size_t i = 0; i < text.size(); ++i) out[i] = static_cast<wchar_t>(text[i]);
  return out;
}

std::u16string FromWide(const wchar_t* text) {
  std::u16string out;
  for (; *text != L'\0'; ++text) out.push_back(static_cast<char16_t>(*text));
  return out;
}

struct FindClose_ {
  void operator()(HANDLE find) const noexcept { FindClose(find); }
};
using FindHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, FindClose_>;

// Errors by which the system says that there is no such directory to list.
bool MeansNoDirectory(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return true;
    default:
      return false;
  }
}

// Directories, hidden and system files are not ordinary files; read-only and archived
// ones are.
bool IsOrdinaryFile(DWORD attributes) {
  constexpr DWORD kExcluded = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                              FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
  return (attributes & kExcluded) == 0;
}

[[noreturn]] void RaiseListingFailure(std::u16string_view directory, DWORD code) {
  if (code == ERROR_NOT_ENOUGH_MEMORY || code == ERROR_OUTOFMEMORY) {
    Raise(ErrorNumber::kOutOfMemory);
  }
  RaiseUnreadableDirectory(directory.empty() ? u"." : directory, code == ERROR_ACCESS_DENIED,
                           static_cast<long>(code));
}

}  // namespace

std::filesystem::path HostPathToFileSystem(std::u16string_view host_path) {
  if (ContainsNul(host_path)) RaiseUnusablePath(host_path);
  return std::filesystem::path(ToWide(host_path));
}

std::vector<std::u16string> ListMatchingFiles(std::u16string_view search_text) {
  if (ContainsNul(search_text)) RaiseUnusablePath(search_text);
  const SearchTextParts parts = SplitSearchText(search_text);
  const std::wstring query = ExtendedLengthPath(ToWide(parts.directory) + L"*");

  WIN32_FIND_DATAW entry;
  FindHandle find(
      FindFirstFileExW(query.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0));
  if (find.get() == INVALID_HANDLE_VALUE) {
    find.release();  // nothing to close
    const DWORD code = GetLastError();
    if (MeansNoDirectory(code)) return {};
    RaiseListingFailure(parts.directory, code);
  }

  std::vector<std::u16string> names;
  do {
    if (!IsOrdinaryFile(entry.dwFileAttributes)) continue;
    std::u16string name = FromWide(entry.cFileName);
    if (FileNameMatches(name, parts.pattern)) names.push_back(std::move(name));
  } while (FindNextFileW(find.get(), &entry));
  const DWORD code = GetLastError();
  if (code != ERROR_NO_MORE_FILES) RaiseListingFailure(parts.directory, code);

  SortInListingOrder(names);
  return names;
}

}  // namespace vexmar
