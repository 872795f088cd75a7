// The embedded application that builds without automation use: real files in a real
// directory, read by the workbook reader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "sheets_test_support.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/sheets/embedded_application.hpp"
#include "vexmar/sheets/excel_multi_sheets.hpp"
#include "vexmar/sheets/spreadsheet_applications.hpp"

namespace vexmar {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// An XML spreadsheet with the given worksheet names (UTF-8).
std::string XmlSpreadsheet(const std::vector<std::string>& names) {
  std::string xml =
      "<?xml version=\"1.0\"?>\n<?mso-application progid=\"Excel.Sheet\"?>\n"
      "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"\n"
      " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\n";
  for (const auto& name : names) {
    xml += " <Worksheet ss:Name=\"" + name + "\">\n  <Table><Row><Cell><Data ss:Type=\"Number\">1";
    xml += "</Data></Cell></Row></Table>\n </Worksheet>\n";
  }
  return xml + "</Workbook>\n";
}

std::vector<std::u16string> NamesOf(SpreadsheetWorkbook& workbook) {
  std::vector<std::u16string> names;
  const auto sheets = workbook.Worksheets();
  const auto enumerator = sheets->NewEnum();
  while (const auto sheet = enumerator->Next()) names.push_back(sheet->Name());
  EXPECT_EQ(sheets->Count(), static_cast<std::int32_t>(names.size()));
  return names;
}

std::vector<std::shared_ptr<SpreadsheetWorkbook>> OpenWorkbooks(SpreadsheetApplication& app) {
  std::vector<std::shared_ptr<SpreadsheetWorkbook>> open;
  const auto enumerator = app.Workbooks()->NewEnum();
  while (auto workbook = enumerator->Next()) open.push_back(std::move(workbook));
  return open;
}

class EmbeddedApplicationTest : public ::testing::Test {
 protected:
  std::u16string PathOf(const std::u16string& name) const { return dir_.HostPath() + u"\\" + name; }
  testing::TempDirectory dir_;
};

TEST_F(EmbeddedApplicationTest, OpensReadsAndClosesWorkbooks) {
  dir_.AddFile("one.xml", XmlSpreadsheet({"工作表一", "Data"}));
  dir_.AddFile("two.xml", XmlSpreadsheet({"Sheet 3"}));
  const auto app = NewEmbeddedSpreadsheetApplication();
  EXPECT_THAT(OpenWorkbooks(*app), IsEmpty());

  const auto one = app->Workbooks()->Open(PathOf(u"one.xml"), kSpreadsheetLocale);
  const auto two = app->Workbooks()->Open(PathOf(u"two.xml"), kSpreadsheetLocale);
  ASSERT_NE(one, nullptr);
  ASSERT_NE(two, nullptr);
  EXPECT_THAT(NamesOf(*one), ElementsAre(u"工作表一", u"Data"));
  EXPECT_THAT(NamesOf(*two), ElementsAre(u"Sheet 3"));
  EXPECT_THAT(OpenWorkbooks(*app), ElementsAre(one, two));

  // Closing while enumerating neither skips nor repeats a workbook.
  const auto enumerator = app->Workbooks()->NewEnum();
  int closed = 0;
  while (const auto workbook = enumerator->Next()) {
    workbook->Close(false, kSpreadsheetLocale);
    ++closed;
  }
  EXPECT_EQ(closed, 2);
  EXPECT_THAT(OpenWorkbooks(*app), IsEmpty());
  EXPECT_THROW(one->Close(false, kSpreadsheetLocale), Error);
  EXPECT_THROW(one->Worksheets(), Error);
}

TEST_F(EmbeddedApplicationTest, AFileThatCannotBeReadIsAnError) {
  const auto app = NewEmbeddedSpreadsheetApplication();
  EXPECT_THROW(app->Workbooks()->Open(PathOf(u"missing.xls"), kSpreadsheetLocale), Error);
  EXPECT_THROW(app->Workbooks()->Open(PathOf(u"*.xls"), kSpreadsheetLocale), Error);
  EXPECT_THAT(OpenWorkbooks(*app), IsEmpty());
}

TEST(DefaultSpreadsheetApplications, TheDefaultAnswersToBothClassNames) {
  const auto applications = DefaultSpreadsheetApplications();
  ASSERT_NE(applications, nullptr);
  EXPECT_EQ(applications, DefaultSpreadsheetApplications());
  EXPECT_TRUE(applications->Has(kSpreadsheetClassName));
  EXPECT_TRUE(applications->Has(kSpreadsheetProgId));
}

TEST_F(EmbeddedApplicationTest, EachStartIsANewApplication) {
  dir_.AddFile("one.xml", XmlSpreadsheet({"Sheet1"}));
  const auto applications = DefaultSpreadsheetApplications();
  const auto first = applications->GetObject(u"", kSpreadsheetClassName);
  const auto second = applications->CreateObject(kSpreadsheetProgId);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  ASSERT_NE(first->Workbooks()->Open(PathOf(u"one.xml"), kSpreadsheetLocale), nullptr);
  EXPECT_EQ(OpenWorkbooks(*first).size(), 1u);
  EXPECT_THAT(OpenWorkbooks(*second), IsEmpty());
}

TEST_F(EmbeddedApplicationTest, ParseRuleReadsTheCandidatesWorkbook) {
  dir_.AddFile("Book.xml", XmlSpreadsheet({"工作表一", "Data", "工作表二"}));
  ClsExcelMultiSheets sheets;
  sheets.SetRule(u"考试|工作表*#Summary|5|m\r\nL1");
  sheets.SetTestPath(dir_.HostPath());
  sheets.SetFileName(u"BOOK.XML");  // found as 'Book.xml'
  std::u16string message = u"unchanged";
  EXPECT_EQ(sheets.ParseRule(message), kTrue16);
  EXPECT_EQ(message, u"unchanged");
  EXPECT_THAT(testing::Entries(*sheets.PingRules()),
              ElementsAre(u"考试|工作表一|5|m\r\nL1", u"考试|工作表二|5|m\r\nL1",
                          u"考试|Summary|5|m\r\nL1"));
}

TEST_F(EmbeddedApplicationTest, ParseRuleReportsWhatTheReaderRefuses) {
  dir_.AddFile("b1.xml", XmlSpreadsheet({"Sheet1"}));
  ClsExcelMultiSheets sheets;
  sheets.SetRule(u"K|S*|5|m");
  sheets.SetTestPath(dir_.HostPath());
  sheets.SetFileName(u"b*.xml");  // passes the check, but names no file to open
  std::u16string message;
  EXPECT_EQ(sheets.ParseRule(message), kFalse16);
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(sheets.PingRules()->Count(), 0);
}

// Kernel files are never opened (reading /proc/kmsg as root would take the kernel's
// messages from whoever reads them), and an empty file is answered without reading.
TEST_F(EmbeddedApplicationTest, ParseRuleNeverOpensKernelFilesOrEmptyOnes) {
  dir_.AddFile("empty.xls", "");
  constexpr std::u16string_view kPseudo = u"虚拟文件系统";
  const struct {
    std::u16string test_path;
    std::u16string file_name;
    std::u16string_view message_holds;
  } cases[] = {
      {u"/proc", u"kmsg", kPseudo},
      {u"/proc/self", u"status", kPseudo},
      {u"\\proc\\self", u"STATUS", kPseudo},  // found under another spelling, still refused
      {u"/sys/kernel", u"uevent_seqnum", kPseudo},
      {dir_.HostPath(), u"empty.xls", u"文件[empty.xls]为非Xls文件。"},
      {u"/dev", u"null", u"文件未创建！"},  // a device is no ordinary file
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.test_path + u" " + c.file_name));
    if (c.test_path.starts_with(u"/") && c.test_path != u"/dev" &&
        access(Utf16ToUtf8(c.test_path + u"/" + c.file_name).c_str(), F_OK) != 0) {
      continue;  // not on this system
    }
    ClsExcelMultiSheets sheets;
    sheets.SetRule(u"K|S*|5|m");
    sheets.SetTestPath(c.test_path);
    sheets.SetFileName(c.file_name);
    std::u16string message;
    EXPECT_EQ(sheets.ParseRule(message), kFalse16);
    EXPECT_NE(message.find(c.message_holds), std::u16string::npos) << Utf16ToUtf8(message);
  }
  const auto app = NewEmbeddedSpreadsheetApplication();
  EXPECT_THROW(app->Workbooks()->Open(u"/dev/null", kSpreadsheetLocale), Error);
  EXPECT_EQ(app->Workbooks()->Open(PathOf(u"empty.xls"), kSpreadsheetLocale), nullptr);
}

}  // namespace
}  // namespace vexmar
