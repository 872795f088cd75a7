// Sheet rules whose sheet field holds plain names only: no file is looked at and no
// application is started, whatever FileName says.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scripted_spreadsheet.hpp"
#include "sheets_test_support.hpp"
#include "support/param_name.hpp"
#include "vexmar/sheets/excel_multi_sheets.hpp"

namespace vexmar {
namespace {

using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testing::ScriptedSpreadsheet;
using testing::SpreadsheetScript;

constexpr char16_t kTooFewFields[] = u"约定格式错误。最少需要四项！";
constexpr char16_t kWeightNotNumber[] = u"约定中权值设置错误，权值必须为数字！";
constexpr char16_t kCallerMessage[] = u"调用者的文本";
constexpr char16_t kOldErrMsg[] = u"旧消息";
constexpr float kOldWeight = 1.5f;

struct RuleCase {
  std::u16string rule;
  bool result;
  std::u16string message;  // strErrMsg afterwards
  std::u16string err_msg;  // ErrMsg afterwards
  float weight;            // Weight afterwards
  std::vector<std::u16string> entries;
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << testing::Readable(c.rule); }

class SheetRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(SheetRuleTest, GivesResultMessagesAndPerSheetRules) {
  const RuleCase& c = GetParam();
  ScriptedSpreadsheet stand_in({});
  ClsExcelMultiSheets sheets(stand_in.Applications());
  sheets.SetRule(c.rule);
  sheets.SetTestPath(u"/nonexistent-directory");
  sheets.SetFileName(u"missing.xls");
  sheets.SetErrMsg(kOldErrMsg);
  sheets.SetWeight(kOldWeight);

  std::u16string message = kCallerMessage;
  EXPECT_EQ(sheets.ParseRule(message), ToBool16(c.result));
  EXPECT_EQ(message, c.message);
  EXPECT_EQ(sheets.ErrMsg(), c.err_msg);
  EXPECT_EQ(sheets.Weight(), c.weight);
  ASSERT_NE(sheets.PingRules(), nullptr);
  EXPECT_THAT(testing::Entries(*sheets.PingRules()), ElementsAreArray(c.entries));
  EXPECT_THAT(stand_in.Done().starts, IsEmpty());
}

const std::u16string kCaller = kCallerMessage;
const std::u16string kOld = kOldErrMsg;

INSTANTIATE_TEST_SUITE_P(
    ItemLine, SheetRuleTest,
    ::testing::Values(
        RuleCase{u"K|Sheet1#Sheet2#sheet1|2.5|Wrong sheets",
                 true,
                 kCaller,
                 u"Wrong sheets",
                 2.5f,
                 {u"K|Sheet1|2.5|Wrong sheets", u"K|Sheet2|2.5|Wrong sheets"}},
        RuleCase{u"", false, kCaller, kOld, kOldWeight, {}},
        RuleCase{u"\r\nK|Sheet1|5|m", false, kCaller, kOld, kOldWeight, {}},
        RuleCase{u"K|Sheet1|5", false, kTooFewFields, kOld, kOldWeight, {}},
        RuleCase{u"K|Sheet1|ten|msg", false, kWeightNotNumber, u"msg", kOldWeight, {}},
        RuleCase{u"K|Sheet1||msg", false, kWeightNotNumber, u"msg", kOldWeight, {}},
        RuleCase{u"K|Sheet1|  |msg", false, kWeightNotNumber, u"msg", kOldWeight, {}},
        RuleCase{u"K|Sheet1|1E39|msg", false, u"溢出", u"msg", kOldWeight, {}},
        RuleCase{u"K|Sheet1|-1E39|msg", false, u"溢出", u"msg", kOldWeight, {}},
        RuleCase{u"|Sheet1|5|m", true, kCaller, u"m", 5.0f, {u"|Sheet1|5|m"}},
        RuleCase{u"K||5|m", true, kCaller, u"m", 5.0f, {u"K||5|m"}},
        RuleCase{u"K|#|5|m", true, kCaller, u"m", 5.0f, {u"K||5|m"}},
        RuleCase{u"K|Sheet1#|5|m", true, kCaller, u"m", 5.0f, {u"K|Sheet1|5|m", u"K||5|m"}},
        RuleCase{u"K|Sheet1##Sheet1|5|m", true, kCaller, u"m", 5.0f, {u"K|Sheet1|5|m", u"K||5|m"}},
        RuleCase{u"K|Sheet1|05.0|m|x|y", true, kCaller, u"m", 5.0f, {u"K|Sheet1|05.0|m|x|y"}},
        RuleCase{u"K|Sheet1|5|m|", true, kCaller, u"m", 5.0f, {u"K|Sheet1|5|m|"}},
        RuleCase{u"||5|", true, kCaller, u"", 5.0f, {u"||5|"}},
        // Letter case: the first spelling stays, also beyond the Latin letters.
        RuleCase{u"K|Data#DATA#data#Daten|1|m",
                 true,
                 kCaller,
                 u"m",
                 1.0f,
                 {u"K|Data|1|m", u"K|Daten|1|m"}},
        RuleCase{u"K|straße#STRASSE#ÄRGER#ärger#σ#Σ|1|m",
                 true,
                 kCaller,
                 u"m",
                 1.0f,
                 {u"K|straße|1|m", u"K|STRASSE|1|m", u"K|ÄRGER|1|m", u"K|σ|1|m"}},
        // Names are taken as written: blanks and full-width letters are part of them.
        RuleCase{u"K|Sheet1#Sheet1 # Sheet1#Ｓheet1|1|m",
                 true,
                 kCaller,
                 u"m",
                 1.0f,
                 {u"K|Sheet1|1|m", u"K|Sheet1 |1|m", u"K| Sheet1|1|m", u"K|Ｓheet1|1|m"}},
        RuleCase{u"考试|工作表一#工作表二#工作表一|3|工作表名称错误",
                 true,
                 kCaller,
                 u"工作表名称错误",
                 3.0f,
                 {u"考试|工作表一|3|工作表名称错误", u"考试|工作表二|3|工作表名称错误"}},
        // A wildcard outside the sheet field does not make the rule a pattern rule.
        RuleCase{u"K*|Sheet1|5|m?", true, kCaller, u"m?", 5.0f, {u"K*|Sheet1|5|m?"}}),
    vexmar::testing::ReadableParamName());

INSTANTIATE_TEST_SUITE_P(
    Weight, SheetRuleTest,
    ::testing::Values(
        RuleCase{u"K|S| 7 |m", true, kCaller, u"m", 7.0f, {u"K|S| 7 |m"}},
        RuleCase{u"K|S|1E2|m", true, kCaller, u"m", 100.0f, {u"K|S|1E2|m"}},
        RuleCase{u"K|S|05.0|m", true, kCaller, u"m", 5.0f, {u"K|S|05.0|m"}},
        RuleCase{u"K|S|-2.5|m", true, kCaller, u"m", -2.5f, {u"K|S|-2.5|m"}},
        RuleCase{u"K|S|+.5|m", true, kCaller, u"m", 0.5f, {u"K|S|+.5|m"}},
        RuleCase{u"K|S|0.1|m", true, kCaller, u"m", 0.1f, {u"K|S|0.1|m"}},
        RuleCase{
            u"K|S|3.4028234E38|m", true, kCaller, u"m", 3.4028234e38f, {u"K|S|3.4028234E38|m"}},
        RuleCase{u"K|S|5 kg|m", false, kWeightNotNumber, u"m", kOldWeight, {}},
        RuleCase{u"K|S|5.0.0|m", false, kWeightNotNumber, u"m", kOldWeight, {}},
        RuleCase{u"K|S|E5|m", false, kWeightNotNumber, u"m", kOldWeight, {}},
        RuleCase{u"K|S|5\t|m", false, kWeightNotNumber, u"m", kOldWeight, {}},
        RuleCase{u"K|S|５|m", false, kWeightNotNumber, u"m", kOldWeight, {}}),
    vexmar::testing::ReadableParamName());

INSTANTIATE_TEST_SUITE_P(
    FurtherLines, SheetRuleTest,
    ::testing::Values(
        RuleCase{u"K|S|5|m\r\nL1\r\nL2", true, kCaller, u"m", 5.0f, {u"K|S|5|m\r\nL1\r\nL2"}},
        RuleCase{u"K|S|5|m\r\n", true, kCaller, u"m", 5.0f, {u"K|S|5|m"}},
        RuleCase{u"K|S|5|m\r\n\r\n\r\n", true, kCaller, u"m", 5.0f, {u"K|S|5|m"}},
        RuleCase{u"K|S|5|m\r\n\r\nL2", true, kCaller, u"m", 5.0f, {u"K|S|5|m\r\nL2"}},
        RuleCase{u"K|S|5|m\r\nL1\r\n", true, kCaller, u"m", 5.0f, {u"K|S|5|m\r\nL1\r\n"}},
        RuleCase{u"K|S|5|m\r\n\r\n\r\nL3\r\n\r\nL5\r\n\r\n",
                 true,
                 kCaller,
                 u"m",
                 5.0f,
                 {u"K|S|5|m\r\nL3\r\n\r\nL5\r\n\r\n"}},
        RuleCase{
            u"K|A#B|5|m\r\nL1", true, kCaller, u"m", 5.0f, {u"K|A|5|m\r\nL1", u"K|B|5|m\r\nL1"}},
        // Lone CR and LF are no line breaks: they stay inside the fields.
        RuleCase{u"K|S|5|m\rL1", true, kCaller, u"m\rL1", 5.0f, {u"K|S|5|m\rL1"}},
        RuleCase{u"K|S|5|m\nL1", true, kCaller, u"m\nL1", 5.0f, {u"K|S|5|m\nL1"}},
        RuleCase{u"K|S\nT#S\rT|5|m", true, kCaller, u"m", 5.0f, {u"K|S\nT|5|m", u"K|S\rT|5|m"}},
        RuleCase{u"K|S|5|m\n\rL1", true, kCaller, u"m\n\rL1", 5.0f, {u"K|S|5|m\n\rL1"}},
        RuleCase{u"K|S|5\n|m", false, kWeightNotNumber, u"m", kOldWeight, {}},
        RuleCase{u"\nK|S|5|m", true, kCaller, u"m", 5.0f, {u"\nK|S|5|m"}},
        RuleCase{u"\rK|S|5|m\r\n\r\nL2\n", true, kCaller, u"m", 5.0f, {u"\rK|S|5|m\r\nL2\n"}}),
    vexmar::testing::ReadableParamName());

TEST(SheetRule, FourEmptyFieldsFailTheWeightTest) {
  ScriptedSpreadsheet stand_in({});
  ClsExcelMultiSheets sheets(stand_in.Applications());
  sheets.SetRule(u"|||");
  std::u16string message;
  EXPECT_EQ(sheets.ParseRule(message), kFalse16);
  EXPECT_EQ(message, kWeightNotNumber);
  EXPECT_EQ(sheets.ErrMsg(), u"");
}

TEST(SheetRule, EveryCallFillsANewCollectionAndKeepsTheHostsOne) {
  ScriptedSpreadsheet stand_in({});
  ClsExcelMultiSheets sheets(stand_in.Applications());
  EXPECT_EQ(sheets.PingRules(), nullptr);

  auto host_collection = std::make_shared<Collection>();
  host_collection->Add(std::u16string(u"host"));
  sheets.SetPingRules(host_collection);

  sheets.SetRule(u"K|A#B|5|m");
  std::u16string message;
  ASSERT_EQ(sheets.ParseRule(message), kTrue16);
  const CollectionRef first = sheets.PingRules();
  EXPECT_NE(first, host_collection);
  EXPECT_EQ(host_collection->Count(), 1);

  sheets.SetRule(u"K|C|5");
  ASSERT_EQ(sheets.ParseRule(message), kFalse16);
  const CollectionRef second = sheets.PingRules();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  EXPECT_EQ(second->Count(), 0);
  EXPECT_THAT(testing::Entries(*first), ElementsAreArray({u"K|A|5|m", u"K|B|5|m"}));
}

TEST(SheetRule, SuccessLeavesTheCallersMessageAndAFailureAfterASuccessSetsIt) {
  ScriptedSpreadsheet stand_in({});
  ClsExcelMultiSheets sheets(stand_in.Applications());
  std::u16string message = u"keep";
  sheets.SetRule(u"K|A|5|m");
  ASSERT_EQ(sheets.ParseRule(message), kTrue16);
  EXPECT_EQ(message, u"keep");
  sheets.SetRule(u"K|A|x|n");
  ASSERT_EQ(sheets.ParseRule(message), kFalse16);
  EXPECT_EQ(message, kWeightNotNumber);
  EXPECT_EQ(sheets.ErrMsg(), u"n");
  EXPECT_EQ(sheets.Weight(), 5.0f);
}

TEST(SheetRule, WithoutARegistryPlainNamesStillWork) {
  ClsExcelMultiSheets sheets(nullptr);
  sheets.SetRule(u"K|A|5|m");
  std::u16string message;
  EXPECT_EQ(sheets.ParseRule(message), kTrue16);
  EXPECT_THAT(testing::Entries(*sheets.PingRules()), ElementsAreArray({u"K|A|5|m"}));
}

}  // namespace
}  // namespace vexmar
