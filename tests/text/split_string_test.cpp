#include <gtest/gtest.h>

#include "support/param_name.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/text/split_and_match.hpp"

namespace vexmar {
namespace {

struct SplitCase {
  std::u16string source;
  std::u16string delimiter;
  std::int32_t limit;
  std::int32_t compare;
  std::vector<std::u16string> expected;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
  *os << "'" << Utf16ToUtf8(c.source) << "' limit " << c.limit << " compare " << c.compare;
}

class SplitStringTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitStringTest, GivesExpectedPieces) {
  const SplitCase& c = GetParam();
  StringList items{u"old", u"stale", u"items"};
  SplitString(c.source, c.delimiter, items, c.limit, c.compare);
  EXPECT_EQ(items, StringList::FromVector(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitStringTest,
    ::testing::Values(
        SplitCase{u"", u"|", -1, 1, {u""}}, SplitCase{u"abc", u"|", -1, 1, {u"abc"}},
        SplitCase{u"a|b|c", u"|", -1, 1, {u"a", u"b", u"c"}},
        SplitCase{u"a||b", u"|", -1, 1, {u"a", u"", u"b"}},
        SplitCase{u"|a", u"|", -1, 1, {u"", u"a"}}, SplitCase{u"a|", u"|", -1, 1, {u"a", u""}},
        SplitCase{u"|", u"|", -1, 1, {u"", u""}},
        SplitCase{u"L1\r\nL2\r\n", u"\r\n", -1, 1, {u"L1", u"L2", u""}},
        SplitCase{u"L1\rL2\nL3", u"\r\n", -1, 1, {u"L1\rL2\nL3"}},
        SplitCase{u"aXbxc", u"x", -1, 1, {u"a", u"b", u"c"}},
        SplitCase{u"aXbxc", u"x", -1, 0, {u"aXb", u"c"}},
        // Greek final sigma and sigma share an upper-case form.
        SplitCase{u"aσbΣc", u"ς", -1, 1, {u"a", u"b", u"c"}},
        SplitCase{u"A\r\nB\r\nC", u"\r\n", 1, 1, {u"A"}},
        SplitCase{u"A\r\nB", u"\r\n", 1, 1, {u"A", u"B"}},
        SplitCase{u"A\r\n", u"\r\n", 1, 1, {u"A", u""}}, SplitCase{u"A", u"\r\n", 1, 1, {u"A"}},
        SplitCase{u"a|b", u"|", 0, 1, {u""}}, SplitCase{u"ab", u"|", 0, 1, {u"ab"}},
        SplitCase{u"a|b|c|d", u"|", 2, 1, {u"a", u"b"}},
        SplitCase{u"a|b|c", u"|", 3, 1, {u"a", u"b", u"c"}},
        // Overlapping candidates: occurrences are taken left to right, non-overlapping.
        SplitCase{u"aaa", u"aa", -1, 1, {u"", u"a"}},
        SplitCase{u"x##y", u"##", -1, 1, {u"x", u"y"}}),
    vexmar::testing::ReadableParamName());

TEST(SplitStringErrorTest, EmptyDelimiterAndUnknownModeAreInvalidArguments) {
  StringList items;
  for (auto call : {+[](StringList& l) { SplitString(u"abc", u"", l, -1, 1); },
                    +[](StringList& l) { SplitString(u"abc", u"b", l, -1, 2); }}) {
    try {
      call(items);
      FAIL();
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), 5);
    }
  }
}

TEST(SplitStringTest, MegabyteTextSplitsIntoEveryPiece) {
  std::u16string text;
  for (int i = 0; i < 100000; ++i) text += u"field|";
  StringList items;
  SplitString(text, u"|", items, -1, 1);
  ASSERT_EQ(items.UpperBound(), 100000);
  EXPECT_EQ(items.At(99999), u"field");
  EXPECT_EQ(items.At(100000), u"");
}

struct ContainsCase {
  std::u16string item;
  StringList list;
  bool expected;
};

TEST(ContainsItemTest, ComparesItemsFromIndexOneIgnoringCase) {
  const ContainsCase cases[] = {
      {u"sheet1", {u"", u"Sheet1"}, true},
      {u"Sheet1", {u"", u"Sheet1 "}, false},
      {u"", {u""}, false},
      {u"x", {u"x"}, false},
      {u"", {u"", u"a", u""}, true},
      {u"ДАННЫЕ", {u"", u"данные"}, true},
      {u"成绩", {u"", u"成绩表", u"成绩"}, true},
      {u"ＡＢＣ", {u"", u"ABC"}, false},  // full-width stays apart from ASCII
      {u"ａｂｃ", {u"", u"ＡＢＣ"}, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ContainsItem(c.item, c.list), c.expected) << std::string(c.item.begin(), c.item.end());
  }
  StringList absent;
  EXPECT_THROW(ContainsItem(u"a", absent), Error);
}

}  // namespace
}  // namespace vexmar
