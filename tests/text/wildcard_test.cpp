#include <gtest/gtest.h>

#include "support/param_name.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/text/split_and_match.hpp"
#include "vexmar/text/matcher_classes.hpp"

namespace vexmar {
namespace {

struct MatchCase {
  std::u16string source;
  std::u16string pattern;
  std::int32_t start;
  std::int32_t position;
  std::int32_t length;
};

void PrintTo(const MatchCase& c, std::ostream* os) {
  *os << "'" << Utf16ToUtf8(c.pattern) << "' in '" << Utf16ToUtf8(c.source) << "' from " << c.start;
}

class MatchWildcardTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchWildcardTest, GivesPositionAndLength) {
  const MatchCase& c = GetParam();
  std::int32_t length = 12345;
  EXPECT_EQ(MatchWildcard(c.source, c.pattern, c.start, length), c.position);
  EXPECT_EQ(length, c.length);
  // The class passes everything through unchanged.
  ClsPatternMatchStr matcher;
  length = 777;
  EXPECT_EQ(matcher.MatchString(c.source, c.pattern, c.start, length), c.position);
  EXPECT_EQ(length, c.length);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MatchWildcardTest,
    ::testing::Values(
        MatchCase{u"456678343", u"45*43*", 1, 1, 9}, MatchCase{u"456678343", u"45*43*", 2, -1, 0},
        MatchCase{u"ABCbc", u"bc", 1, 2, 2}, MatchCase{u"ab", u"abc", 1, 0, 0},
        MatchCase{u"", u"a", 1, -1, 0}, MatchCase{u"a", u"", 1, -1, 0},
        MatchCase{u"", u"", 0, -1, 0},  // empty input wins over a bad start
        MatchCase{u"abc", u"b*", 1, 2, 2}, MatchCase{u"abc", u"*", 1, 1, 3},
        MatchCase{u"abc", u"*", 2, 2, 2}, MatchCase{u"abc", u"*", 4, 4, 0},
        MatchCase{u"abc", u"*", 5, -1, 0},  // beyond the end: no negative length
        MatchCase{u"abc", u"***", 9, -1, 0}, MatchCase{u"xab", u"*b", 1, 1, 3},
        MatchCase{u"xab", u"?b", 1, 1, 3}, MatchCase{u"abxc", u"a?c", 1, 1, 4},
        MatchCase{u"FILE1.XLS", u"file?.xls", 1, 1, 9}, MatchCase{u"Sheet1", u"Sheet?", 1, 1, 6},
        MatchCase{u"Sheet1", u"Sheet??", 1, -1, 0}, MatchCase{u"a", u"?", 1, 1, 1},
        MatchCase{u"a", u"??", 1, -1, 0}, MatchCase{u"MySheet1", u"Sheet*", 1, 3, 6},
        MatchCase{u"abc", u"x*y", 1, -1, 0}, MatchCase{u"abc", u"*?", 1, 1, 1},
        MatchCase{u"abcabc", u"c*a", 1, 3, 2}, MatchCase{u"xab", u"a**", 1, 2, 2},
        MatchCase{u"abc", u"?", 3, 3, 1}, MatchCase{u"abc", u"?", 4, -1, 0},
        MatchCase{u"abc", u"bc", 4, 0, 0}, MatchCase{u"abc", u"c", 2147483647, 0, 0},
        MatchCase{u"abc", u"*?*", 1, 1, 3}, MatchCase{u"abc", u"??*", 2, 2, 2},
        // Letters of every script ignore case; Chinese is matched as written.
        MatchCase{u"Отчёт за год", u"ОТЧЁТ*", 1, 1, 12}, MatchCase{u"ΣΥΝΟΛΟ", u"σύν*", 1, -1, 0},
        MatchCase{u"ΣΎΝΟΛΟ", u"σύν*", 1, 1, 6}, MatchCase{u"学生成绩表", u"*成绩*", 1, 1, 5},
        MatchCase{u"学生成绩表", u"成绩", 1, 3, 2}, MatchCase{u"ＳＨＥＥＴ1", u"ｓｈｅｅｔ?", 1, 1, 6},
        MatchCase{u"SHEET1", u"ｓｈｅｅｔ?", 1, -1, 0},
        // A surrogate pair is two units; a "?" takes one of them.
        MatchCase{u"a\U0001F600b", u"a??b", 1, 1, 4}, MatchCase{u"a\U0001F600b", u"a?b", 1, 1, 4},
        MatchCase{u"\U0001F600", u"\U0001F600", 1, 1, 2}),
    vexmar::testing::ReadableParamName());

TEST(MatchWildcardErrorTest, StartBelowOneIsInvalidArgumentAndClearsLength) {
  for (std::int32_t start : {0, -1, -2147483647 - 1}) {
    for (const char16_t* pattern : {u"ab", u"a*"}) {
      std::int32_t length = 99;
      try {
        MatchWildcard(u"abc", pattern, start, length);
        FAIL();
      } catch (const Error& e) {
        EXPECT_EQ(e.Number(), 5);
      }
      EXPECT_EQ(length, 0);
    }
  }
}

TEST(MatchWildcardErrorTest, QuestionRunPastInt32RangeIsOverflow) {
  std::int32_t length = 0;
  try {
    MatchWildcard(u"abc", u"??", 2147483647, length);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 6);
  }
}

TEST(MatchWildcardTest, MegabyteInputsStayLinear) {
  std::u16string source(1 << 20, u'a');
  std::u16string pattern(1000, u'a');
  pattern += u"b*";
  std::int32_t length = 0;
  EXPECT_EQ(MatchWildcard(source, pattern, 1, length), -1);
  source.back() = u'B';
  pattern = std::u16string(5000, u'A') + u'b';
  EXPECT_EQ(MatchWildcard(source, pattern, 1, length), (1 << 20) - 5000);
  EXPECT_EQ(length, 5001);
  EXPECT_EQ(MatchWildcard(source, u"*?" + std::u16string(20, u'a'), 1, length), 1);
  EXPECT_EQ(length, 21);
}

TEST(ParsePatternTest, CutsPatternIntoSegments) {
  using S = PatternSegment;
  struct Case {
    std::u16string pattern;
    std::vector<S> segments;
  };
  const Case cases[] = {
      {u"45*43*", {{}, {u"45", 0, S::kLiteral}, {u"*", 0, S::kStar}, {u"43", 0, S::kLiteral},
                   {u"*", 0, S::kStar}}},
      {u"a??b", {{}, {u"a", 0, S::kLiteral}, {u"?", 2, S::kQuestion}, {u"b", 0, S::kLiteral}}},
      {u"**x", {{}, {u"*", 0, S::kStar}, {u"x", 0, S::kLiteral}}},
      {u"*?*", {{}, {u"*", 0, S::kStar}, {u"?", 1, S::kQuestion}, {u"*", 0, S::kStar}}},
      {u"?", {{}, {u"?", 1, S::kQuestion}}},
      {u"", {{}}},
      {u"plain", {{}, {u"plain", 0, S::kLiteral}}},
  };
  for (const auto& c : cases) {
    std::vector<S> segments(3);
    ParsePattern(c.pattern, segments);
    EXPECT_EQ(segments, c.segments);
  }
}

TEST(ClsTestTest, SelfTestRunsQuietly) {
  ClsTest t;
  EXPECT_NO_THROW(t.Test());
}

}  // namespace
}  // namespace vexmar
