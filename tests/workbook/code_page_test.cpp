// Byte strings of BIFF2..BIFF5 names in the code pages a CODEPAGE record names.
#include <gtest/gtest.h>

#include <string>

#include "support/param_name.hpp"
#include "vexmar/workbook/xls/code_page.hpp"

namespace {

using vexmar::workbook::DecodeCodePage;

std::u16string Decode(std::uint16_t cp, std::string_view bytes) {
  return DecodeCodePage(cp, std::as_bytes(std::span(bytes.data(), bytes.size())));
}

struct Case {
  std::uint16_t code_page;
  std::string bytes;
  std::u16string text;
};

void PrintTo(const Case& c, std::ostream* os) { *os << "cp" << c.code_page; }

class CodePages : public testing::TestWithParam<Case> {};

TEST_P(CodePages, DecodeAsWindowsDoes) {
  EXPECT_EQ(Decode(GetParam().code_page, GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CodePages,
    testing::Values(
        Case{936, "\xB3\xC9\xBC\xA8\xB1\xED", u"成绩表"},                       // GBK
        Case{936, "A\x81\x40", u"A\u4E02"},                                     // GBK extension row
        Case{1252, "Caf\xE9 \x80\x9F", u"Café €Ÿ"}, Case{32769, "\x80", u"€"},  // BIFF's "ANSI"
        Case{367, "abc\xE9", u"abcé"}, Case{1250, "\x8A\xE8", u"Šč"},
        Case{1251, "\xCC\xE8\xF0", u"Мир"}, Case{932, "\x83\x65\x83\x58\x83\x67", u"テスト"},
        Case{949, "\xC7\xD1\xB1\xDB", u"한글"}, Case{950, "\xA4\xA4\xA4\xE5", u"中文"},
        Case{10000, "R\x8Esum\x8E", u"Résumé"},
        Case{32768,
             "Gr\x9A\xA7"
             "e",
             u"Größe"},
        Case{1200, std::string("A\0\x2D\x4E", 4), u"A中"},
        Case{1200, std::string("A\0\x2D", 3), u"A\uFFFD"}, Case{65001, "\xE4\xB8\xAD", u"中"},
        Case{12345, "\x80x", u"€x"},   // unknown: read as 1252
        Case{936, "\xB3", u"\uFFFD"},  // cut-off double byte
        Case{936, "", u""},
        // Letters a converter holds back to see whether
        // an accent follows, at the end of the name.
        Case{1258, "Vi\xEA", u"Viê"}, Case{1255, "\xF9\xEC\xE5\xED", u"שלום"}),
    vexmar::testing::ReadableParamName());

// Every name must come out whole whatever the converter buffers: the name's last
// letter was lost by the converters of 1255 and 1258.
TEST(CodePages, EveryConverterGivesTheLastLetter) {
  for (const std::uint16_t cp : vexmar::workbook::IconvCodePages()) {
    EXPECT_EQ(Decode(cp, "Implied"), u"Implied") << cp;
    EXPECT_EQ(Decode(cp, "a"), u"a") << cp;
  }
}

}  // namespace
