// Every zip and XML fixture against the expectations that the regeneration script wrote
// and that independent readers confirmed.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "vexmar/component/utf.hpp"
#include "workbook/listing_outcome.hpp"
#include "workbook/test_files.hpp"

namespace vexmar::workbook::testing {
namespace {

struct Expectation {
  std::string file;
  std::string outcome;
  std::vector<std::u16string> names;
};

std::vector<Expectation> LoadExpectations() {
  std::vector<Expectation> rows;
  std::ifstream in(FixtureDir() / "expect-zip-xml.tsv");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::stringstream fields(line);
    Expectation row;
    std::getline(fields, row.file, '\t');
    std::getline(fields, row.outcome, '\t');
    for (std::string name; std::getline(fields, name, '\t');)
      row.names.push_back(Utf8ToUtf16(name));
    rows.push_back(std::move(row));
  }
  return rows;
}

class ZipXmlFixtureTest : public ::testing::TestWithParam<Expectation> {};

TEST_P(ZipXmlFixtureTest, ListsWhatTheReadersAgreeOn) {
  const Expectation& row = GetParam();
  const Listing got = ListFile(FixtureDir() / row.file);
  EXPECT_EQ(got.outcome, row.outcome) << Utf16ToUtf8(got.description);
  if (row.outcome == "names") {
    EXPECT_EQ(got.names, row.names);
  }
  if (row.outcome == "damaged") {
    EXPECT_GT(got.description.size(), 16u);
  }
}

std::string Label(const ::testing::TestParamInfo<Expectation>& info) {
  std::string label;
  for (char c : info.param.file)
    label.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
  return label;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ZipXmlFixtureTest, ::testing::ValuesIn(LoadExpectations()),
                         Label);

TEST(ZipXmlFixtureTableTest, CoversEveryOutcome) {
  const auto rows = LoadExpectations();
  ASSERT_GE(rows.size(), 40u);
  for (const char* outcome : {"names", "none", "damaged", "encrypted"}) {
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const Expectation& r) {
      return r.outcome == outcome;
    })) << outcome;
  }
}

}  // namespace
}  // namespace vexmar::workbook::testing
