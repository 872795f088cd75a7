// GetFileNames: a naming rule's file field resolved to answer files.
#include <gtest/gtest.h>

#include <string>

#include "platform/temp_directory.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/names/repeat_name.hpp"

namespace vexmar {
namespace {

using vexmar::testing::TempDirectory;

struct Resolved {
  std::int32_t result;
  StringList list;
};

Resolved Resolve(const std::u16string& rule, const std::u16string& directory,
                 StringList list = StringList{u"old", u"x", u"y"}) {
  const std::int32_t result = ClsRepeatName().GetFileNames(rule, list, directory);
  return {result, std::move(list)};
}

struct PlainCase {
  std::u16string rule;
  StringList expected;
};

TEST(GetFileNamesTest, PlainItemsAsWrittenWithoutTheDirectory) {
  const PlainCase cases[] = {
      {u"K|a.xls#b.xls|5|m", {u"", u"a.xls", u"b.xls"}},
      {u"K|a.xls##b.xls|5|m", {u"", u"a.xls", u"b.xls"}},
      {u"K|a.xls#b.xls#|5|m", {u"", u"a.xls", u"b.xls"}},
      {u"K|#a.xls|5|m", {u"", u"a.xls"}},
      {u"K|a.xls#A.XLS#a.xls|5|m", {u"", u"a.xls", u"A.XLS", u"a.xls"}},  // plain repeats stay
      {u"K| a.xls |5|m", {u"", u" a.xls "}},                           // not trimmed
      {u"K|a.xls", {u"", u"a.xls"}},  // two fields are enough
      {u"K", {u""}},
      {u"", {u""}},
      {u"K||5|m", {u""}},
      {u"\r\nK|a.xls|5|m", {u""}},
      {u"K|a.xls|5|m\r\nK|b.xls|5|m", {u"", u"a.xls"}},  // only the first line
      {u"K|a.xls\rb.xls|5|m", {u"", u"a.xls\rb.xls"}},   // lone CR is text
      {u"K|a.xls\nb.xls|5|m", {u"", u"a.xls\nb.xls"}},   // so is lone LF
      {u"K|a.xls\r\nb.xls|5|m", {u"", u"a.xls"}},
  };
  for (const auto& c : cases) {
    const Resolved r = Resolve(c.rule, u"D:\\exam\\001");
    EXPECT_EQ(r.list, c.expected) << Utf16ToUtf8(c.rule);
    EXPECT_EQ(r.result, c.expected.UpperBound()) << Utf16ToUtf8(c.rule);
  }
}

TEST(GetFileNamesTest, AbsentListIsReplacedToo) {
  EXPECT_EQ(Resolve(u"K|a.xls|5|m", u"", StringList{}).list, (StringList{u"", u"a.xls"}));
}

class GetFileNamesDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.File("A.XLS");
    dir_.File("b.xls");
    dir_.File("notes.doc");
    dir_.File(".hidden.xls");
    dir_.Dir("sub.xls");
    dir_.Fifo("pipe.xls");
    dir_.Symlink("missing", "broken.xls");
    dir_.File("a|100|x.xls");  // never listed: it would set the weight of a rewritten rule
  }
  TempDirectory dir_;
};

TEST_F(GetFileNamesDirectoryTest, DuplicatesFollowTheOrderOfItems) {
  struct Case {
    std::u16string field;
    StringList expected;
  };
  const Case cases[] = {
      // The match A.XLS is not added after the plain a.xls, whatever the case.
      {u"a.xls#*.xls", {u"", u"a.xls", u"b.xls"}},
      // A plain item is appended although an equal match is present.
      {u"*.xls#a.xls", {u"", u"A.XLS", u"b.xls", u"a.xls"}},
      // Two patterns that match the same file add it once.
      {u"*.xls#a*.xls", {u"", u"A.XLS", u"b.xls"}},
      {u"*.XLS#*.doc#?.*", {u"", u"A.XLS", u"b.xls", u"notes.doc"}},
      {u"*.pdf", {u""}},
      {u"sub.xls#*.xls", {u"", u"sub.xls", u"A.XLS", u"b.xls"}},
  };
  for (const auto& c : cases) {
    const Resolved r = Resolve(u"K|" + c.field + u"|5|m", dir_.HostPath());
    EXPECT_EQ(r.list, c.expected) << Utf16ToUtf8(c.field);
    EXPECT_EQ(r.result, c.expected.UpperBound()) << Utf16ToUtf8(c.field);
  }
}

TEST_F(GetFileNamesDirectoryTest, MatchesDifferingOnlyInCaseAreAddedOnce) {
  dir_.File("a.xls");  // beside A.XLS, possible on this platform
  EXPECT_EQ(Resolve(u"K|*.xls|5|m", dir_.HostPath()).list, (StringList{u"", u"A.XLS", u"b.xls"}));
}

TEST_F(GetFileNamesDirectoryTest, DirectoryFormsAndMissingDirectories) {
  const StringList found{u"", u"A.XLS", u"b.xls"};
  EXPECT_EQ(Resolve(u"K|*.xls|5|m", dir_.HostPath() + u"/").list, found);
  EXPECT_EQ(Resolve(u"K|*.xls|5|m", dir_.HostPath() + u"\\").list, found);
  EXPECT_EQ(Resolve(u"K|*.xls|5|m", dir_.HostPath() + u"/nothing").list, StringList{u""});
  EXPECT_EQ(Resolve(u"K|*.xls|5|m", u"D:\\exam\\001").list, StringList{u""});
}

TEST_F(GetFileNamesDirectoryTest, FailureKeepsTheNamesAddedBefore) {
  StringList list{u"old"};
  const std::u16string bad_directory(u"/srv\0x", 6);
  try {
    (void)ClsRepeatName().GetFileNames(u"K|a.xls#*.xls#b.xls|5|m", list, bad_directory);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 75);
  }
  EXPECT_EQ(list, (StringList{u"", u"a.xls"}));
}

TEST(GetFileNamesNamesTest, ChineseAndNonUtf8NamesComeBackUsable) {
  TempDirectory dir;
  dir.File("成绩表.xls", "sheet");
  dir.File("r\xe9sum\xe9.xls", "latin1");
  StringList list;
  ASSERT_EQ(ClsRepeatName().GetFileNames(u"K|*.xls|5|m", list, dir.HostPath()), 2);
  EXPECT_EQ(list.At(1), u"r\xDCE9sum\xDCE9.xls");
  EXPECT_EQ(list.At(2), u"成绩表.xls");
  // The rule rewritten for a listed name still names the same file.
  const std::u16string rule = ClsRepeatName().ChangeRuleFileName(u"K|*.xls|5|m", list.At(1));
  EXPECT_EQ(rule, u"K|r\xDCE9sum\xDCE9.xls|5|m");
  EXPECT_EQ(Utf16ToUtf8(list.At(1)), "r\xe9sum\xe9.xls");
}

}  // namespace
}  // namespace vexmar
