#include "vexmar/workbook/containers/zip_name.hpp"

#include <array>
#include <bit>
#include <chrono>
#include <random>

#include "vexmar/component/utf.hpp"

namespace vexmar::workbook {
namespace {

constexpr std::array<char16_t, 128> kCp437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

constexpr char Fold(char c) noexcept {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  return c == '\\' ? '/' : c;
}

std::string_view StripLeadingSlash(std::string_view name) noexcept {
  while (!name.empty() && (name.front() == '/' || name.front() == '\\')) name.remove_prefix(1);
  return name;
}

struct SipKey {
  std::uint64_t k0;
  std::uint64_t k1;
};

// Drawn once per process: the order of the zip index depends on it, nothing else does.
const SipKey& ProcessKey() noexcept {
  static const SipKey key = [] {
    std::uint64_t words[2] = {0x243F6A8885A308D3ULL, 0x13198A2E03707344ULL};
    try {
      std::random_device device;
      for (std::uint64_t& word : words) {
        word ^= (std::uint64_t{device()} << 32) | device();
      }
    } catch (...) {
      // No entropy source: the clock and the stack's address still vary per process.
      words[0] ^= static_cast<std::uint64_t>(
          std::chrono::steady_clock::now().time_since_epoch().count());
      words[1] ^= reinterpret_cast<std::uintptr_t>(&words);
    }
    return SipKey{words[0], words[1]};
  }();
  return key;
}

// SipHash-2-4 with a 128-bit result, fed one byte at a time (names are folded on the way).
class SipHash128 {
 public:
  explicit SipHash128(const SipKey& key) noexcept
      : v0_(key.k0 ^ 0x736f6d6570736575ULL),
        v1_(key.k1 ^ 0x646f72616e646f6dULL ^ 0xee),
        v2_(key.k0 ^ 0x6c7967656e657261ULL),
        v3_(key.k1 ^ 0x7465646279746573ULL) {}

  void Add(unsigned char byte) noexcept {
    pending_ |= std::uint64_t{byte} << (8 * (length_ & 7));
    if ((++length_ & 7) == 0) {
      Compress(pending_);
      pending_ = 0;
    }
  }

  // A name folded on the way, whole words at a time from a fresh hash: every look-up
  // hashes a name, and byte by byte the bookkeeping would cost more than the rounds.
  void AddFolded(std::string_view text) noexcept {
    std::size_t i = 0;
    if (length_ == 0) {
      for (; text.size() - i >= 8; i += 8) {
        std::uint64_t word = 0;
        for (std::size_t b = 0; b < 8; ++b) {
          word |= std::uint64_t{static_cast<unsigned char>(Fold(text[i + b]))} << (8 * b);
        }
        Compress(word);
      }
      length_ = i;
    }
    for (; i < text.size(); ++i) Add(static_cast<unsigned char>(Fold(text[i])));
  }

  PartNameFingerprint Finish() noexcept {
    Compress((length_ << 56) | pending_);
    v2_ ^= 0xee;
    for (int i = 0; i < 4; ++i) Round();
    const std::uint64_t high = v0_ ^ v1_ ^ v2_ ^ v3_;
    v1_ ^= 0xdd;
    for (int i = 0; i < 4; ++i) Round();
    return {high, v0_ ^ v1_ ^ v2_ ^ v3_};
  }

 private:
  void Compress(std::uint64_t m) noexcept {
    v3_ ^= m;
    Round();
    Round();
    v0_ ^= m;
  }
  void Round() noexcept {
    v0_ += v1_;
    v1_ = std::rotl(v1_, 13) ^ v0_;
    v0_ = std::rotl(v0_, 32);
    v2_ += v3_;
    v3_ = std::rotl(v3_, 16) ^ v2_;
    v0_ += v3_;
    v3_ = std::rotl(v3_, 21) ^ v0_;
    v2_ += v1_;
    v1_ = std::rotl(v1_, 17) ^ v2_;
    v2_ = std::rotl(v2_, 32);
  }

  std::uint64_t v0_, v1_, v2_, v3_;
  std::uint64_t pending_ = 0;
  std::uint64_t length_ = 0;
};

}  // namespace

std::string Cp437ToUtf8(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    text.push_back(b < 0x80 ? char16_t{b} : kCp437High[b - 0x80U]);
  }
  return Utf16ToUtf8(text);
}

PartNameFingerprint FingerprintPartName(std::string_view name) noexcept {
  const SipKey& key = ProcessKey();
  SipHash128 hash(key);
  hash.AddFolded(StripLeadingSlash(name));
  return hash.Finish();
}

bool PartNamesEqual(std::string_view a, std::string_view b) noexcept {
  a = StripLeadingSlash(a);
  b = StripLeadingSlash(b);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

}  // namespace vexmar::workbook
