#include "vexmar/workbook/plain/text_workbook.hpp"

#include <array>
#include <cstdint>
#include <vector>

#include "vexmar/component/utf.hpp"

namespace vexmar::workbook {
namespace {

// How much of the file the text tests look at.
constexpr std::size_t kSampleBytes = 64 * 1024;
constexpr std::size_t kMaxSheetName = 31;

// The sample as 16-bit units: UTF-16 (by its byte-order mark) or one unit per byte,
// which keeps every ASCII character in place whatever the 8-bit encoding.
std::vector<char16_t> ReadSample(const FileSource& source, std::size_t limit) {
  std::vector<std::byte> raw(
      static_cast<std::size_t>(std::min<std::uint64_t>(limit, source.Size())));
  raw.resize(source.ReadSome(0, raw));
  std::vector<char16_t> units;
  const auto at = [&](std::size_t i) { return std::to_integer<unsigned>(raw[i]); };
  if (raw.size() >= 2 && ((at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF))) {
    const bool little = at(0) == 0xFF;
    for (std::size_t i = 2; i + 1 < raw.size(); i += 2) {
      units.push_back(
          static_cast<char16_t>(little ? at(i) | (at(i + 1) << 8) : (at(i) << 8) | at(i + 1)));
    }
    return units;
  }
  std::size_t start = 0;
  if (raw.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) start = 3;
  for (std::size_t i = start; i < raw.size(); ++i) units.push_back(static_cast<char16_t>(at(i)));
  return units;
}

bool IsReadableText(const std::vector<char16_t>& units) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t c = units[i];
    if (c >= 0x20 || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v') continue;
    // A trailing Ctrl-Z ends old DOS text files.
    if (c == 0x1A && i + 1 == units.size()) continue;
    return false;
  }
  return true;
}

char16_t Lower(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool ContainsIgnoringCase(const std::vector<char16_t>& units, std::u16string_view needle) {
  if (units.size() < needle.size()) return false;
  for (std::size_t i = 0; i + needle.size() <= units.size(); ++i) {
    std::size_t k = 0;
    while (k < needle.size() && Lower(units[i + k]) == needle[k]) ++k;
    if (k == needle.size()) return true;
  }
  return false;
}

bool FirstLineIsDelimited(const std::vector<char16_t>& units) {
  std::size_t i = 0;
  while (i < units.size() && (units[i] == u'\r' || units[i] == u'\n')) ++i;
  for (; i < units.size() && units[i] != u'\r' && units[i] != u'\n'; ++i) {
    if (units[i] == u',' || units[i] == u';' || units[i] == u'\t') return true;
  }
  return false;
}

bool IsMarkup(const std::vector<char16_t>& units) {
  for (const char16_t c : units) {
    if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') continue;
    return c == u'<';
  }
  return false;
}

}  // namespace

bool IsTextWorkbook(const FileSource& source) {
  const std::vector<char16_t> units = ReadSample(source, kSampleBytes);
  if (units.empty() || !IsReadableText(units)) return false;
  // Markup counts only with a table in it; other text only when it is delimited.
  if (IsMarkup(units)) return ContainsIgnoringCase(units, u"<table");
  return FirstLineIsDelimited(units);
}

bool LooksLikeXml(const FileSource& source) {
  // UTF-16 without a byte-order mark starts "<" NUL (little-endian) or NUL "<".
  std::array<std::byte, 2> head{};
  if (source.ReadSome(0, head) == 2 && head[0] == std::byte{0} && head[1] == std::byte{'<'}) {
    return true;
  }
  return IsMarkup(ReadSample(source, 1024));
}

std::u16string SheetNameFromFileName(const std::filesystem::path& file) {
  std::u16string name = PathText(file.filename().stem());
  if (name.size() > kMaxSheetName) {
    std::size_t cut = kMaxSheetName;
    if (name[cut - 1] >= 0xD800 && name[cut - 1] <= 0xDBFF) --cut;
    name.resize(cut);
  }
  return name;
}

}  // namespace vexmar::workbook
