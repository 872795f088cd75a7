#pragma once
// The password that office programs use when they save a workbook encrypted without a
// password to open (a workbook whose sheets or structure are protected, for example),
// and the caps that keep hostile encryption headers cheap.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vexmar::workbook {

inline constexpr std::string_view kDefaultPassword = "VelvetSweatshop";

// The password as the key derivations hash it: UTF-16LE without a terminator.
inline constexpr std::array<std::byte, 2 * kDefaultPassword.size()> DefaultPasswordUtf16() {
  std::array<std::byte, 2 * kDefaultPassword.size()> bytes{};
  for (std::size_t i = 0; i < kDefaultPassword.size(); ++i) {
    bytes[2 * i] = static_cast<std::byte>(kDefaultPassword[i]);
  }
  return bytes;
}

struct DecryptionLimits {
  // Hash iterations of an agile key derivation (office programs write 100,000); one
  // iteration costs about a microsecond, so the cap bounds the work at some seconds.
  static constexpr std::uint32_t kMaxSpinCount = 10'000'000;
  // Rounds spent on the one password tried. A host lists a workbook once per grading
  // rule, and the format's maximum costs seconds (SHA-512 about 260 ns a round) only to
  // find the default password wrong; every producer writes 100,000. A file asking for
  // more is answered as encrypted (a password we will not try), at about 0.13 s at most.
  static constexpr std::uint32_t kMaxDefaultPasswordSpinCount = 500'000;
  // Salts, verifiers and keys are 16 to 64 bytes in every known producer.
  static constexpr std::size_t kMaxSaltSize = 64;
  // The EncryptionInfo stream is read whole (an agile descriptor is about 1 KB).
  static constexpr std::uint64_t kMaxEncryptionInfoSize = 64 * 1024;
  // Segments of an agile package, decrypted one at a time.
  static constexpr std::size_t kSegmentSize = 4096;
};

}  // namespace vexmar::workbook
