#include "vexmar/workbook/xml/xml_prolog.hpp"

#include <string_view>

#include "vexmar/component/utf.hpp"

namespace vexmar::workbook {
namespace {

unsigned ByteAt(std::span<const std::byte> bytes, std::size_t i) {
  return i < bytes.size() ? std::to_integer<unsigned>(bytes[i]) : 0x100u;
}

std::u16string DecodeUtf16(std::span<const std::byte> bytes, bool big_endian) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned a = ByteAt(bytes, i);
    const unsigned b = ByteAt(bytes, i + 1);
    text.push_back(static_cast<char16_t>(big_endian ? (a << 8 | b) : (b << 8 | a)));
  }
  return text;
}

std::u16string Decode(std::span<const std::byte> bytes) {
  const unsigned b0 = ByteAt(bytes, 0);
  const unsigned b1 = ByteAt(bytes, 1);
  if (b0 == 0xFF && b1 == 0xFE) return DecodeUtf16(bytes.subspan(2), false);
  if (b0 == 0xFE && b1 == 0xFF) return DecodeUtf16(bytes.subspan(2), true);
  if (b0 == '<' && b1 == 0) return DecodeUtf16(bytes, false);
  if (b0 == 0 && b1 == '<') return DecodeUtf16(bytes, true);
  if (b0 == 0xEF && b1 == 0xBB && ByteAt(bytes, 2) == 0xBF) bytes = bytes.subspan(3);
  return Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

}  // namespace

std::optional<std::string> FindDoctypeName(std::span<const std::byte> prolog) {
  const std::u16string text = Decode(prolog);
  const std::u16string_view rest_of_text(text);
  std::size_t at = 0;
  const auto starts = [&](std::u16string_view token) {
    return rest_of_text.substr(at).starts_with(token);
  };
  const auto skip_past = [&](std::u16string_view end) {
    const std::size_t found = rest_of_text.find(end, at);
    if (found == std::u16string_view::npos) return false;
    at = found + end.size();
    return true;
  };
  for (;;) {
    while (at < text.size() && IsSpace(text[at])) ++at;
    if (starts(u"<?")) {
      if (!skip_past(u"?>")) return std::nullopt;
    } else if (starts(u"<!--")) {
      if (!skip_past(u"-->")) return std::nullopt;
    } else if (starts(u"<!DOCTYPE")) {
      at += 9;
      if (at >= text.size() || !IsSpace(text[at])) return std::nullopt;
      while (at < text.size() && IsSpace(text[at])) ++at;
      const std::size_t begin = at;
      while (at < text.size() && !IsSpace(text[at]) && text[at] != u'[' && text[at] != u'>') ++at;
      if (at == begin || at == text.size()) return std::nullopt;
      return Utf16ToUtf8(rest_of_text.substr(begin, at - begin));
    } else {
      return std::nullopt;
    }
  }
}

bool FindEncodingLabel(std::string_view text, std::size_t* begin, std::size_t* end) noexcept {
  if (!text.starts_with("<?xml")) return false;
  const std::size_t close = text.find("?>");
  if (close == std::string_view::npos) return false;
  const std::size_t at = text.substr(0, close).find("encoding");
  if (at == std::string_view::npos) return false;
  const std::size_t quote = text.find_first_of("\"'", at);
  if (quote == std::string_view::npos || quote > close) return false;
  const std::size_t last = text.find(text[quote], quote + 1);
  if (last == std::string_view::npos || last > close) return false;
  *begin = quote + 1;
  *end = last;
  return true;
}

}  // namespace vexmar::workbook
