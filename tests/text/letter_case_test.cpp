#include "vexmar/text/letter_case.hpp"

#include <gtest/gtest.h>

#ifdef VEXMAR_HAVE_ICU
#include <unicode/uchar.h>
#include <unicode/uversion.h>
#endif

namespace vexmar {
namespace {

TEST(LetterCaseTest, UpperCasesEveryScriptOneUnitForOne) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"sheet1", u"SHEET1"},
      {u"αβγ ως", u"ΑΒΓ ΩΣ"},
      {u"привет ёж", u"ПРИВЕТ ЁЖ"},
      {u"ａｂｃｚ", u"ＡＢＣＺ"},
      {u"成绩表 2024，！", u"成绩表 2024，！"},
      {u"ß", u"ß"},    // no single-unit upper case
      {u"ǆ", u"Ǆ"},    // titlecase digraph maps to its upper form
      {u"ÿ", u"Ÿ"},
      {u"ı", u"I"},    // dotless i upper-cases to I; no locale rules apply
      {u"i", u"I"},
      {u"\U00010428", u"\U00010428"},  // surrogate pairs stay as they are
  };
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(ToUpper(in), out);
    EXPECT_EQ(ToUpper(in).size(), in.size());
  }
}

TEST(LetterCaseTest, ComparesIgnoringCaseOnly) {
  EXPECT_TRUE(EqualsIgnoreCase(u"Sheet1", u"SHEET1"));
  EXPECT_TRUE(EqualsIgnoreCase(u"ΣΊΣΥΦΟΣ", u"σίσυφος"));
  EXPECT_FALSE(EqualsIgnoreCase(u"ＡＢＣ", u"ABC"));
  EXPECT_FALSE(EqualsIgnoreCase(u"a", u"ab"));
  EXPECT_EQ(CompareIgnoreCase(u"a", u"B"), -1);
  EXPECT_EQ(CompareIgnoreCase(u"b", u"A"), 1);
  EXPECT_EQ(CompareIgnoreCase(u"abc", u"ABC"), 0);
  EXPECT_EQ(CompareIgnoreCase(u"ab", u"ABC"), -1);
  // Upper-cased ordinal order: "_" (0x5F) sorts after upper-case letters.
  EXPECT_EQ(CompareIgnoreCase(u"_", u"z"), 1);
}

TEST(LetterCaseTest, FindReportsOneBasedPositions) {
  EXPECT_EQ(FindIgnoreCase(u"abcABC", u"bc", 1), 2);
  EXPECT_EQ(FindIgnoreCase(u"abcABC", u"bc", 3), 5);
  EXPECT_EQ(FindIgnoreCase(u"abc", u"bc", 4), 0);
  EXPECT_EQ(FindIgnoreCase(u"abc", u"", 1), 0);
  EXPECT_EQ(FindExact(u"abcABC", u"BC", 1), 5);
  const std::u16string long_needle = u"abcdefghijklmnopqrstuvwxyz";
  EXPECT_EQ(FindIgnoreCase(u"xx" + ToUpper(long_needle), long_needle, 1), 3);
  EXPECT_EQ(FindIgnoreCase(u"aaaaaaaaaaaaab", u"AAAAAAAAAB", 1), 5);
}

#ifdef VEXMAR_HAVE_ICU
// The generated table must agree with ICU's simple upper-case mapping for every BMP unit
// whose mapping stays a single unit.
TEST(LetterCaseTest, TableAgreesWithIcu) {
  int checked = 0;
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const auto icu = static_cast<char32_t>(u_toupper(static_cast<UChar32>(c)));
    const char16_t expected = icu < 0x10000 ? static_cast<char16_t>(icu) : static_cast<char16_t>(c);
    ASSERT_EQ(ToUpperUnit(static_cast<char16_t>(c)), expected)
        << std::hex << static_cast<unsigned>(c) << " ICU " << U_ICU_VERSION;
    ++checked;
  }
  EXPECT_EQ(checked, 0x10000 - 0x800);
}
#endif

}  // namespace
}  // namespace vexmar
