// The code pages that are Unicode or Latin-1 under another number: decoded the same way
// on every platform, without the system's tables.
#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/xls/code_page.hpp"

namespace vexmar::workbook {
namespace {

std::u16string DecodeUtf16Le(std::span<const std::byte> bytes) {
  std::u16string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out.push_back(static_cast<char16_t>(std::to_integer<unsigned>(bytes[i]) |
                                        (std::to_integer<unsigned>(bytes[i + 1]) << 8)));
  }
  if (bytes.size() % 2 != 0) out.push_back(kReplacementCharacter);
  return out;
}

}  // namespace

std::optional<std::u16string> DecodeUnicodeCodePage(std::uint16_t code_page,
                                                    std::span<const std::byte> bytes) {
  switch (code_page) {
    case 1200:
    case 21010:
      return DecodeUtf16Le(bytes);
    case 65001:
      return Utf8ToUtf16(
          std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    case 28591: {
      std::u16string out;
      for (const std::byte b : bytes) out.push_back(static_cast<char16_t>(b));
      return out;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace vexmar::workbook
