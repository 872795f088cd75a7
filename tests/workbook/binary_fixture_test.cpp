// Every committed fixture against the worksheet names recorded by make_binary.py (which
// cross-checked them with other readers).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/list_worksheets.hpp"
#include "workbook/cfb_builder.hpp"

namespace {

using vexmar::testing_support::FixtureDir;

struct Expectation {
  std::string file;
  std::string outcome;  // names, none, encrypted
  std::vector<std::u16string> names;
};

void LoadTable(const char* table, std::vector<Expectation>& all) {
  std::ifstream in(FixtureDir() / table);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Expectation e;
    std::getline(fields, e.file, '\t');
    std::getline(fields, e.outcome, '\t');
    for (std::string name; std::getline(fields, name, '\t');) {
      e.names.push_back(vexmar::Utf8ToUtf16(name));
    }
    all.push_back(std::move(e));
  }
}

// The binary formats' table and that of workbooks saved with a password.
std::vector<Expectation> LoadExpectations() {
  std::vector<Expectation> all;
  LoadTable("expect-binary.tsv", all);
  LoadTable("expect-encrypted.tsv", all);
  return all;
}

class FixtureTest : public testing::TestWithParam<Expectation> {};

TEST_P(FixtureTest, GivesTheRecordedOutcome) {
  const Expectation& e = GetParam();
  const auto path = FixtureDir() / e.file;
  ASSERT_TRUE(std::filesystem::exists(path)) << path;
  if (e.outcome == "names") {
    const auto names = vexmar::ListWorksheets(path);
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(*names, e.names);
  } else if (e.outcome == "none") {
    EXPECT_FALSE(vexmar::ListWorksheets(path).has_value());
  } else {
    ASSERT_TRUE(e.outcome == "encrypted" || e.outcome == "damaged") << e.outcome;
    try {
      (void)vexmar::ListWorksheets(path);
      ADD_FAILURE() << "no error for an " << e.outcome << " workbook";
    } catch (const vexmar::workbook::ReadFailure& error) {
      EXPECT_EQ(error.Number(), 1004);
      EXPECT_EQ(IsEncryption(error.Kind()), e.outcome == "encrypted") << error.what();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FixtureTest, testing::ValuesIn(LoadExpectations()),
                         [](const testing::TestParamInfo<Expectation>& param) {
                           std::string name;
                           for (const char c : param.param.file) {
                             name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           }
                           return name;
                         });

TEST(FixtureTable, IsNotEmpty) { EXPECT_GE(LoadExpectations().size(), 30u); }

}  // namespace
