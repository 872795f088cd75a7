#pragma once
// Records of a binary workbook part, for tests.
#include <cstdint>
#include <string>

namespace vexmar::workbook::testing {

inline std::string Record(unsigned type, const std::string& body) {
  std::string out;
  if (type < 0x80) {
    out.push_back(static_cast<char>(type));
  } else {
    out.push_back(static_cast<char>((type & 0x7F) | 0x80));
    out.push_back(static_cast<char>(type >> 7));
  }
  std::size_t size = body.size();
  do {
    const auto byte = static_cast<char>((size & 0x7F) | (size > 0x7F ? 0x80 : 0));
    out.push_back(byte);
    size >>= 7;
  } while (size > 0);
  return out + body;
}

inline std::string Wide(const std::u16string& text, std::uint32_t count) {
  std::string out(reinterpret_cast<const char*>(&count), 4);
  for (char16_t u : text) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  }
  return out;
}

inline std::string BundleSh(const std::u16string& id, const std::u16string& name) {
  return Record(0x9C, std::string(8, '\0') + Wide(id, static_cast<std::uint32_t>(id.size())) +
                          Wide(name, static_cast<std::uint32_t>(name.size())));
}

}  // namespace vexmar::workbook::testing
