// Byte strings of older workbooks decoded with the system's own code-page tables
// (MultiByteToWideChar). Decoding goes one character at a time so that a byte that
// forms no character becomes one U+FFFD and decoding carries on after it, as elsewhere.
#include <windows.h>

#include <utility>

#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/xls/code_page.hpp"

namespace vexmar::workbook {
namespace {

constexpr char16_t kReplacement = kReplacementCharacter;

// The system code page for a CODEPAGE record's number. Every number that the workbook
// formats use and that no table serves is read as Windows Western.
UINT SystemCodePage(std::uint16_t code_page) {
  switch (code_page) {
    case 437: case 737: case 775: case 850: case 852: case 855: case 857: case 860:
    case 861: case 862: case 863: case 864: case 865: case 866: case 869: case 874:
    case 932: case 936: case 949: case 950: case 1250: case 1251: case 1252: case 1253:
    case 1254: case 1255: case 1256: case 1257: case 1258: case 1361: case 10000:
    case 10007: case 10029:
      return code_page;
    case 32768:
      return 10000;  // BIFF's own number for Mac Roman
    default:
      return 1252;  // 367/20127 (ASCII with 1252 above), 32769 ("ANSI"), unknown
  }
}

bool IsDoubleByteCodePage(UINT code_page) {
  CPINFO info{};
  return GetCPInfo(code_page, &info) && info.MaxCharSize == 2;
}

// One character of `length` bytes; false when the bytes form none.
bool DecodeOne(UINT code_page, const char* bytes, int length, std::u16string& out) {
  wchar_t units[4];
  const int n = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes, length, units, 4);
  if (n <= 0) return false;
  for (int i = 0; i < n; ++i) out.push_back(static_cast<char16_t>(units[i]));
  return true;
}

std::u16string DecodeWithTables(UINT code_page, std::span<const std::byte> bytes) {
  const char* p = reinterpret_cast<const char*>(bytes.data());
  const std::size_t size = bytes.size();
  const bool double_byte = IsDoubleByteCodePage(code_page);
  std::u16string out;
  out.reserve(size);
  for (std::size_t i = 0; i < size;) {
    const auto byte = static_cast<BYTE>(p[i]);
    if (double_byte && IsDBCSLeadByteEx(code_page, byte)) {
      if (i + 1 < size && DecodeOne(code_page, p + i, 2, out)) {
        i += 2;
        continue;
      }
    } else if (DecodeOne(code_page, p + i, 1, out)) {
      ++i;
      continue;
    }
    out.push_back(kReplacement);
    ++i;
  }
  return out;
}

}  // namespace

std::u16string DecodeCodePage(std::uint16_t code_page, std::span<const std::byte> bytes) {
  if (auto text = DecodeUnicodeCodePage(code_page, bytes)) return std::move(*text);
  UINT system = SystemCodePage(code_page);
  if (!IsValidCodePage(system)) system = 1252;
  return DecodeWithTables(system, bytes);
}

}  // namespace vexmar::workbook

namespace vexmar::workbook {

std::vector<std::uint16_t> IconvCodePages() {
  // On Windows the system's tables stand in for the C library's converters.
  return {437,  737,  775,  850,  852,  855,  857,  860,  861,  862,   863,   864,
          865,  866,  869,  874,  932,  936,  949,  950,  1250, 1251,  1253,  1254,
          1255, 1256, 1257, 1258, 1361, 10000, 10007, 10029, 32768};
}

}  // namespace vexmar::workbook
