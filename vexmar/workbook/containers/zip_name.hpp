#pragma once
// Zip entry names: legacy code page decoding and package-style name comparison.
#include <cstdint>
#include <string>
#include <string_view>

namespace vexmar::workbook {

// Bytes of a name written without the UTF-8 flag (code page 437) as UTF-8.
std::string Cp437ToUtf8(std::string_view bytes);

// Package part names compare ASCII-case-insensitively, with "\" taken as "/" and a
// leading "/" ignored.
std::uint64_t PartNameHash(std::string_view name) noexcept;
bool PartNamesEqual(std::string_view a, std::string_view b) noexcept;

}  // namespace vexmar::workbook
