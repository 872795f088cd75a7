// Reading the "SpreadsheetApplication" setting on Windows. Both the 32-bit and the 64-bit
// server read the machine-wide value from the 64-bit registry view, so one value set by
// the administrator serves both.
#include <windows.h>

#include <string>

#include "vexmar/sheets/spreadsheet_application_choice.hpp"

namespace vexmar {
namespace {

constexpr wchar_t kVariable[] = L"VEXMAR_SPREADSHEET_APPLICATION";
constexpr wchar_t kKey[] = L"Software\\VexmarExt";
constexpr wchar_t kValue[] = L"SpreadsheetApplication";
// Longer texts name no choice; reading stops there.
constexpr DWORD kMaxChars = 64;

std::u16string ToU16(const wchar_t* text, std::size_t length) {
  return std::u16string(text, text + length);
}

std::optional<std::u16string> FromEnvironment() {
  wchar_t buffer[kMaxChars];
  SetLastError(ERROR_SUCCESS);
  const DWORD length = GetEnvironmentVariableW(kVariable, buffer, kMaxChars);
  if (length == 0) return std::nullopt;   // not set (or empty: the same to a host)
  if (length >= kMaxChars) return u"?";   // set, but to no known choice
  return ToU16(buffer, length);
}

std::optional<std::u16string> FromRegistry(HKEY root, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, kKey, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  wchar_t buffer[kMaxChars];
  DWORD bytes = sizeof buffer;
  const LSTATUS status = RegGetValueW(key, nullptr, kValue, RRF_RT_REG_SZ, nullptr, buffer, &bytes);
  RegCloseKey(key);
  if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (status != ERROR_SUCCESS) return u"?";  // present but of another type or too long
  std::size_t length = bytes / sizeof(wchar_t);
  while (length > 0 && buffer[length - 1] == L'\0') --length;
  return ToU16(buffer, length);
}

}  // namespace

SpreadsheetApplicationChoice CurrentSpreadsheetApplicationChoice() {
  std::optional<std::u16string> text = FromEnvironment();
  if (!text) text = FromRegistry(HKEY_CURRENT_USER, 0);
  if (!text) text = FromRegistry(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
  if (!text) return SpreadsheetApplicationChoice::kAutomation;
  return ParseSpreadsheetApplicationChoice(*text).value_or(SpreadsheetApplicationChoice::kAutomation);
}

}  // namespace vexmar
