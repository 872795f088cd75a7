#include "examples/host/shown_text.hpp"

#include <cstddef>
#include <cstdio>

#include "vexmar/component/utf.hpp"

namespace vexmar::example {
namespace {

bool IsHighSurrogate(char16_t unit) noexcept { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) noexcept { return unit >= 0xDC00 && unit <= 0xDFFF; }

// A byte as backslash, "x" and two hex digits; a UTF-16 unit as backslash, "u{", four
// hex digits and "}".
std::string ByteEscape(unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "\\x%02X", value);
  return buffer;
}
std::string UnitEscape(unsigned value) {
  char buffer[12];
  std::snprintf(buffer, sizeof buffer, "\\u{%04X}", value);
  return buffer;
}

}  // namespace

std::string Shown(std::u16string_view text) {
  std::string shown;
  shown.reserve(text.size());
  std::size_t plain_start = 0;
  const auto flush = [&](std::size_t end) {
    shown += Utf16ToUtf8(text.substr(plain_start, end - plain_start));
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    std::string escape;
    std::size_t width = 1;
    if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      escape = "\u21B5";
      width = 2;
    } else if (unit == u'\r') {
      escape = "\\r";
    } else if (unit == u'\n') {
      escape = "\\n";
    } else if (unit == u'\t') {
      escape = "\\t";
    } else if (unit < 0x20 || unit == 0x7F) {
      escape = ByteEscape(unit);
    } else if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      ++i;  // a proper pair is plain text
      continue;
    } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
      escape = ByteEscape(unit - 0xDC00u);
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      escape = UnitEscape(unit);
    } else {
      continue;
    }
    flush(i);
    shown += escape;
    i += width - 1;
    plain_start = i + 1;
  }
  flush(text.size());
  return shown;
}

}  // namespace vexmar::example
