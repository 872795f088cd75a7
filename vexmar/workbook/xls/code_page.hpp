#pragma once
// Byte strings of older workbooks (BIFF2..BIFF5 sheet names) in the workbook's code
// page, as given by its CODEPAGE record.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vexmar::workbook {

// What a byte that forms no character becomes.
inline constexpr char16_t kReplacementCharacter = 0xFFFD;

// The code page assumed when a workbook names none (Windows Western).
inline constexpr std::uint16_t kDefaultCodePage = 1252;

// Decodes `bytes` from the code page numbered as in a CODEPAGE record (for example
// 936, 1252, 1200 for UTF-16LE, 10000 or 32768 for Mac Roman). Bytes that do not
// form a character become U+FFFD; an unknown code page is read as 1252.
std::u16string DecodeCodePage(std::uint16_t code_page, std::span<const std::byte> bytes);

// UTF-16LE (1200, 21010), UTF-8 (65001) and Latin-1 (28591), which need no tables;
// nothing for any other code page.
std::optional<std::u16string> DecodeUnicodeCodePage(std::uint16_t code_page,
                                                    std::span<const std::byte> bytes);

// The code pages decoded through the C library's converters (the others are decoded
// here).
std::vector<std::uint16_t> IconvCodePages();

}  // namespace vexmar::workbook
