#include "vexmar/platform/file_name_match.hpp"

#include <gtest/gtest.h>

#include <string>

#include "vexmar/component/utf.hpp"

namespace vexmar {
namespace {

struct MatchCase {
  std::u16string name;
  std::u16string pattern;
  bool matches;
};

TEST(FileNameMatchesTest, WildcardsAndLetterCase) {
  const MatchCase cases[] = {
      {u"", u"", true},
      {u"", u"*", true},
      {u"", u"?", false},
      {u"a", u"", false},
      {u"book.xls", u"*", true},
      {u"book.xls", u"*.xls", true},
      {u"BOOK.XLS", u"*.xls", true},
      {u"book.xls", u"*.XLS", true},
      {u"book.xlsx", u"*.xls", false},  // no short-name quirks
      {u"book.xls", u"*.xls*", true},
      {u"book.xls", u"book.xls", true},
      {u"book.xls", u"book.xl", false},
      {u"book.xl", u"book.xls", false},
      {u"ac", u"a*c", true},
      {u"abbbc", u"a*c", true},
      {u"abbbcd", u"a*c", false},
      {u"abc", u"a?c", true},
      {u"ac", u"a?c", false},
      {u"abcc", u"a?c", false},
      {u"x", u"**", true},
      {u"abcabd", u"*ab?", true},  // the star must give back what it took
      {u"mississippi", u"*sip*", true},
      {u"mississippi", u"m*iss*ppi", true},
      {u"mississippi", u"m*x*", false},
      {u"[a].txt", u"[a].txt", true},  // "[" and "]" are ordinary characters
      {u"a.txt", u"[a].txt", false},
      {u"{x,y}", u"{x,y}", true},
      {u"x", u"{x,y}", false},
      {u"成绩表.xls", u"成绩*.XLS", true},
      {u"成绩表.xls", u"成?表.xls", true},
      {u"ДАННЫЕ.txt", u"данные.*", true},  // every letter with an upper-case form
      {u"ΣΟΦΊΑ", u"σοφία", true},
      {u"\U0001F600.txt", u"?.txt", false},  // "?" is one UTF-16 unit
      {u"\U0001F600.txt", u"??.txt", true},
      {u"bad\xDCFF.xls", u"bad?.xls", true},  // an escaped byte is one unit
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileNameMatches(c.name, c.pattern), c.matches)
        << Utf16ToUtf8(c.name) << " ~ " << Utf16ToUtf8(c.pattern);
  }
}

TEST(FileNameMatchesTest, ManyStarsOnLongNamesFinish) {
  // A naive recursive matcher takes exponential time here.
  const std::u16string name(20000, u'a');
  EXPECT_FALSE(FileNameMatches(name, u"*a*a*a*a*a*a*a*a*a*a*a*a*b"));
  EXPECT_TRUE(FileNameMatches(name + u"b", u"*a*a*a*a*a*a*a*a*a*a*a*a*b"));
}

}  // namespace
}  // namespace vexmar
