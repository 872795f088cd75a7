#include "vexmar/workbook/xml/xml_legacy_encoding.hpp"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "vexmar/workbook/xml/xml_prolog.hpp"

namespace vexmar::workbook {
namespace {

// Labels that name a Windows code page's subset: decode with the superset, as the
// programs that wrote them do.
struct Alias {
  std::string_view label;
  const char* iconv_name;
};
constexpr Alias kAliases[] = {
    {"gb2312", "CP936"},        {"gbk", "CP936"},          {"x-gbk", "CP936"},
    {"cp936", "CP936"},         {"windows-936", "CP936"},  {"gb18030", "GB18030"},
    {"big5", "CP950"},          {"x-x-big5", "CP950"},     {"big5-hkscs", "BIG5-HKSCS"},
    {"shift_jis", "CP932"},     {"shift-jis", "CP932"},    {"x-sjis", "CP932"},
    {"sjis", "CP932"},          {"windows-31j", "CP932"},  {"euc-kr", "CP949"},
    {"ks_c_5601-1987", "CP949"}, {"windows-949", "CP949"}, {"x-mac-roman", "MACINTOSH"},
    {"macintosh", "MACINTOSH"}, {"x-mac-cyrillic", "MAC-CYRILLIC"},
    {"x-mac-ce", "MAC-CENTRALEUROPE"}, {"tis-620", "CP874"}, {"windows-874", "CP874"},
};
constexpr std::size_t kMaxLabel = 40;

// One converter per document, and the lengths expat was told for each lead byte.
struct Decoder {
  iconv_t cd;
  std::array<int, 256> map;
};

// Converts `bytes` completely to one code point; -1 when they are not exactly one
// character. `flush` makes converters that hold a base letter back (1258) give it up.
int ConvertOne(iconv_t cd, const char* bytes, std::size_t length, int* error) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::array<char, 32> in{};
  std::copy_n(bytes, length, in.data());
  char* in_ptr = in.data();
  std::size_t in_left = length;
  std::array<unsigned char, 16> out{};
  char* out_ptr = reinterpret_cast<char*>(out.data());
  std::size_t out_left = out.size();
  *error = 0;
  if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<std::size_t>(-1)) {
    *error = errno;
    return -1;
  }
  iconv(cd, nullptr, nullptr, &out_ptr, &out_left);
  if (out.size() - out_left != 4) return -1;  // none, or several characters
  const std::uint32_t cp = std::uint32_t{out[0]} | (std::uint32_t{out[1]} << 8) |
                           (std::uint32_t{out[2]} << 16) | (std::uint32_t{out[3]} << 24);
  return cp <= 0x10FFFF ? static_cast<int>(cp) : -1;
}

int XMLCALL Convert(void* data, const char* s) {
  auto* decoder = static_cast<Decoder*>(data);
  const int length = -decoder->map[static_cast<unsigned char>(s[0])];
  int error = 0;
  return ConvertOne(decoder->cd, s, static_cast<std::size_t>(length), &error);
}

void XMLCALL Release(void* data) {
  auto* decoder = static_cast<Decoder*>(data);
  iconv_close(decoder->cd);
  delete decoder;
}

// The sequence length that a lead byte starts: a few typical trail bytes are tried for
// two, three and four bytes (EUC-JP's 0x8F, GB18030's four-byte form).
int SequenceLength(iconv_t cd, unsigned char lead) {
  static constexpr std::array<std::array<unsigned char, 3>, 6> kTrails = {{
      {0xA1, 0xA1, 0xA1},
      {0x40, 0x40, 0x40},
      {0x80, 0x80, 0x80},
      {0x61, 0x61, 0x61},
      {0xE0, 0xA1, 0xA1},
      {0x30, 0x81, 0x30},
  }};
  for (std::size_t length = 2; length <= 4; ++length) {
    for (const auto& trail : kTrails) {
      std::array<char, 4> bytes{static_cast<char>(lead)};
      std::copy_n(trail.begin(), length - 1, reinterpret_cast<unsigned char*>(bytes.data()) + 1);
      int error = 0;
      if (ConvertOne(cd, bytes.data(), length, &error) >= 0) return static_cast<int>(length);
    }
  }
  return 0;
}

const char* IconvName(std::string_view label, std::string& storage) {
  std::string lower(label);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
  for (const Alias& alias : kAliases) {
    if (alias.label == lower) return alias.iconv_name;
  }
  // windows-1250 .. windows-1258 and the like: glibc calls them CP1250 ...
  // A label without its number ("windows-") names nothing and is left as it is.
  if (lower.starts_with("windows-") || lower.starts_with("x-cp")) {
    if (const std::size_t digits = lower.find_first_of("0123456789"); digits != std::string::npos) {
      storage = "CP" + lower.substr(digits);
      return storage.c_str();
    }
  }
  storage = std::move(lower);
  return storage.c_str();
}

bool IsLabel(std::string_view label) noexcept {
  return !label.empty() && label.size() <= kMaxLabel &&
         std::all_of(label.begin(), label.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '-' || c == '_' || c == '.' || c == ':';
         });
}

// Encodings the parser reads itself.
bool IsParserEncoding(std::string_view label) noexcept {
  std::string lower(label);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
  return lower == "utf-8" || lower == "utf-16" || lower == "utf-16le" || lower == "utf-16be" ||
         lower == "iso-8859-1" || lower == "us-ascii";
}

thread_local std::uint64_t converter_calls = 0;
constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kHead = 512;
constexpr char kNeverUtf8 = '\xFF';

// A converter to UTF-8 for `label`, or nullptr when the label names nothing iconv reads
// or an encoding whose ASCII range is not ASCII (the parser could not find its markup).
iconv_t OpenToUtf8(std::string_view label) {
  if (!IsLabel(label)) return nullptr;
  std::string storage;
  const char* iconv_name = IconvName(label, storage);
  if (std::string_view(iconv_name).starts_with("utf-7")) return nullptr;
  const iconv_t cd = iconv_open("UTF-8", iconv_name);
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  std::array<char, 127> ascii{};
  for (std::size_t i = 0; i < ascii.size(); ++i) ascii[i] = static_cast<char>(i + 1);
  std::array<char, 2 * ascii.size()> out{};
  char* in_ptr = ascii.data();
  std::size_t in_left = ascii.size();
  char* out_ptr = out.data();
  std::size_t out_left = out.size();
  const bool converted = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<std::size_t>(-1) &&
                         iconv(cd, nullptr, nullptr, &out_ptr, &out_left) != static_cast<std::size_t>(-1);
  if (!converted || out.size() - out_left != ascii.size() ||
      std::memcmp(out.data(), ascii.data(), ascii.size()) != 0) {
    iconv_close(cd);
    return nullptr;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  return cd;
}

}  // namespace

LegacyEncodingStream::~LegacyEncodingStream() {
  if (converter_ != nullptr) iconv_close(static_cast<iconv_t>(converter_));
}

std::uint64_t LegacyEncodingStream::ConverterCalls() noexcept { return converter_calls; }

std::size_t LegacyEncodingStream::Read(std::span<std::byte> out) {
  // Documents passed unchanged go straight into the caller's buffer once the head is out.
  if (started_ && converter_ == nullptr && output_pos_ == output_.size()) {
    return ended_ ? 0 : inner_.Read(out);
  }
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
  // The head is read whole first: enough for any XML declaration.
  const std::size_t want = started_ ? kChunk : kHead;
  const std::size_t kept = input_.size();
  input_.resize(kept + want);
  std::size_t got = 0;
  do {
    const std::size_t n = inner_.Read(
        std::as_writable_bytes(std::span(input_.data() + kept + got, want - got)));
    if (n == 0) {
      ended_ = true;
      break;
    }
    got += n;
  } while (!started_ && got < want);
  input_.resize(kept + got);
  if (!started_) Start();
  if (converter_ == nullptr) {
    output_.insert(output_.end(), input_.begin(), input_.end());
    input_.clear();
  } else {
    Convert();
  }
  return !ended_ || !output_.empty();
}

void LegacyEncodingStream::Start() {
  started_ = true;
  const std::string_view head(input_.data(), input_.size());
  std::size_t begin = 0;
  std::size_t end = 0;
  if (!FindEncodingLabel(head, &begin, &end)) return;
  const std::string_view label = head.substr(begin, end - begin);
  if (IsParserEncoding(label)) return;
  const iconv_t cd = OpenToUtf8(label);
  if (cd == nullptr) return;  // left to the parser, which calls it unknown
  converter_ = cd;
  output_.assign(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(begin));
  const std::string_view utf8 = "UTF-8";
  output_.insert(output_.end(), utf8.begin(), utf8.end());
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(end));
}

void LegacyEncodingStream::Convert() {
  const auto cd = static_cast<iconv_t>(converter_);
  const std::size_t start = output_.size();
  // A byte of input gives at most four of UTF-8 (the four-byte forms give four).
  output_.resize(start + 4 * input_.size() + 16);
  char* in_ptr = input_.data();
  std::size_t in_left = input_.size();
  char* out_ptr = output_.data() + start;
  std::size_t out_left = output_.size() - start;
  while (in_left > 0) {
    ++converter_calls;
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<std::size_t>(-1)) break;
    if (errno == EINVAL && !ended_) break;  // a character cut by the chunk's end
    if (errno == E2BIG) break;              // cannot happen with the room above
    // No character (EILSEQ), or one cut by the end of the document.
    *out_ptr++ = kNeverUtf8;
    --out_left;
    ++in_ptr;
    --in_left;
  }
  if (ended_) {
    iconv(cd, nullptr, nullptr, &out_ptr, &out_left);  // a letter held back for an accent
    in_left = 0;
  }
  output_.resize(static_cast<std::size_t>(out_ptr - output_.data()));
  input_.erase(input_.begin(), input_.end() - static_cast<std::ptrdiff_t>(in_left));
}

int XMLCALL LegacyEncodingHandler(void*, const XML_Char* name, XML_Encoding* info) {
  const std::string_view label(name);
  if (!IsLabel(label)) return XML_STATUS_ERROR;
  std::string storage;
  const char* iconv_name = IconvName(label, storage);
  if (std::string_view(iconv_name).starts_with("utf-7")) return XML_STATUS_ERROR;
  const iconv_t cd = iconv_open("UTF-32LE", iconv_name);
  if (cd == reinterpret_cast<iconv_t>(-1)) return XML_STATUS_ERROR;
  auto* decoder = new (std::nothrow) Decoder{cd, {}};
  if (decoder == nullptr) {
    iconv_close(cd);
    return XML_STATUS_ERROR;
  }
  bool multibyte = false;
  for (std::size_t b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    int error = 0;
    const int cp = ConvertOne(cd, &byte, 1, &error);
    if (cp >= 0 && cp <= 0xFFFF && (cp < 0xD800 || cp > 0xDFFF)) {
      decoder->map[b] = cp;
    } else if (error == EINVAL && b >= 0x80) {
      const int length = SequenceLength(cd, static_cast<unsigned char>(b));
      decoder->map[b] = length > 0 ? -length : -1;
      multibyte = multibyte || length > 0;
    } else {
      decoder->map[b] = -1;
    }
  }
  std::copy(decoder->map.begin(), decoder->map.end(), std::begin(info->map));
  info->data = decoder;
  info->convert = multibyte ? &Convert : nullptr;
  info->release = &Release;
  return XML_STATUS_OK;
}

}  // namespace vexmar::workbook
