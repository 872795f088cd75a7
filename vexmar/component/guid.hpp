#pragma once
// A GUID in its binary layout, written as the registry writes it.
#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vexmar/component/export.hpp"

namespace vexmar {

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::array<std::uint8_t, 8> data4{};
  friend constexpr auto operator<=>(const Guid&, const Guid&) = default;
};

namespace detail {
consteval std::uint64_t GuidHex(const char* s, int digits) {
  std::uint64_t v = 0;
  for (int i = 0; i < digits; ++i) {
    const char c = s[i];
    const int d = c >= '0' && c <= '9'   ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : throw "not a hex digit";
    v = (v << 4) | static_cast<std::uint64_t>(d);
  }
  return v;
}
}  // namespace detail

// A GUID from its braced text at compile time: MakeGuid("{1DDDD776-D55E-...}").
consteval Guid MakeGuid(const char (&s)[39]) {
  Guid g;
  g.data1 = static_cast<std::uint32_t>(detail::GuidHex(s + 1, 8));
  g.data2 = static_cast<std::uint16_t>(detail::GuidHex(s + 10, 4));
  g.data3 = static_cast<std::uint16_t>(detail::GuidHex(s + 15, 4));
  const int starts[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    g.data4[static_cast<std::size_t>(i)] =
        static_cast<std::uint8_t>(detail::GuidHex(s + starts[i], 2));
  }
  return g;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex.
VEXMAR_API std::string FormatGuid(const Guid& guid);
// Parses the braced or bare form, either letter case; nullopt when malformed.
VEXMAR_API std::optional<Guid> ParseGuid(std::string_view text);

}  // namespace vexmar
