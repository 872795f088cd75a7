// Sheet names as a spreadsheet program would show them: distinct ignoring case, decoded
// from any declared encoding, found under any zip name separator.
#include <gtest/gtest.h>

#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/distinct_sheet_names.hpp"
#include "workbook/listing_outcome.hpp"
#include "workbook/test_files.hpp"
#include "workbook/zip_builder.hpp"

namespace vexmar::workbook::testing {
namespace {

using Names = std::vector<std::u16string>;

const std::string kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
const std::string kTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
const std::string kSs = "urn:schemas-microsoft-com:office:spreadsheet";

Listing ListBytes(const std::string& bytes) {
  const ScratchFile file(bytes);
  return ListFile(file.Path());
}

TEST(DistinctSheetNamesTest, LaterEqualNamesAndUnnamedSheetsAreRenamed) {
  struct Case {
    Names in;
    Names out;
  } cases[] = {
      {{u"Sheet1", u"Data"}, {u"Sheet1", u"Data"}},
      {{u"", u"Sheet1"}, {u"Sheet1", u"Sheet1_2"}},
      {{u"Sheet2", u""}, {u"Sheet2", u"Sheet3"}},
      {{u"", u"", u"sheet2"}, {u"Sheet1", u"Sheet2", u"sheet2_2"}},
      {{u"A", u"a", u"A_2", u"a"}, {u"A", u"a_2", u"A_2_2", u"a_3"}},
      {{u"成绩", u"成绩"}, {u"成绩", u"成绩_2"}},
      {{u"Straße", u"STRASSE"}, {u"Straße", u"STRASSE"}},  // one unit against two
      {{u"ǅ", u"ǆ"}, {u"ǅ", u"ǆ_2"}},
  };
  for (Case& c : cases) {
    Names names = c.in;
    MakeSheetNamesDistinct(names);
    EXPECT_EQ(names, c.out) << Utf16ToUtf8(c.in.back());
  }
}

// 30,000 equal names and 30,000 unnamed sheets: each search resumes where the last one
// for its base ended (a search from the start each time would take 450 million tries).
TEST(DistinctSheetNamesTest, ManyEqualNamesStayLinear) {
  Names same(30'000, u"X");
  MakeSheetNamesDistinct(same);
  EXPECT_EQ(same[1], u"X_2");
  EXPECT_EQ(same.back(), u"X_30000");
  Names unnamed(30'000, u"");
  unnamed[0] = u"Sheet2";
  MakeSheetNamesDistinct(unnamed);
  EXPECT_EQ(unnamed[1], u"Sheet3");
  EXPECT_EQ(unnamed.back(), u"Sheet30001");
}

std::string Fods(const std::string& tables) {
  return "<office:document xmlns:office=\"" + kOffice + "\" xmlns:table=\"" + kTable +
         "\"><office:body><office:spreadsheet>" + tables +
         "</office:spreadsheet></office:body></office:document>";
}

TEST(DistinctSheetNamesTest, EveryFormatGivesDistinctNames) {
  const struct {
    const char* label;
    std::string bytes;
    Names names;
  } cases[] = {
      {"fods_unnamed_then_named",
       Fods("<table:table/><table:table table:name=\"Sheet1\"/><table:table/>"),
       {u"Sheet1", u"Sheet1_2", u"Sheet3"}},
      {"ssml_equal_ignoring_case",
       "<Workbook xmlns=\"" + kSs + "\"><Worksheet Name=\"Data\"/><Worksheet Name=\"DATA\"/>" +
           "</Workbook>",
       {u"Data", u"DATA_2"}},
      {"xlsx_equal_names",
       MinimalPackage(WorkbookXml("<sheet name=\"S\" r:id=\"rId1\"/><sheet name=\"s\" "
                                  "r:id=\"rId1\"/>"),
                      WorksheetRels())
           .Build(),
       {u"S", u"s_2"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ListBytes(c.bytes).names, c.names) << c.label;
  }
}

std::string SsmlIn(const std::string& encoding, const std::string& name_bytes) {
  return "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?><Workbook xmlns=\"" + kSs +
         "\"><Worksheet Name=\"" + name_bytes + "\"/><Worksheet Name=\"Data\"/></Workbook>";
}

// Legacy encodings in the XML declaration, single- and double-byte, in a flat document
// and in the parts of both zip formats.
TEST(LegacyEncodingTest, DeclaredEncodingsAreDecoded) {
  const struct {
    const char* encoding;
    std::string bytes;
    std::u16string name;
  } cases[] = {
      {"windows-1252", "caf\xE9", u"café"},
      {"windows-1250", "\xA3\xF3\x64\x9F", u"Łódź"},
      {"windows-1251", "\xCB\xE8\xF1\xF2\x31", u"Лист1"},
      {"windows-1258", "Implied", u"Implied"},  // the converter holds a last letter back
      {"KOI8-R", "\xEC\xC9\xD3\xD4", u"Лист"},
      {"GBK", "\xB3\xC9\xBC\xA8", u"成绩"},
      {"GB2312", "\xB9\xA4\xD7\xF7\xB1\xED", u"工作表"},
      {"Shift_JIS", "\x95\x5C\x8C\x76\x8E\x5A", u"表計算"},  // a trail byte 0x5C
      {"Big5", "\xA6\xA8\xC1\x5A", u"成績"},
      {"EUC-KR", "\xBD\xC3\xC6\xAE", u"시트"},
      {"EUC-JP", "\xC9\xBD", u"表"},
      // Four-byte forms beside two-byte ones: U+20000 and U+0080, then 成.
      {"GB18030", "\x95\x32\x82\x36\x81\x30\x81\x30\xB3\xC9", u"\U00020000\u0080成"},
  };
  for (const auto& c : cases) {
    const std::string declaration =
        std::string("<?xml version=\"1.0\" encoding=\"") + c.encoding + "\"?>";
    EXPECT_EQ(ListBytes(SsmlIn(c.encoding, c.bytes)).names, (Names{c.name, u"Data"}))
        << c.encoding;
    const std::string content =
        declaration + "<office:document-content xmlns:office=\"" + kOffice +
        "\" xmlns:table=\"" + kTable + "\"><office:body><office:spreadsheet><table:table " +
        "table:name=\"" + c.bytes + "\"/></office:spreadsheet></office:body>" +
        "</office:document-content>";
    const std::string ods =
        ZipBuilder()
            .Add({"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false})
            .Add("content.xml", content)
            .Build();
    EXPECT_EQ(ListBytes(ods).names, Names{c.name}) << c.encoding;
    const std::string xlsx =
        MinimalPackage(declaration + WorkbookXml("<sheet name=\"" + c.bytes + "\" r:id=\"rId1\"/>"),
                       WorksheetRels())
            .Build();
    EXPECT_EQ(ListBytes(xlsx).names, Names{c.name}) << c.encoding;
  }
  // Encodings that are not ASCII-compatible stay unknown: the document is no workbook.
  for (const char* encoding : {"EBCDIC-US", "UTF-7", "no such encoding"}) {
    EXPECT_EQ(ListBytes(SsmlIn(encoding, "A")).outcome, "none") << encoding;
  }
}

// Some writers separate folders with "\": the workbook part, its relationships and the
// worksheet parts are found alike.
TEST(ZipNameSeparatorTest, BackslashesResolveLikeSlashes) {
  const std::string rels = WorksheetRels();
  const std::string workbook = WorkbookXml("<sheet name=\"S1\" r:id=\"rId1\"/>");
  const std::string root_rels =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
      "relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
  for (const char* separator : {"\\", "/"}) {
    for (bool mixed : {false, true}) {
      const std::string s = separator;
      const std::string rels_name = mixed ? "xl/_rels/workbook.xml.rels"
                                          : "xl" + s + "_rels" + s + "workbook.xml.rels";
      const std::string bytes = ZipBuilder()
                                    .Add("_rels" + s + ".rels", root_rels)
                                    .Add("xl" + s + "workbook.xml", workbook)
                                    .Add(rels_name, rels)
                                    .Add("xl" + s + "worksheets" + s + "sheet1.xml", "<worksheet/>")
                                    .Build();
      const Listing got = ListBytes(bytes);
      EXPECT_EQ(got.names, Names{u"S1"}) << s << mixed << Utf16ToUtf8(got.description);
    }
  }
}

}  // namespace
}  // namespace vexmar::workbook::testing
