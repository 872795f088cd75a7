#include "vexmar/multifile/excel_multi_files.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/temp_directory.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"

namespace vexmar {
namespace {

using Names = std::vector<std::u16string>;
using vexmar::testing::TempDirectory;

Names Strings(const CollectionRef& c) {
  Names out;
  for (const Variant& v : *c) out.push_back(std::get<std::u16string>(v));
  return out;
}

TEST(ExcelMultiFilesTest, CreatedEmpty) {
  ClsExcelMultiFiles files;
  EXPECT_EQ(files.Rules(), u"");
  EXPECT_EQ(files.TestPath(), u"");
  ASSERT_NE(files.FilesName(), nullptr);
  EXPECT_EQ(files.FilesName()->Count(), 0);
}

TEST(ExcelMultiFilesTest, PlainRules) {
  struct Case {
    std::u16string rules;
    std::int32_t result;
    Names names;
  };
  const Case cases[] = {
      {u"#FILE", -1, {}},
      {u"", -1, {}},
      {u"#file\r\na.xls#b.xls", 2, {u"a.xls", u"b.xls"}},
      {u"#File\r\na.xls", 1, {u"a.xls"}},
      {u" #FILE\r\na.xls", -1, {}},
      {u"#FILE \r\na.xls", -1, {}},
      {u"#FILES\r\na.xls", -1, {}},
      {u"#FILE\r\n", 0, {}},
      {u"#FILE\r\na.xls#a.xls", 2, {u"a.xls", u"a.xls"}},
      {u"#FILE\r\na.xls##b.xls#", 2, {u"a.xls", u"b.xls"}},
      {u"#FILE\r\na.xls\r\nb.xls", 1, {u"a.xls"}},
      {u"#FILE\r\n a.xls ", 1, {u" a.xls "}},
      // Only CR LF separates lines.
      {u"#FILE\ra.xls", -1, {}},
      {u"#FILE\na.xls", -1, {}},
      {u"#FILE\r\na.xls\rb.xls#c\nd", 2, {u"a.xls\rb.xls", u"c\nd"}},
      {u"\r\n#FILE\r\na.xls", -1, {}},
  };
  for (const auto& c : cases) {
    ClsExcelMultiFiles files;
    files.SetRules(c.rules);
    files.SetTestPath(u"D:\\exam\\001");
    EXPECT_EQ(files.ParseRules(), c.result) << Utf16ToUtf8(c.rules);
    EXPECT_EQ(Strings(files.FilesName()), c.names) << Utf16ToUtf8(c.rules);
  }
}

TEST(ExcelMultiFilesTest, EachParseStartsAFreshCollection) {
  ClsExcelMultiFiles files;
  files.SetRules(u"#FILE\r\na.xls#b.xls");
  ASSERT_EQ(files.ParseRules(), 2);
  const CollectionRef earlier = files.FilesName();
  ASSERT_EQ(files.ParseRules(), 2);  // not 4
  EXPECT_NE(files.FilesName(), earlier);
  EXPECT_EQ(Strings(earlier), (Names{u"a.xls", u"b.xls"}));  // the host's reference lives on

  auto mine = std::make_shared<Collection>();
  mine->Add(std::u16string(u"host"));
  files.SetFilesName(mine);
  EXPECT_EQ(files.FilesName(), mine);
  files.SetRules(u"not a rule");
  EXPECT_EQ(files.FilesName(), mine);  // untouched until the next parse
  EXPECT_EQ(files.ParseRules(), -1);
  EXPECT_NE(files.FilesName(), mine);
  EXPECT_EQ(files.FilesName()->Count(), 0);
  EXPECT_EQ(mine->Count(), 1);
}

class ExcelMultiFilesDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.File("a.xls");
    dir_.File("B.xls");
    dir_.File("c.doc");
    dir_.File(".hidden.xls");
    dir_.Dir("folder.xls");
    dir_.Fifo("fifo.xls");
    dir_.Symlink("a.xls", "alias.xls");
    dir_.Symlink("gone.xls", "dangling.xls");
  }

  std::int32_t Parse(const std::u16string& file_line, const std::u16string& test_path,
                     Names& names) const {
    ClsExcelMultiFiles files;
    files.SetRules(u"#FILE\r\n" + file_line);
    files.SetTestPath(test_path);
    const std::int32_t result = files.ParseRules();
    names = Strings(files.FilesName());
    return result;
  }

  TempDirectory dir_;
};

TEST_F(ExcelMultiFilesDirectoryTest, PatternsContributeTheirMatchesInPlace) {
  struct Case {
    std::u16string file_line;
    Names names;
  };
  const Case cases[] = {
      {u"*.xls", {u"a.xls", u"alias.xls", u"B.xls"}},
      // No check against names already present, unlike GetFileNames.
      {u"*.xls#a.xls", {u"a.xls", u"alias.xls", u"B.xls", u"a.xls"}},
      {u"x.doc#a*.xls#A*.XLS", {u"x.doc", u"a.xls", u"alias.xls", u"a.xls", u"alias.xls"}},
      {u"*.pdf", {}},
      {u"folder.xls#*.doc", {u"folder.xls", u"c.doc"}},
  };
  for (const auto& c : cases) {
    Names names;
    EXPECT_EQ(Parse(c.file_line, dir_.HostPath(), names), static_cast<std::int32_t>(c.names.size()))
        << Utf16ToUtf8(c.file_line);
    EXPECT_EQ(names, c.names) << Utf16ToUtf8(c.file_line);
  }
}

TEST_F(ExcelMultiFilesDirectoryTest, TestPathForms) {
  const Names found{u"a.xls", u"alias.xls", u"B.xls"};
  for (const std::u16string& path :
       {dir_.HostPath(), dir_.HostPath() + u"/", dir_.HostPath() + u"\\"}) {
    Names names;
    EXPECT_EQ(Parse(u"*.xls", path, names), 3);
    EXPECT_EQ(names, found);
  }
  Names names;
  EXPECT_EQ(Parse(u"*.xls#z.xls", dir_.HostPath() + u"/missing", names), 1);
  EXPECT_EQ(names, Names{u"z.xls"});
  EXPECT_EQ(Parse(u"*.xls", u"D:\\exam\\001", names), 0);
}

TEST_F(ExcelMultiFilesDirectoryTest, FailureKeepsNamesAddedBefore) {
  ClsExcelMultiFiles files;
  files.SetRules(u"#FILE\r\na.xls#*.xls#b.xls");
  files.SetTestPath(std::u16string(u"/srv\0x", 6));
  try {
    (void)files.ParseRules();
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 75);
  }
  EXPECT_EQ(Strings(files.FilesName()), Names{u"a.xls"});
}

}  // namespace
}  // namespace vexmar
