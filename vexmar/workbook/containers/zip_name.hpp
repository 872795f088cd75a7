#pragma once
// Zip entry names: legacy code page decoding and package-style name comparison.
#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexmar::workbook {

// Bytes of a name written without the UTF-8 flag (code page 437) as UTF-8.
std::string Cp437ToUtf8(std::string_view bytes);

// Package part names compare ASCII-case-insensitively, with "\" taken as "/" and a
// leading "/" ignored.
bool PartNamesEqual(std::string_view a, std::string_view b) noexcept;

// A part name's 128-bit fingerprint: SipHash-2-4 of the folded name under a key drawn at
// random once per process. Names that compare equal have equal fingerprints; without the
// key nobody can choose distinct names that share one (a chance of about n^2 / 2^129 for
// n names), so the zip index may treat equal fingerprints as one name.
struct PartNameFingerprint {
  std::uint64_t high = 0;
  std::uint64_t low = 0;
  friend auto operator<=>(const PartNameFingerprint&, const PartNameFingerprint&) = default;
};
PartNameFingerprint FingerprintPartName(std::string_view name) noexcept;

}  // namespace vexmar::workbook
