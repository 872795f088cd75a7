#include "vexmar/workbook/code_page.hpp"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <string_view>

#include "vexmar/component/utf.hpp"

namespace vexmar::workbook {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

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

std::u16string DecodeUtf16Le(std::span<const std::byte> bytes) {
  std::u16string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out.push_back(static_cast<char16_t>(std::to_integer<unsigned>(bytes[i]) |
                                        (std::to_integer<unsigned>(bytes[i + 1]) << 8)));
  }
  if (bytes.size() % 2 != 0) out.push_back(kReplacement);
  return out;
}

// The converter name for the C library's iconv, or nullptr for code pages decoded here.
const char* IconvName(std::uint16_t code_page) {
  switch (code_page) {
    case 437:
      return "CP437";
    case 737:
      return "CP737";
    case 775:
      return "CP775";
    case 850:
      return "CP850";
    case 852:
      return "CP852";
    case 855:
      return "CP855";
    case 857:
      return "CP857";
    case 860:
      return "CP860";
    case 861:
      return "CP861";
    case 862:
      return "CP862";
    case 863:
      return "CP863";
    case 864:
      return "CP864";
    case 865:
      return "CP865";
    case 866:
      return "CP866";
    case 869:
      return "CP869";
    case 874:
      return "CP874";
    case 932:
      return "CP932";
    case 936:
      return "CP936";
    case 949:
      return "CP949";
    case 950:
      return "CP950";
    case 1250:
      return "CP1250";
    case 1251:
      return "CP1251";
    case 1253:
      return "CP1253";
    case 1254:
      return "CP1254";
    case 1255:
      return "CP1255";
    case 1256:
      return "CP1256";
    case 1257:
      return "CP1257";
    case 1258:
      return "CP1258";
    case 1361:
      return "JOHAB";
    case 10000:
      return "MACINTOSH";
    case 10007:
      return "MAC-CYRILLIC";
    case 10029:
      return "MAC-CENTRALEUROPE";
    case 32768:
      return "MACINTOSH";  // BIFF's own number for Mac Roman
    default:
      return nullptr;
  }
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
  while (in_left > 0) {
    char* out_ptr = buffer.data();
    std::size_t out_left = buffer.size();
    const std::size_t r = iconv(conv.get(), &in_ptr, &in_left, &out_ptr, &out_left);
    flush(out_ptr);
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // An invalid or cut-off sequence: one replacement, then carry on after its first byte.
    out.push_back(kReplacement);
    ++in_ptr;
    --in_left;
    iconv(conv.get(), nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

}  // namespace

std::u16string DecodeCodePage(std::uint16_t code_page, std::span<const std::byte> bytes) {
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
      break;
  }
  if (const char* name = IconvName(code_page)) {
    const Converter conv(name);
    if (conv.ok()) return DecodeWithIconv(conv, bytes);
  }
  // 1252, 367/20127 (ASCII, whose writers put Windows-1252 in the high half), 32769
  // (BIFF's "ANSI") and anything unknown.
  return DecodeWindows1252(bytes);
}

}  // namespace vexmar::workbook
