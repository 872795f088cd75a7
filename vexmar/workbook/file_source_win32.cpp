// Opening and reading a workbook file on Windows: by its wide name (the ANSI code page
// never sees it; long paths in their extended-length form), read at explicit offsets
// with ReadFile. Other programs may keep the file open, even for writing.
#include <windows.h>

#include <algorithm>
#include <string>

#include "vexmar/component/error.hpp"
#include "vexmar/component/long_path_win32.hpp"
#include "vexmar/workbook/file_source.hpp"

namespace vexmar::workbook {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

HANDLE AsHandle(std::intptr_t handle) noexcept {
  return reinterpret_cast<HANDLE>(handle);  // NOLINT: the handle is kept as an integer
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::u16string PathText(const std::filesystem::path& path) {
  const std::wstring& native = path.native();
  return std::u16string(native.begin(), native.end());
}

FileSource::FileSource(const std::filesystem::path& file) : path_(file) {
  const std::wstring name = ExtendedLengthPath(file.native());
  HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                              nullptr);
  DWORD error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
  LARGE_INTEGER size{};
  if (handle != INVALID_HANDLE_VALUE &&
      (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &size) ||
       size.QuadPart < 0)) {
    CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
  }
  if (handle == INVALID_HANDLE_VALUE) {
    // A directory is refused with "access denied" by CreateFileW; it is simply not a
    // readable file, as elsewhere.
    if (error == ERROR_ACCESS_DENIED && !IsDirectory(name)) {
      throw Error(ErrorNumber::kPermissionDenied, u"没有权限读取文件：" + PathText(file));
    }
    throw Error(ErrorNumber::kPathFileAccessError, u"无法读取文件：" + PathText(file));
  }
  handle_ = reinterpret_cast<std::intptr_t>(handle);  // NOLINT: kept as an integer
  size_ = static_cast<std::uint64_t>(size.QuadPart);
  try {
    LoadIfSmall();
  } catch (...) {
    CloseHandle(handle);  // no destructor runs for an object that failed to construct
    throw;
  }
}

FileSource::~FileSource() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
}

std::size_t FileSource::ReadFromFile(std::uint64_t offset, std::span<std::byte> out) const {
  // Never beyond the size the file had when opened, as elsewhere.
  if (offset >= size_) return 0;
  if (out.size() > size_ - offset) out = out.first(static_cast<std::size_t>(size_ - offset));
  std::size_t done = 0;
  while (done < out.size()) {
    const std::uint64_t at = offset + done;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_), out.data() + done, wanted, &got, &position)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      throw Error(ErrorNumber::kPathFileAccessError, u"读取文件时出错：" + PathText(path_));
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

}  // namespace vexmar::workbook
