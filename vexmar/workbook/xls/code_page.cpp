#include "vexmar/workbook/xls/code_page.hpp"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <string_view>

#include <utility>

#include "vexmar/component/utf.hpp"

namespace vexmar::workbook {
namespace {

constexpr char16_t kReplacement = kReplacementCharacter;

struct IconvCodePage {
  std::uint16_t code_page;
  const char* iconv_name;
};

// Windows-1252 at 0x80..0x9F; the five unassigned bytes map to the C1 controls as
// Windows itself maps them.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::u16string DecodeWindows1252(std::span<const std::byte> bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (const std::byte b : bytes) {
    const auto v = std::to_integer<unsigned>(b);
    out.push_back(v >= 0x80 && v < 0xA0 ? kWindows1252High[v - 0x80] : static_cast<char16_t>(v));
  }
  return out;
}

// Code pages decoded by the C library's iconv, with the converter names.
constexpr std::array<IconvCodePage, 33> kIconvCodePages = {{
    {437, "CP437"},          {737, "CP737"},
    {775, "CP775"},          {850, "CP850"},
    {852, "CP852"},          {855, "CP855"},
    {857, "CP857"},          {860, "CP860"},
    {861, "CP861"},          {862, "CP862"},
    {863, "CP863"},          {864, "CP864"},
    {865, "CP865"},          {866, "CP866"},
    {869, "CP869"},          {874, "CP874"},
    {932, "CP932"},          {936, "CP936"},
    {949, "CP949"},          {950, "CP950"},
    {1250, "CP1250"},        {1251, "CP1251"},
    {1253, "CP1253"},        {1254, "CP1254"},
    {1255, "CP1255"},        {1256, "CP1256"},
    {1257, "CP1257"},        {1258, "CP1258"},
    {1361, "JOHAB"},         {10000, "MACINTOSH"},
    {10007, "MAC-CYRILLIC"}, {10029, "MAC-CENTRALEUROPE"},
    {32768, "MACINTOSH"},  // BIFF's own number for Mac Roman
}};

const char* IconvName(std::uint16_t code_page) {
  for (const IconvCodePage& entry : kIconvCodePages) {
    if (entry.code_page == code_page) return entry.iconv_name;
  }
  return nullptr;
}

class Converter {
 public:
  explicit Converter(const char* name) : cd_(iconv_open("UTF-16LE", name)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

std::u16string DecodeWithIconv(const Converter& conv, std::span<const std::byte> bytes) {
  std::string in(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::u16string out;
  std::array<char, 1024> buffer{};
  char* in_ptr = in.data();
  std::size_t in_left = in.size();
  auto flush = [&](const char* end) {
    for (const char* p = buffer.data(); p + 1 < end; p += 2) {
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                          (static_cast<unsigned char>(p[1]) << 8)));
    }
  };
  // Emits what the converter holds back and returns it to its initial state.
  auto drain = [&] {
    char* out_ptr = buffer.data();
    std::size_t out_left = buffer.size();
    iconv(conv.get(), nullptr, nullptr, &out_ptr, &out_left);
    flush(out_ptr);
  };
  while (in_left > 0) {
    char* out_ptr = buffer.data();
    std::size_t out_left = buffer.size();
    const std::size_t r = iconv(conv.get(), &in_ptr, &in_left, &out_ptr, &out_left);
    flush(out_ptr);
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // An invalid or cut-off sequence: one replacement, then carry on after its first byte.
    drain();
    out.push_back(kReplacement);
    ++in_ptr;
    --in_left;
  }
  // Converters that combine a letter with a following accent (1255, 1258) hold the
  // last letter back until they see what follows: the end of the name.
  drain();
  return out;
}

}  // namespace

std::vector<std::uint16_t> IconvCodePages() {
  std::vector<std::uint16_t> out;
  for (const IconvCodePage& entry : kIconvCodePages) out.push_back(entry.code_page);
  return out;
}

std::u16string DecodeCodePage(std::uint16_t code_page, std::span<const std::byte> bytes) {
  if (auto text = DecodeUnicodeCodePage(code_page, bytes)) return std::move(*text);
  if (const char* name = IconvName(code_page)) {
    const Converter conv(name);
    if (conv.ok()) return DecodeWithIconv(conv, bytes);
  }
  // 1252, 367/20127 (ASCII, whose writers put Windows-1252 in the high half), 32769
  // (BIFF's "ANSI") and anything unknown.
  return DecodeWindows1252(bytes);
}

}  // namespace vexmar::workbook
