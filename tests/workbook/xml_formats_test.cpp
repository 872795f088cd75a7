// Flat XML workbooks and the binary workbook part, from documents written here.
#include <gtest/gtest.h>

#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/ooxml/xlsb_records.hpp"
#include "workbook/listing_outcome.hpp"
#include "workbook/test_files.hpp"
#include "workbook/text_stream.hpp"
#include "workbook/xlsb_builder.hpp"

namespace vexmar::workbook::testing {
namespace {

const std::string kSs = "urn:schemas-microsoft-com:office:spreadsheet";
const std::string kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
const std::string kTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";

std::string Fods(const std::string& body, const std::string& before_body = "") {
  return "<office:document xmlns:office=\"" + kOffice + "\" xmlns:table=\"" + kTable + "\">" +
         before_body + "<office:body><office:spreadsheet>" + body +
         "</office:spreadsheet></office:body></office:document>";
}

struct FlatCase {
  const char* label;
  std::string bytes;
  const char* outcome;
  std::vector<std::u16string> names;
};

void PrintTo(const FlatCase& c, std::ostream* os) { *os << c.label; }

class FlatXmlTest : public ::testing::TestWithParam<FlatCase> {};

TEST_P(FlatXmlTest, EndsAsExpected) {
  const ScratchFile file(GetParam().bytes);
  const Listing got = ListFile(file.Path());
  EXPECT_EQ(got.outcome, GetParam().outcome) << Utf16ToUtf8(got.description);
  EXPECT_EQ(got.names, GetParam().names);
}

std::string Utf16Be(const std::u16string& text) {
  std::string out = "\xFE\xFF";
  for (char16_t u : text) {
    out.push_back(static_cast<char>(u >> 8));
    out.push_back(static_cast<char>(u & 0xFF));
  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlatXmlTest,
    ::testing::Values(
        FlatCase{"ssml_plain_name_attribute",
                 "<Workbook xmlns=\"" + kSs +
                     "\"><Worksheet Name=\"A\"/><Worksheet Name=\"B\"/></Workbook>",
                 "names",
                 {u"A", u"B"}},
        FlatCase{"ssml_prefixed_root",
                 "\xEF\xBB\xBF<x:Workbook xmlns:x=\"" + kSs +
                     "\"><x:Worksheet x:Name=\"表\"/>"
                     "<x:Styles/></x:Workbook>",
                 "names",
                 {u"表"}},
        FlatCase{"ssml_utf16be",
                 Utf16Be(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Workbook xmlns=\"" +
                         Utf8ToUtf16(kSs) + u"\"><Worksheet xmlns:ss=\"" + Utf8ToUtf16(kSs) +
                         u"\" ss:Name=\"成绩\"/></Workbook>"),
                 "names",
                 {u"成绩"}},
        FlatCase{"ssml_nested_worksheet_ignored",
                 "<Workbook xmlns=\"" + kSs +
                     "\"><Worksheet Name=\"A\"><Table><Worksheet Name=\"X\"/>"
                     "</Table></Worksheet></Workbook>",
                 "names",
                 {u"A"}},
        FlatCase{"ssml_without_name",
                 "<Workbook xmlns=\"" + kSs + "\"><Worksheet/></Workbook>",
                 "damaged",
                 {}},
        FlatCase{"ssml_wrong_namespace",
                 "<Workbook xmlns=\"urn:other\"><Worksheet Name=\"A\"/></Workbook>",
                 "none",
                 {}},
        FlatCase{"fods_tables_in_order",
                 Fods("<table:table table:name=\"B\"/><table:named-expressions/><table:table "
                      "table:name=\"A &amp; &lt;b&gt;\"><table:table-row/></table:table>"),
                 "names",
                 {u"B", u"A & <b>"}},
        FlatCase{"fods_unnamed_table",
                 Fods("<table:table table:name=\"X\"/><table:table/>"),
                 "names",
                 {u"X", u"Sheet2"}},
        FlatCase{"fods_stops_after_spreadsheet",
                 "<office:document xmlns:office=\"" + kOffice + "\" xmlns:table=\"" + kTable +
                     "\"><office:body><office:spreadsheet><table:table table:name=\"X\"/>"
                     "</office:spreadsheet><broken",
                 "names",
                 {u"X"}},
        FlatCase{"fods_long_text_is_not_a_long_token",
                 Fods("<table:table table:name=\"X\"/>",
                      "<office:binary-data>" + std::string(std::size_t{20} << 20, 'A') +
                          "</office:binary-data>"),
                 "names",
                 {u"X"}},
        FlatCase{
            "fods_huge_attribute",
            Fods("<table:table table:name=\"" + std::string(std::size_t{20} << 20, 'n') + "\"/>"),
            "damaged",
            {}},
        FlatCase{"fods_huge_comment",
                 Fods("<!--" + std::string(std::size_t{20} << 20, 'c') + "-->"),
                 "damaged",
                 {}},
        FlatCase{"fods_text_document",
                 "<office:document xmlns:office=\"" + kOffice +
                     "\"><office:body><office:text/></office:body></office:document>",
                 "none",
                 {}},
        FlatCase{
            "workbook_doctype_refused",
            "<!DOCTYPE Workbook [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><Workbook xmlns=\"" +
                kSs + "\"><Worksheet Name=\"&e;\"/></Workbook>",
            "damaged",
            {}},
        FlatCase{"html_doctype", "<!DOCTYPE html><html><body>x</body></html>", "none", {}},
        FlatCase{"deep_other_document", std::string(200000, '<') + "a", "none", {}},
        FlatCase{"binary_noise", std::string("\x89PNG\r\n\x1a\n\0\0", 10), "none", {}},
        FlatCase{"unknown_encoding",
                 "<?xml version=\"1.0\" encoding=\"x-unknown\"?><Workbook xmlns=\"" + kSs + "\"/>",
                 "none",
                 {}},
        FlatCase{"code_page_label_without_number",
                 "<?xml version=\"1.0\" encoding=\"windows-\"?><Workbook xmlns=\"" + kSs + "\"/>",
                 "none",
                 {}}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

TEST(FlatXmlDepthTest, DeepNestingInsideAWorkbookIsDamage) {
  std::string body;
  for (int i = 0; i < 10000; ++i) body += "<a>";
  const ScratchFile file("<Workbook xmlns=\"" + kSs + "\"><Worksheet Name=\"A\">" + body);
  EXPECT_EQ(ListFile(file.Path()).outcome, "damaged");
}

// --- binary workbook records ---------------------------------------------------------------

TEST(XlsbRecordsTest, ReadsSheetRecordsAcrossLargeOtherRecords) {
  const std::string stream = Record(0x83, "") + Record(0x9999 & 0x3FFF, std::string(300000, 'z')) +
                             Record(0x8F, "") + BundleSh(u"rId1", u"表一") +
                             BundleSh(u"rId2", u"Two") + Record(0x90, "") + "trailing garbage";
  TextStream input(stream);
  const auto sheets = ReadXlsbSheets(input);
  ASSERT_EQ(sheets.size(), 2u);
  EXPECT_EQ(sheets[0].name, u"表一");
  EXPECT_EQ(sheets[0].relationship_id, "rId1");
  EXPECT_EQ(sheets[1].name, u"Two");
}

TEST(XlsbRecordsTest, BrokenRecordsAreDamage) {
  const std::string begin = Record(0x83, "");
  const std::string cases[] = {
      begin + BundleSh(u"rId1", u"A"),  // no end record
      begin + Record(0x9C, std::string(8, '\0') + Wide(u"rId1", 4) + Wide(u"A", 900)) +
          Record(0x90, ""),  // name past record
      begin + Record(0x9C, std::string(8, '\0') + Wide(u"", 0xFFFFFFFF) + Wide(u"A", 1)) +
          Record(0x90, ""),                                     // null relationship
      begin + Record(0x9C, "short") + Record(0x90, ""),         // record too short
      begin + "\x9C\x01\xFF\xFF\xFF\xFF",                       // length of five bytes
      begin + "\x9C\x81",                                       // type of three bytes
      begin + Record(0x10, std::string(10, 'x')).substr(0, 5),  // truncated skip
  };
  for (const std::string& bytes : cases) {
    TextStream input(bytes);
    EXPECT_THROW(ReadXlsbSheets(input), Error);
  }
}

}  // namespace
}  // namespace vexmar::workbook::testing
