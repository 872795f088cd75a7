#include "vexmar/component/long_path_win32.hpp"

#include <windows.h>

namespace vexmar {
namespace {

// Below this length every wide file function takes the path as it is; the margin leaves
// room for the "\*" a directory search appends and for the 8.3 rule of directories.
constexpr std::size_t kClassicLimit = MAX_PATH - 14;

bool HasPrefix(const std::wstring& text, const wchar_t* prefix) {
  return text.rfind(prefix, 0) == 0;
}

}  // namespace

std::wstring ExtendedLengthPath(const std::wstring& path) {
  if (path.size() < kClassicLimit || HasPrefix(path, L"\\\\?\\") || HasPrefix(path, L"\\\\.\\")) {
    return path;
  }
  // The extended form skips the system's normalisation ("/" as separator, "." and ".."
  // steps, a relative start): do it here.
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;  // the open that follows reports the problem
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  full.resize(length);
  if (HasPrefix(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace vexmar
