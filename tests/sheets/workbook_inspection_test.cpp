// Sheet rules with patterns: the workbook is found in a real directory, its worksheet
// names are read through a scripted application, and what the check leaves behind is
// checked: the rule's entries, the file opened, every workbook closed without saving,
// every object released.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scripted_spreadsheet.hpp"
#include "sheets_test_support.hpp"
#include "support/param_name.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/sheets/excel_multi_sheets.hpp"
#include "vexmar/text/indexed_name_list.hpp"

namespace vexmar {
namespace {

using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testing::ScriptedSpreadsheet;
using testing::SpreadsheetScript;
using Start = SpreadsheetScript::Start;
using OpenResult = SpreadsheetScript::OpenResult;

constexpr char16_t kCallerMessage[] = u"调用者的文本";
constexpr char16_t kFileNotCreated[] = u"文件未创建！";
constexpr char16_t kCannotStart[] = u"无法打开EXCEL,请确定是否安装了EXCEL!";

struct Outcome {
  Bool16 result;
  std::u16string message;
  std::u16string err_msg;
  float weight;
  std::vector<std::u16string> entries;
  testing::ScriptedSpreadsheet::Seen seen;
  bool nothing_held;
};

class WorkbookInspectionTest : public ::testing::Test {
 protected:
  WorkbookInspectionTest() {
    dir_.AddFile("b.xls");
    dir_.AddFile("other.txt");
  }

  Outcome Run(const SpreadsheetScript& script, const std::u16string& rule,
              const std::u16string& file_name = u"b.xls") {
    return RunIn(script, rule, dir_.HostPath(), file_name);
  }

  static Outcome RunIn(const SpreadsheetScript& script, const std::u16string& rule,
                       const std::u16string& test_path, const std::u16string& file_name) {
    ScriptedSpreadsheet stand_in(script);
    ClsExcelMultiSheets sheets(stand_in.Applications());
    sheets.SetRule(rule);
    sheets.SetTestPath(test_path);
    sheets.SetFileName(file_name);
    sheets.SetWeight(1.5f);
    std::u16string message = kCallerMessage;
    const Bool16 result = sheets.ParseRule(message);
    return {result,
            message,
            sheets.ErrMsg(),
            sheets.Weight(),
            testing::Entries(*sheets.PingRules()),
            stand_in.Done(),
            stand_in.NothingHeld()};
  }

  std::string Dir() const { return Utf16ToUtf8(dir_.HostPath()); }
  // b.xls of the test directory, opened in the English locale.
  std::vector<std::string> OpenedB() const { return {Dir() + "\\b.xls 1033"}; }

  testing::TempDirectory dir_;
};

SpreadsheetScript Workbook(std::vector<std::u16string> sheets) {
  SpreadsheetScript script;
  script.sheets = std::move(sheets);
  return script;
}

const std::vector<std::string> kClosedB = {"b.xls save=false 1033"};

TEST_F(WorkbookInspectionTest, ReadsTheNamesClosesWithoutSavingAndLetsGo) {
  const Outcome out = Run(Workbook({u"Sheet1", u"Data", u"S2"}), u"K|S*#Data|5|m");
  EXPECT_EQ(out.result, kTrue16);
  EXPECT_EQ(out.message, kCallerMessage);
  EXPECT_THAT(out.entries, ElementsAreArray({u"K|Sheet1|5|m", u"K|S2|5|m", u"K|Data|5|m"}));
  EXPECT_THAT(out.seen.starts, ElementsAreArray({"Excel"}));
  EXPECT_THAT(out.seen.opened, ElementsAreArray(OpenedB()));
  EXPECT_THAT(out.seen.closed, ElementsAreArray(kClosedB));
  EXPECT_THAT(out.seen.left_open, IsEmpty());
  EXPECT_TRUE(out.nothing_held);
}

TEST_F(WorkbookInspectionTest, ClosesEveryOpenWorkbookOfTheApplication) {
  SpreadsheetScript script = Workbook({u"Sheet1"});
  script.already_open = {u"x.xls", u"y.xls"};
  const Outcome out = Run(script, u"K|*|5|m");
  EXPECT_EQ(out.result, kTrue16);
  EXPECT_THAT(out.seen.closed, ElementsAreArray({"x.xls save=false 1033", "y.xls save=false 1033",
                                            "b.xls save=false 1033"}));
  EXPECT_THAT(out.seen.left_open, IsEmpty());
  EXPECT_TRUE(out.nothing_held);
}

struct StartCase {
  const char* name;
  Start get_object;
  int create_failures;
  std::vector<std::string> starts;
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class ApplicationStartTest : public WorkbookInspectionTest,
                             public ::testing::WithParamInterface<StartCase> {};

TEST_P(ApplicationStartTest, FallsBackToCreatingTheApplication) {
  const StartCase& c = GetParam();
  SpreadsheetScript script = Workbook({u"Sheet1"});
  script.get_object = c.get_object;
  script.create_failures = c.create_failures;
  const Outcome out = Run(script, u"K|Sheet?|5|m");
  EXPECT_EQ(out.result, kTrue16);
  EXPECT_EQ(out.message, kCallerMessage);
  EXPECT_THAT(out.entries, ElementsAreArray({u"K|Sheet1|5|m"}));
  EXPECT_THAT(out.seen.starts, ElementsAreArray(c.starts));
  EXPECT_THAT(out.seen.closed, ElementsAreArray(kClosedB));
  EXPECT_TRUE(out.nothing_held);
}

INSTANTIATE_TEST_SUITE_P(
    Attempts, ApplicationStartTest,
    ::testing::Values(
        StartCase{"GetObjectGives", Start::kGives, 0, {"Excel"}},
        StartCase{"GetObjectGivesNothing",
                  Start::kGivesNothing,
                  0,
                  {"Excel", "Excel.Application"}},
        StartCase{"GetObjectRaises", Start::kRaises, 0, {"Excel", "Excel.Application"}},
        StartCase{"FirstCreationFails",
                  Start::kRaises,
                  1,
                  {"Excel", "Excel.Application", "Excel.Application"}},
        StartCase{"FirstCreationFailsAfterNothing",
                  Start::kGivesNothing,
                  1,
                  {"Excel", "Excel.Application", "Excel.Application"}}),
    [](const auto& test_case) { return std::string(test_case.param.name); });

TEST_F(WorkbookInspectionTest, GivesUpAfterTwoFailedCreations) {
  for (const Start get_object : {Start::kGivesNothing, Start::kRaises}) {
    SpreadsheetScript script = Workbook({u"Sheet1"});
    script.get_object = get_object;
    script.create_failures = 2;
    const Outcome out = Run(script, u"K|S*|5|m");
    EXPECT_EQ(out.result, kFalse16);
    EXPECT_EQ(out.message, kCannotStart);
    EXPECT_EQ(out.err_msg, u"m");
    EXPECT_EQ(out.weight, 5.0f);
    EXPECT_THAT(out.entries, IsEmpty());
    EXPECT_THAT(out.seen.starts, ElementsAreArray({"Excel", "Excel.Application", "Excel.Application"}));
    EXPECT_THAT(out.seen.opened, IsEmpty());
    EXPECT_TRUE(out.nothing_held);
  }
}

struct FailureCase {
  const char* name;
  SpreadsheetScript script;
  std::u16string message;
  std::vector<std::string> left_open;
  std::vector<std::string> closed = {};
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class InspectionFailureTest : public WorkbookInspectionTest,
                              public ::testing::WithParamInterface<FailureCase> {};

TEST_P(InspectionFailureTest, EndsTheCallAndReleasesTheApplication) {
  const FailureCase& c = GetParam();
  const Outcome out = Run(c.script, u"K|S*|5|m\r\nL1");
  EXPECT_EQ(out.result, kFalse16);
  EXPECT_EQ(out.message, c.message);
  EXPECT_EQ(out.err_msg, u"m");
  EXPECT_EQ(out.weight, 5.0f);
  EXPECT_THAT(out.entries, IsEmpty());
  EXPECT_THAT(out.seen.opened, ElementsAreArray(OpenedB()));
  EXPECT_THAT(out.seen.closed, ElementsAreArray(c.closed));
  EXPECT_THAT(out.seen.left_open, ElementsAreArray(c.left_open));
  EXPECT_TRUE(out.nothing_held);
}

SpreadsheetScript Scripted(std::function<void(SpreadsheetScript&)> edit) {
  SpreadsheetScript script = Workbook({u"Sheet1", u"Sheet2", u"Sheet3"});
  edit(script);
  return script;
}

INSTANTIATE_TEST_SUITE_P(
    Steps, InspectionFailureTest,
    ::testing::Values(
        FailureCase{"OpenGivesNoWorkbook",
                    Scripted([](auto& s) { s.open = OpenResult::kNoWorkbook; }),
                    u"文件[b.xls]为非Xls文件。",
                    {}},
        FailureCase{"OpenRaises",
                    Scripted([](auto& s) { s.open = OpenResult::kRaises; }),
                    testing::StandInFailure(u"Open"),
                    {}},
        FailureCase{"CountRaises",
                    Scripted([](auto& s) { s.count_raises = true; }),
                    testing::StandInFailure(u"Count"),
                    {"b.xls"}},
        FailureCase{"NameRaises",
                    Scripted([](auto& s) { s.sheets[1] = standin::kUnreadableName; }),
                    testing::StandInFailure(u"Name"),
                    {"b.xls"}},
        FailureCase{"NameRunsOutOfMemory",
                    Scripted([](auto& s) {
                      s.sheets[0] = standin::kUnreadableName;
                      s.name_raises = SpreadsheetScript::Raise::kOutOfMemory;
                    }),
                    u"内存不足",
                    {"b.xls"}},
        FailureCase{"NameRaisesSomethingElse",
                    Scripted([](auto& s) {
                      s.sheets[2] = standin::kUnreadableName;
                      s.name_raises = SpreadsheetScript::Raise::kOther;
                    }),
                    u"应用程序定义的错误或对象定义的错误",
                    {"b.xls"}},
        FailureCase{
            "CloseRaises",
            Scripted([](auto& s) {
              s.sheets = {u"Sheet1"};
              s.already_open = {u"x.xls", u"y.xls"};
              s.close_raises_at = 2;
            }),
            testing::StandInFailure(u"Close"),
            {"y.xls", "b.xls"},
            {"x.xls save=false 1033"}},
        // The count must cover the enumeration: a worksheet beyond it has no place.
        FailureCase{"CountBelowTheWorksheets",
                    Scripted([](auto& s) { s.count = 1; }),
                    u"下标越界",
                    {"b.xls"}},
        FailureCase{"CountZeroWithWorksheets",
                    Scripted([](auto& s) { s.count = 0; }),
                    u"下标越界",
                    {"b.xls"}}),
    [](const auto& test_case) { return std::string(test_case.param.name); });

TEST_F(WorkbookInspectionTest, NoApplicationForPlainNamesOrAMissingFile) {
  struct Case {
    std::u16string rule;
    std::u16string file_name;
    Bool16 result;
    std::u16string message;
  };
  const Case cases[] = {
      {u"K|Sheet1#Data|5|m", u"b.xls", kTrue16, kCallerMessage},
      {u"K|Sheet1#Data|5|m", u"missing.xls", kTrue16, kCallerMessage},
      {u"K|S*|5|m", u"missing.xls", kFalse16, kFileNotCreated},
      {u"K|S?|5|m", u"", kFalse16, kFileNotCreated},
      {u"K|S*|5|m", u"sub", kFalse16, kFileNotCreated},  // a directory is no workbook
      {u"K|S*|5|m", u"nothing*.xls", kFalse16, kFileNotCreated},
  };
  dir_.AddDirectory("sub");
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Readable(c.rule + u" in " + c.file_name));
    const Outcome out = Run(Workbook({u"Sheet1"}), c.rule, c.file_name);
    EXPECT_EQ(out.result, c.result);
    EXPECT_EQ(out.message, c.message);
    EXPECT_THAT(out.seen.starts, IsEmpty());
  }
}

TEST_F(WorkbookInspectionTest, OpensTheFileTheCheckFound) {
  dir_.AddFile("Mixed.XLSX");
  dir_.AddFile("case.xml");
  dir_.AddFile("Case.xml");
  struct Case {
    std::u16string test_path;
    std::u16string file_name;
    std::string opened;  // after the directory
  };
  const std::u16string dir = dir_.HostPath();
  const Case cases[] = {
      {dir, u"b.xls", "\\b.xls"},
      {dir + u"\\", u"b.xls", "\\b.xls"},
      {dir, u"B.XLS", "\\b.xls"},
      {dir, u"mixed.xlsx", "\\Mixed.XLSX"},
      // Names differing only in case: the exact one, else the first in listing order.
      {dir, u"case.xml", "\\case.xml"},
      {dir, u"Case.xml", "\\Case.xml"},
      {dir, u"CASE.XML", "\\Case.xml"},
      // A pattern passes the check and goes to the application as written.
      {dir, u"b*.xls", "\\b*.xls"},
      {dir, u"?.XLS", "\\?.XLS"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Readable(c.test_path + u" + " + c.file_name));
    const Outcome out = RunIn(Workbook({u"Sheet1"}), u"K|S*|5|m", c.test_path, c.file_name);
    EXPECT_EQ(out.result, kTrue16);
    EXPECT_THAT(out.seen.opened, ElementsAreArray({Dir() + c.opened + " 1033"}));
  }
}

struct ExpansionCase {
  std::vector<std::u16string> sheets;
  std::u16string rule;
  std::vector<std::u16string> entries;
};

void PrintTo(const ExpansionCase& c, std::ostream* os) { *os << testing::Readable(c.rule); }

class SheetExpansionTest : public WorkbookInspectionTest,
                           public ::testing::WithParamInterface<ExpansionCase> {};

TEST_P(SheetExpansionTest, KeepsMatchedAndPlainNamesOnceInOrder) {
  const ExpansionCase& c = GetParam();
  const Outcome out = Run(Workbook(c.sheets), c.rule);
  EXPECT_EQ(out.result, kTrue16);
  EXPECT_EQ(out.message, kCallerMessage);
  EXPECT_THAT(out.entries, ElementsAreArray(c.entries));
  EXPECT_THAT(out.seen.closed, ElementsAreArray(kClosedB));
  EXPECT_TRUE(out.nothing_held);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SheetExpansionTest,
    ::testing::Values(
        ExpansionCase{{u"Sheet1", u"Data", u"S2"},
                      u"K|Data#S*|5|m",
                      {u"K|Data|5|m", u"K|Sheet1|5|m", u"K|S2|5|m"}},
        ExpansionCase{{u"Sheet1", u"MySheet2", u"Data"},
                      u"K|Sheet*|5|m",
                      {u"K|Sheet1|5|m", u"K|MySheet2|5|m"}},
        ExpansionCase{{u"Sheet1", u"Data"}, u"K|X*|5|m", {}}, ExpansionCase{{}, u"K|S*|5|m", {}},
        ExpansionCase{{u"Sheet1", u"S2"},
                      u"K|S*#Missing|5|m",
                      {u"K|Sheet1|5|m", u"K|S2|5|m", u"K|Missing|5|m"}},
        ExpansionCase{{u"Sheet1", u"SHEET1", u"sheet2"},
                      u"K|s*#SHEET2#sheet?|5|m",
                      {u"K|Sheet1|5|m", u"K|sheet2|5|m"}},
        ExpansionCase{{u"Data", u"Sheet1"}, u"K|DATA#*|5|m", {u"K|DATA|5|m", u"K|Sheet1|5|m"}},
        ExpansionCase{{u"工作表一", u"汇总", u"工作表二"},
                      u"考试|工作表*#汇总|2|名称",
                      {u"考试|工作表一|2|名称", u"考试|工作表二|2|名称", u"考试|汇总|2|名称"}},
        ExpansionCase{{u"Sheet1", u""}, u"K|*##|5|m", {u"K|Sheet1|5|m", u"K||5|m"}},
        ExpansionCase{
            {u"Sheet1"}, u"K|S*|05.0|m|x\r\n\r\nL2\r\n", {u"K|Sheet1|05.0|m|x\r\nL2\r\n"}},
        // A worksheet name that would change the rule's fields or lines is never matched;
        // a plain name written by the examiner stands as written.
        ExpansionCase{{u"S|100|pwn", u"S\r\nK|X|100|pwn", u"S\rx", u"S\ny", u"S2"},
                      u"K|S*#P\rQ|2.5|m",
                      {u"K|S2|2.5|m", u"K|P\rQ|2.5|m"}}),
    vexmar::testing::ReadableParamName());

TEST_F(WorkbookInspectionTest, ACountAboveTheWorksheetsAddsNothing) {
  SpreadsheetScript script = Workbook({u"Sheet1", u"Sheet2"});
  script.count = 5;
  const Outcome out = Run(script, u"K|*|5|m");
  EXPECT_EQ(out.result, kTrue16);
  EXPECT_THAT(out.entries, ElementsAreArray({u"K|Sheet1|5|m", u"K|Sheet2|5|m"}));
  EXPECT_TRUE(out.nothing_held);
}

// Each matched name is looked up once among those kept, so the work grows with the number
// of worksheets, not with its square.
TEST_F(WorkbookInspectionTest, ManySheetsCostOneLookUpEach) {
  constexpr int kSheets = 4'000;
  std::vector<std::u16string> sheets;
  for (int i = 0; i < kSheets; ++i) {
    sheets.push_back((i % 2 == 0 ? u"Sheet" : u"SHEET") + Utf8ToUtf16(std::to_string(i / 2)));
  }
  const std::uint64_t before = NameLookupStepsOnThisThread();
  const Outcome out = Run(Workbook(sheets), u"K|s*#SHEET0#*|5|m");
  const std::uint64_t steps = NameLookupStepsOnThisThread() - before;
  EXPECT_EQ(out.result, kTrue16);
  ASSERT_EQ(out.entries.size(), static_cast<std::size_t>(kSheets / 2));
  EXPECT_EQ(out.entries.front(), u"K|Sheet0|5|m");
  EXPECT_EQ(out.entries.back(), u"K|Sheet" + Utf8ToUtf16(std::to_string(kSheets / 2 - 1)) + u"|5|m");
  // Twice kSheets names found again (case twins, then the whole second pattern): at least
  // one entry examined for each, and a small constant per look-up in all.
  EXPECT_GE(steps, static_cast<std::uint64_t>(kSheets));
  EXPECT_LE(steps, 4u * 2u * kSheets);
}

}  // namespace
}  // namespace vexmar
