#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "vexmar/component/error.hpp"
#include "support/error_number.hpp"
#include "vexmar/sheets/spreadsheet_application_choice.hpp"
#include "vexmar/sheets/spreadsheet_applications.hpp"

namespace vexmar {
namespace {

class NoWorkbooks final : public SpreadsheetApplication {
 public:
  std::shared_ptr<SpreadsheetWorkbooks> Workbooks() override { return nullptr; }
};

using vexmar::testing::ErrorNumberOf;

TEST(SpreadsheetApplications, FindsClassesWithoutRegardToLetterCase) {
  int started = 0;
  auto factory = [&] {
    ++started;
    return std::make_shared<NoWorkbooks>();
  };
  const SpreadsheetApplications applications(
      {{u"Excel", factory}, {u"Excel.Application", factory}});
  EXPECT_NE(applications.GetObject(u"", u"excel"), nullptr);
  EXPECT_NE(applications.CreateObject(u"EXCEL.APPLICATION"), nullptr);
  EXPECT_NE(applications.GetObject(u"", u"Excel"), applications.GetObject(u"", u"Excel"));
  EXPECT_EQ(started, 4);
  EXPECT_TRUE(applications.Has(u"eXcEl"));
  EXPECT_FALSE(applications.Has(u"Excel.Sheet"));
}

TEST(SpreadsheetApplications, WhatCannotBeStartedIsAnError) {
  const SpreadsheetApplications applications(
      {{u"Nothing", [] { return std::shared_ptr<SpreadsheetApplication>(); }},
       {u"Raises",
        []() -> std::shared_ptr<SpreadsheetApplication> {
          throw Error(ErrorNumber::kPermissionDenied);
        }},
       {u"Empty", nullptr}});
  constexpr auto kCannotCreate = static_cast<std::int32_t>(ErrorNumber::kCannotCreateObject);
  EXPECT_EQ(ErrorNumberOf([&] { applications.GetObject(u"", u"Unknown"); }), kCannotCreate);
  EXPECT_EQ(ErrorNumberOf([&] { applications.CreateObject(u"Unknown"); }), kCannotCreate);
  EXPECT_EQ(ErrorNumberOf([&] { applications.CreateObject(u"Nothing"); }), kCannotCreate);
  EXPECT_EQ(ErrorNumberOf([&] { applications.CreateObject(u"Empty"); }), kCannotCreate);
  EXPECT_EQ(ErrorNumberOf([&] { applications.CreateObject(u""); }), kCannotCreate);
  EXPECT_EQ(ErrorNumberOf([&] { applications.GetObject(u"", u"Raises"); }),
            static_cast<std::int32_t>(ErrorNumber::kPermissionDenied));
  // Opening a document by path is not offered.
  EXPECT_EQ(ErrorNumberOf([&] { applications.GetObject(u"C:\\a.xls", u"Nothing"); }),
            static_cast<std::int32_t>(ErrorNumber::kInvalidProcedureCall));
  EXPECT_EQ(ErrorNumberOf([] { SpreadsheetApplications().GetObject(u"", u"Excel"); }),
            kCannotCreate);
}

TEST(SpreadsheetApplications, TheFirstEntryOfANameWins) {
  auto first = std::make_shared<NoWorkbooks>();
  const SpreadsheetApplications applications(
      {{u"Excel", [&] { return first; }},
       {u"EXCEL", [] { return std::make_shared<NoWorkbooks>(); }}});
  EXPECT_EQ(applications.GetObject(u"", u"Excel"), first);
}

TEST(SpreadsheetApplicationChoice, NamesTheThreeChoicesInAnyLetterCase) {
  using Choice = SpreadsheetApplicationChoice;
  const std::pair<std::u16string_view, std::optional<Choice>> cases[] = {
      {u"Automation", Choice::kAutomation},
      {u"embedded", Choice::kEmbedded},
      {u"EMBEDDED", Choice::kEmbedded},
      {u"automationThenEmbedded", Choice::kAutomationThenEmbedded},
      {u"", std::nullopt},
      {u" Embedded", std::nullopt},
      {u"Embedded ", std::nullopt},
      {u"AutomationThen", std::nullopt},
      {u"Excel", std::nullopt},
  };
  for (const auto& [text, choice] : cases) {
    EXPECT_EQ(ParseSpreadsheetApplicationChoice(text), choice) << std::string(text.begin(), text.end());
  }
}

}  // namespace
}  // namespace vexmar
