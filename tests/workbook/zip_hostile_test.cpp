// Hostile and odd packages: every one gives names, no workbook, or the library's error,
// never a crash, a hang or runaway memory.
#include <gtest/gtest.h>

#include "vexmar/component/utf.hpp"
#include "workbook/listing_outcome.hpp"
#include "workbook/test_files.hpp"
#include "workbook/zip_builder.hpp"

namespace vexmar::workbook::testing {
namespace {

const std::string kSheet1 = "<sheet name=\"S1\" sheetId=\"1\" r:id=\"rId1\"/>";

Listing ListBytes(const std::string& bytes) {
  const ScratchFile file(bytes);
  return ListFile(file.Path());
}

struct PackageCase {
  const char* label;
  std::string workbook_xml;
  std::string workbook_rels;
  const char* outcome;
  std::vector<std::u16string> names;
};

void PrintTo(const PackageCase& c, std::ostream* os) { *os << c.label; }

class HostilePackageTest : public ::testing::TestWithParam<PackageCase> {};

TEST_P(HostilePackageTest, EndsAsExpected) {
  const PackageCase& c = GetParam();
  const Listing got = ListBytes(MinimalPackage(c.workbook_xml, c.workbook_rels).Build());
  EXPECT_EQ(got.outcome, c.outcome) << Utf16ToUtf8(got.description);
  EXPECT_EQ(got.names, c.names);
}

std::string Nested(int depth) {
  std::string open;
  std::string close;
  for (int i = 0; i < depth; ++i) {
    open += "<a>";
    close += "</a>";
  }
  return open + close;
}

const std::string kLaughs =
    "<?xml version=\"1.0\"?><!DOCTYPE workbook [<!ENTITY a \"aaaaaaaaaa\">"
    "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
    "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>";
const std::string kRelsNs = "http://schemas.openxmlformats.org/package/2006/relationships";

INSTANTIATE_TEST_SUITE_P(
    Cases, HostilePackageTest,
    ::testing::Values(
        PackageCase{"plain", WorkbookXml(kSheet1), WorksheetRels(), "names", {u"S1"}},
        PackageCase{"billion_laughs_in_workbook",
                    kLaughs + WorkbookXml("<sheet name=\"&c;\" r:id=\"rId1\"/>"),
                    WorksheetRels(),
                    "damaged",
                    {}},
        PackageCase{"external_entity_in_rels",
                    WorkbookXml(kSheet1),
                    "<!DOCTYPE r SYSTEM \"file:///etc/passwd\"><Relationships xmlns=\"" + kRelsNs +
                        "\">&x;</Relationships>",
                    "damaged",
                    {}},
        PackageCase{
            "deep_nesting",
            "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
                Nested(100000) + "</workbook>",
            WorksheetRels(),
            "damaged",
            {}},
        PackageCase{"huge_attribute",
                    WorkbookXml("<sheet name=\"" + std::string(std::size_t{20} << 20, 'n') +
                                "\" r:id=\"rId1\"/>"),
                    WorksheetRels(),
                    "damaged",
                    {}},
        PackageCase{"unknown_relationship_id",
                    WorkbookXml("<sheet name=\"S1\" r:id=\"rId9\"/>"),
                    WorksheetRels(),
                    "damaged",
                    {}},
        PackageCase{"sheet_part_missing",
                    WorkbookXml(kSheet1),
                    "<Relationships xmlns=\"" + kRelsNs +
                        "\"><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/"
                        "officeDocument/2006/relationships/worksheet\" Target=\"nowhere.xml\"/>"
                        "</Relationships>",
                    "damaged",
                    {}},
        PackageCase{
            "no_sheets_element",
            "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"/>",
            WorksheetRels(),
            "damaged",
            {}},
        PackageCase{"empty_sheet_list", WorkbookXml(""), WorksheetRels(), "names", {}},
        PackageCase{"kind_from_type_not_name",
                    WorkbookXml("<sheet name=\"Chart1\" r:id=\"rId1\"/><sheet name=\"Sheet2\" "
                                "r:id=\"rId2\"/>"),
                    "<Relationships xmlns=\"" + kRelsNs +
                        "\"><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/"
                        "officeDocument/2006/relationships/worksheet\" Target=\"worksheets/"
                        "sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"http://"
                        "schemas.openxmlformats.org/officeDocument/2006/relationships/"
                        "chartsheet\" Target=\"charts/c.xml\"/></Relationships>",
                    "names",
                    {u"Chart1"}},
        PackageCase{"not_a_workbook_root",
                    "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/"
                    "2006/main\"/>",
                    WorksheetRels(),
                    "none",
                    {}},
        PackageCase{"garbage_after_sheet_list",
                    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                    "relationships\"><sheets>" +
                        kSheet1 + "</sheets><<<not xml",
                    WorksheetRels(),
                    "names",
                    {u"S1"}}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

TEST(HostileZipTest, BombInsideAnOpenDocumentIsRefused) {
  const Listing got =
      ListBytes(ZipBuilder()
                    .Add({"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false})
                    .Add("content.xml", "<x>" + std::string(std::size_t{64} << 20, ' ') + "</x>")
                    .Build());
  EXPECT_EQ(got.outcome, "damaged");
}

TEST(HostileZipTest, DataDescriptorEntriesAreRead) {
  ZipBuilder zip = MinimalPackage(WorkbookXml(kSheet1), WorksheetRels());
  zip.Add({"extra.bin", "x", true, 0x0008});
  const Listing got = ListBytes(zip.Build());
  EXPECT_EQ(got.outcome, "names");
}

// Every prefix and many single-byte corruptions of a real workbook end in a defined
// outcome.
TEST(HostileZipTest, TruncationsAndBitFlipsOfAFixture) {
  const std::string bytes = ReadAll(FixtureDir() / "ooxml-chartsheet.xlsx");
  ASSERT_FALSE(bytes.empty());
  int outcomes[3] = {};
  for (std::size_t cut = 0; cut < bytes.size(); cut += 37) {
    const Listing got = ListBytes(bytes.substr(0, cut));
    EXPECT_TRUE(got.outcome == "damaged" || got.outcome == "none") << cut << got.outcome;
  }
  for (std::size_t at = 0; at < bytes.size(); at += 11) {
    std::string flipped = bytes;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x41);
    const Listing got = ListBytes(flipped);
    ASSERT_NE(got.outcome, "error") << at;
    ++outcomes[got.outcome == "names" ? 0 : got.outcome == "damaged" ? 1 : 2];
  }
  EXPECT_GT(outcomes[1], 0);  // most flips hit compressed data and its checksum
}

}  // namespace
}  // namespace vexmar::workbook::testing
