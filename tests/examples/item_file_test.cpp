#include "examples/host/item_file.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace vexmar::example {
namespace {

struct Expected {
  ItemKind kind;
  std::u16string file;
  std::u16string rule;
};

struct GoodCase {
  const char* name;
  std::string text;
  std::vector<Expected> items;
};
void PrintTo(const GoodCase& c, std::ostream* os) { *os << c.name; }

class ItemFileGood : public testing::TestWithParam<GoodCase> {};

TEST_P(ItemFileGood, GivesTheItems) {
  const GoodCase& c = GetParam();
  const std::vector<ExamItem> items = ParseItemFile(c.text);
  ASSERT_EQ(items.size(), c.items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(items[i].kind, c.items[i].kind);
    EXPECT_EQ(items[i].file_name, c.items[i].file);
    EXPECT_EQ(items[i].rule, c.items[i].rule);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ItemFileGood,
    testing::Values(
        GoodCase{"ThreeKinds",
                 "[sheet] file=成绩表.xls\nK|*成绩*|5|m\n检查\n---\n[naming]\nW|*.xls|4|n\n---\n"
                 "[multifile]\n#FILE\n*.xls#a.txt\n",
                 {{ItemKind::kSheet, u"成绩表.xls", u"K|*成绩*|5|m\r\n检查"},
                  {ItemKind::kNaming, u"", u"W|*.xls|4|n"},
                  {ItemKind::kMultiFile, u"", u"#FILE\r\n*.xls#a.txt"}}},
        GoodCase{"CrLfLineEndsAndByteOrderMark",
                 "\xEF\xBB\xBF[naming]\r\nW|a|1|m\r\nL2\r\n---\r\n[multifile]\r\n#FILE\r\nb",
                 {{ItemKind::kNaming, u"", u"W|a|1|m\r\nL2"},
                  {ItemKind::kMultiFile, u"", u"#FILE\r\nb"}}},
        GoodCase{"CommentsAndBlankLinesBeforeTheHeader",
                 "; about the exam\n\n  ; indented\n[naming]\n; rule text, not a comment\n",
                 {{ItemKind::kNaming, u"", u"; rule text, not a comment"}}},
        // Trailing blank lines go; blank lines inside, and a leading one, are the rule's.
        GoodCase{"BlankLinesInsideAndAtTheEdges",
                 "[naming]\n\nW|a|1|m\n\nL3\n\n  \n---\n",
                 {{ItemKind::kNaming, u"", u"\r\nW|a|1|m\r\n\r\nL3"}}},
        GoodCase{"EmptyBlocksAreSkipped",
                 "---\n---\n[naming]\nW|a|1|m\n---\n---\n; end\n",
                 {{ItemKind::kNaming, u"", u"W|a|1|m"}}},
        GoodCase{"HeaderOnlyGivesAnEmptyRule",
                 "[multifile]\n---\n[naming]",
                 {{ItemKind::kMultiFile, u"", u""}, {ItemKind::kNaming, u"", u""}}},
        GoodCase{"QuotedFileNameWithSpaces",
                 "[sheet]   file=\"my book.xls\"  \nK|S*|1|m",
                 {{ItemKind::kSheet, u"my book.xls", u"K|S*|1|m"}}},
        // A lone CR is ordinary text of the rule; only line ends become CR LF.
        GoodCase{"LoneCarriageReturnStays",
                 "[naming]\nW|a\rb|1|m\n",
                 {{ItemKind::kNaming, u"", u"W|a\rb|1|m"}}},
        GoodCase{"NothingAtAll", "", {}}),
    [](const testing::TestParamInfo<GoodCase>& param) { return std::string(param.param.name); });

struct BadCase {
  const char* name;
  std::string text;
  std::size_t line;
};
void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }

class ItemFileBad : public testing::TestWithParam<BadCase> {};

TEST_P(ItemFileBad, NamesTheLine) {
  const BadCase& c = GetParam();
  try {
    ParseItemFile(c.text);
    FAIL() << "no error";
  } catch (const ItemFileError& e) {
    EXPECT_EQ(e.Line(), c.line) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ItemFileBad,
    testing::Values(BadCase{"RuleTextBeforeAHeader", "; c\nK|a|1|m\n", 2},
                    BadCase{"UnknownKind", "[naming]\nx\n---\n[table]\n", 4},
                    BadCase{"SheetWithoutFile", "[sheet]\nK|a|1|m", 1},
                    BadCase{"FileOnANamingItem", "[naming] file=a.xls\n", 1},
                    BadCase{"FileTwice", "[sheet] file=a.xls file=b.xls\n", 1},
                    BadCase{"UnknownAttribute", "[sheet] file=a.xls sheet=x\n", 1},
                    BadCase{"AttributeWithoutValue", "[sheet] file\n", 1},
                    BadCase{"UnterminatedQuote", "[sheet] file=\"a b\n", 1},
                    BadCase{"NotUtf8InTheRule", "[naming]\nW|ok|1|m\nW|\xB3\xC9|1|m\n", 3},
                    BadCase{"NotUtf8InAComment", "; \xFF\n[naming]\n", 1},
                    BadCase{"NotUtf8InTheFileName", "[sheet] file=\xC9.xls\n", 1}),
    [](const testing::TestParamInfo<BadCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace vexmar::example
