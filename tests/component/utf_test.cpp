#include "vexmar/component/utf.hpp"

#include <gtest/gtest.h>

namespace vexmar {
namespace {

TEST(UtfTest, ValidTextRoundTrips) {
  const std::u16string samples[] = {u"", u"abc", u"成绩表", u"Ωμέγα", u"\U0001F600x", u"\u00e9"};
  for (const auto& s : samples) {
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(s)), s);
    EXPECT_EQ(Utf8ToUtf16Escaped(Utf16ToUtf8(s)), s);
  }
}

TEST(UtfTest, InvalidBytesRoundTripThroughLoneSurrogates) {
  const std::string samples[] = {
      "\xff", "a\xc3", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xb3\xc9\xbc\xa8.xls",
      "\xe6\x88", "ok\x80\x80"};
  for (const auto& bytes : samples) {
    const std::u16string decoded = Utf8ToUtf16Escaped(bytes);
    for (char16_t u : decoded) {
      if (u >= 0xD800 && u <= 0xDFFF) {
        EXPECT_GE(u, 0xDC80);
        EXPECT_LE(u, 0xDCFF);
      }
    }
    EXPECT_EQ(Utf16ToUtf8(decoded), bytes);
  }
  EXPECT_EQ(Utf8ToUtf16("a\xff"), u"a\uFFFD");
}

TEST(UtfTest, OtherLoneSurrogatesBecomeReplacementCharacter) {
  EXPECT_EQ(Utf16ToUtf8(u"\xD800"), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0xDC10})), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace vexmar
