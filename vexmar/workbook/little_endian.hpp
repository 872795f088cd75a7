#pragma once
// Little-endian integers from byte buffers. Callers check the bounds first.
#include <cstddef>
#include <cstdint>
#include <span>

namespace vexmar::workbook {

inline std::uint16_t LoadU16(std::span<const std::byte> b, std::size_t at) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(b[at]) |
                                    (std::to_integer<unsigned>(b[at + 1]) << 8));
}

inline std::uint32_t LoadU32(std::span<const std::byte> b, std::size_t at) {
  return static_cast<std::uint32_t>(LoadU16(b, at)) |
         (static_cast<std::uint32_t>(LoadU16(b, at + 2)) << 16);
}

inline std::uint64_t LoadU64(std::span<const std::byte> b, std::size_t at) {
  return static_cast<std::uint64_t>(LoadU32(b, at)) |
         (static_cast<std::uint64_t>(LoadU32(b, at + 4)) << 32);
}

inline std::uint8_t LoadU8(std::span<const std::byte> b, std::size_t at) {
  return std::to_integer<std::uint8_t>(b[at]);
}

}  // namespace vexmar::workbook
