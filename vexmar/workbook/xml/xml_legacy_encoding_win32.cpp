#include "vexmar/workbook/xml/xml_legacy_encoding_win32.hpp"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

#include "vexmar/workbook/xml/xml_prolog.hpp"

namespace vexmar::workbook {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

struct Label {
  std::string_view name;
  unsigned code_page;
};
// Windows code pages for the labels the Linux reader decodes; subsets read as the
// supersets their writers use, as there.
constexpr Label kLabels[] = {
    {"gb2312", 936},      {"gbk", 936},         {"x-gbk", 936},        {"cp936", 936},
    {"windows-936", 936}, {"gb18030", 54936},   {"big5", 950},         {"x-x-big5", 950},
    {"shift_jis", 932},   {"shift-jis", 932},   {"x-sjis", 932},       {"sjis", 932},
    {"windows-31j", 932}, {"euc-kr", 949},      {"ks_c_5601-1987", 949}, {"windows-949", 949},
    {"x-mac-roman", 10000}, {"macintosh", 10000}, {"x-mac-cyrillic", 10007},
    {"x-mac-ce", 10029},  {"tis-620", 874},     {"windows-874", 874},  {"koi8-r", 20866},
    {"koi8-u", 21866},    {"euc-jp", 20932},    {"iso-8859-2", 28592}, {"iso-8859-3", 28593},
    {"iso-8859-4", 28594}, {"iso-8859-5", 28595}, {"iso-8859-6", 28596}, {"iso-8859-7", 28597},
    {"iso-8859-8", 28598}, {"iso-8859-9", 28599}, {"iso-8859-13", 28603},
    {"iso-8859-15", 28605},
};

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  return out;
}

unsigned CodePageOf(std::string_view label) {
  const std::string lower = Lower(label);
  for (const Label& l : kLabels) {
    if (l.name == lower) return l.code_page;
  }
  // windows-1250 .. windows-1258, cp1250 .. cp1258
  for (const std::string_view prefix : {std::string_view("windows-"), std::string_view("cp")}) {
    if (lower.starts_with(prefix) && lower.size() == prefix.size() + 4 &&
        lower.substr(prefix.size(), 3) == "125" && lower.back() >= '0' && lower.back() <= '8') {
      return 1250u + static_cast<unsigned>(lower.back() - '0');
    }
  }
  return 0;
}

// Bytes of the character that starts with `lead`, for the code pages read here.
std::size_t CharacterLength(unsigned code_page, const unsigned char* bytes, std::size_t left) {
  const unsigned char lead = bytes[0];
  if (lead < 0x80) return 1;
  if (code_page == 54936) {
    if (lead == 0x80 || lead == 0xFF) return 1;
    if (left >= 2 && bytes[1] >= 0x30 && bytes[1] <= 0x39) return 4;
    return 2;
  }
  return IsDBCSLeadByteEx(code_page, lead) ? 2 : 1;
}

}  // namespace

std::size_t LegacyEncodingStream::Read(std::span<std::byte> out) {
  while (output_pos_ == output_.size()) {
    output_.clear();
    output_pos_ = 0;
    if (!Fill()) return 0;
  }
  const std::size_t n = std::min(out.size(), output_.size() - output_pos_);
  std::memcpy(out.data(), output_.data() + output_pos_, n);
  output_pos_ += n;
  return n;
}

bool LegacyEncodingStream::Fill() {
  if (ended_) return false;
  std::vector<unsigned char> chunk(kChunk);
  const std::size_t got = inner_.Read(std::as_writable_bytes(std::span(chunk)));
  chunk.resize(got);
  if (got == 0) ended_ = true;
  if (!started_) {
    started_ = true;
    const std::string_view head(reinterpret_cast<const char*>(chunk.data()), chunk.size());
    std::size_t begin = 0;
    std::size_t end = 0;
    if (FindEncodingLabel(head, &begin, &end)) {
      const unsigned code_page = CodePageOf(head.substr(begin, end - begin));
      if (code_page != 0 && IsValidCodePage(code_page)) {
        code_page_ = code_page;
        output_.assign(head.substr(0, begin));
        output_ += "UTF-8";
        chunk.erase(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(end));
      }
    }
    if (code_page_ == 0) {
      output_.assign(head);
      return true;
    }
  } else if (code_page_ == 0) {
    output_.assign(reinterpret_cast<const char*>(chunk.data()), chunk.size());
    return !ended_ || !output_.empty();
  }
  carry_.insert(carry_.end(), chunk.begin(), chunk.end());
  Decode(carry_.data(), carry_.size(), ended_);
  return !ended_ || !output_.empty();
}

void LegacyEncodingStream::Decode(const unsigned char* bytes, std::size_t size, bool last) {
  // The whole characters of the block in two calls when they all convert (the usual
  // case); a block with a sequence that forms no character goes one character at a time.
  std::size_t whole = 0;
  while (whole < size) {
    const std::size_t length = CharacterLength(code_page_, bytes + whole, size - whole);
    if (whole + length > size) break;
    whole += length;
  }
  if (whole > 0 && whole <= static_cast<std::size_t>(INT_MAX)) {
    const auto* text = reinterpret_cast<const char*>(bytes);
    const int units = MultiByteToWideChar(code_page_, MB_ERR_INVALID_CHARS, text,
                                          static_cast<int>(whole), nullptr, 0);
    if (units > 0) {
      std::wstring wide(static_cast<std::size_t>(units), L'\0');
      MultiByteToWideChar(code_page_, MB_ERR_INVALID_CHARS, text, static_cast<int>(whole),
                          wide.data(), units);
      const int length =
          WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
      const std::size_t at = output_.size();
      output_.resize(at + static_cast<std::size_t>(length));
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, output_.data() + at, length, nullptr,
                          nullptr);
      carry_.erase(carry_.begin(), carry_.begin() + static_cast<std::ptrdiff_t>(whole));
      if (last && !carry_.empty()) Decode(carry_.data(), carry_.size(), true);
      return;
    }
  }
  std::size_t i = 0;
  wchar_t units[4];
  char utf8[16];
  while (i < size) {
    std::size_t length = CharacterLength(code_page_, bytes + i, size - i);
    if (i + length > size) {
      if (!last) break;  // completed by the next chunk
      length = size - i;
    }
    if (bytes[i] < 0x80) {
      output_.push_back(static_cast<char>(bytes[i]));
      ++i;
      continue;
    }
    const int n = MultiByteToWideChar(code_page_, MB_ERR_INVALID_CHARS,
                                      reinterpret_cast<const char*>(bytes + i),
                                      static_cast<int>(length), units, 4);
    const int m = n > 0 ? WideCharToMultiByte(CP_UTF8, 0, units, n, utf8, sizeof utf8, nullptr,
                                              nullptr)
                        : 0;
    if (m > 0) {
      output_.append(utf8, static_cast<std::size_t>(m));
    } else {
      output_.push_back('\xFF');  // never valid UTF-8: the parser stops here
    }
    i += length;
  }
  carry_.erase(carry_.begin(), carry_.begin() + static_cast<std::ptrdiff_t>(i));
}

}  // namespace vexmar::workbook
