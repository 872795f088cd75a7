// Part names and relationship targets of a package.
#include "vexmar/workbook/ooxml/opc_package.hpp"

#include <gtest/gtest.h>

#include "vexmar/workbook/containers/zip_name.hpp"
#include "workbook/test_files.hpp"
#include "workbook/zip_builder.hpp"

namespace vexmar::workbook {
namespace {

TEST(OpcPackageTest, ResolvesTargetsAgainstTheSourcePart) {
  struct Case {
    const char* source;
    const char* target;
    const char* part;
  } cases[] = {
      {"", "xl/workbook.xml", "xl/workbook.xml"},
      {"", "/xl/workbook.xml", "xl/workbook.xml"},
      {"", "./xl//workbook.xml", "xl/workbook.xml"},
      {"xl/workbook.xml", "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml"},
      {"xl/workbook.xml", "../customXml/item1.xml", "customXml/item1.xml"},
      {"xl/workbook.xml", "/xl/worksheets/sheet1.xml", "xl/worksheets/sheet1.xml"},
      {"xl/main book.xml", "sheets/a%20b.xml", "xl/sheets/a b.xml"},
      {"", "xl/%E5%B7%A5%E4%BD%9C.xml", "xl/\xE5\xB7\xA5\xE4\xBD\x9C.xml"},
      {"xl/workbook.xml", "sheet.xml#frag", "xl/sheet.xml"},
      {"xl/workbook.xml", "../../escape.xml", ""},
      {"xl/workbook.xml", "http://example.com/x.xml", ""},
      {"xl/workbook.xml", "a/./b.xml", "xl/a/b.xml"},
      {"xl/workbook.xml", "a//b.xml", "xl/a/b.xml"},
      {"xl/workbook.xml", "a\\b.xml", "xl/a/b.xml"},
      {"xl/workbook.xml", "a/.b.xml", "xl/a/.b.xml"},
      {"xl/workbook.xml", "b.xml?x=1", "xl/b.xml"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ResolveTarget(c.source, c.target), c.part) << c.source << " + " << c.target;
  }
}

TEST(OpcPackageTest, RelationshipsPartNames) {
  EXPECT_EQ(RelationshipsPartName(""), "_rels/.rels");
  EXPECT_EQ(RelationshipsPartName("xl/workbook.xml"), "xl/_rels/workbook.xml.rels");
  EXPECT_EQ(RelationshipsPartName("book.bin"), "_rels/book.bin.rels");
}

TEST(OpcPackageTest, RelationshipAndContentTypes) {
  EXPECT_TRUE(IsOfficeDocumentRelationship(
      "http://purl.oclc.org/ooxml/officeDocument/relationships/officeDocument"));
  EXPECT_TRUE(IsWorksheetRelationship(
      "HTTP://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet"));
  EXPECT_FALSE(IsWorksheetRelationship(
      "http://schemas.openxmlformats.org/officeDocument/2006/relationships/chartsheet"));
  EXPECT_FALSE(IsWorksheetRelationship(
      "http://schemas.microsoft.com/office/2006/relationships/xlMacrosheet"));
  EXPECT_TRUE(IsWorkbookContentType("application/vnd.ms-excel.sheet.binary.macroEnabled.main"));
  EXPECT_TRUE(IsWorkbookContentType(
      "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml; x=1"));
  EXPECT_FALSE(IsWorkbookContentType(
      "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"));
}

TEST(OpcPackageTest, PartNamesCompareLikePackageNames) {
  EXPECT_TRUE(PartNamesEqual("/XL/Workbook.xml", "xl\\workbook.XML"));
  EXPECT_EQ(FingerprintPartName("/XL/Workbook.xml"), FingerprintPartName("xl\\workbook.XML"));
  // Names beyond one word, folded alike in whole words and in the tail.
  EXPECT_EQ(FingerprintPartName("/XL\\Worksheets\\Sheet12.XML"),
            FingerprintPartName("xl/worksheets/sheet12.xml"));
  EXPECT_NE(FingerprintPartName("xl/worksheets/sheet12.xml"),
            FingerprintPartName("xl/worksheets/sheet13.xml"));
  EXPECT_NE(FingerprintPartName("xl/worksheets/sheet1.xml"),
            FingerprintPartName("xl/worksheets/sheet1.xml "));
  EXPECT_FALSE(PartNamesEqual("xl/workbook.xml", "xl/workbook.xm"));
  EXPECT_EQ(Cp437ToUtf8("\x80\xE4 ok"), "\xC3\x87\xCE\xA3 ok");
}

// Overrides and extensions claim parts whatever separator, case or leading slash the
// part name is written with, as every other part-name comparison does.
TEST(OpcPackageTest, ContentTypesClaimPartsAsPartNamesCompare) {
  const testing::ScratchFile file(
      testing::ZipBuilder()
          .Add("[Content_Types].xml",
               "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
               "<Override PartName=\"\\xl\\Book.xml\" ContentType=\"application/"
               "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
               "<Default Extension=\"BIN\" "
               "ContentType=\"application/vnd.ms-excel.sheet.binary.macroEnabled.main\"/></Types>")
          .Build());
  const FileSource source(file.Path());
  ZipArchive zip(source);
  const std::optional<ContentTypes> types = ContentTypes::Read(zip);
  ASSERT_TRUE(types.has_value());
  const struct {
    const char* part;
    bool claimed;
  } cases[] = {
      {"xl/book.xml", true},   {"xl\\book.xml", true}, {"/XL\\BOOK.XML", true},
      {"xl\\other.bin", true}, {"xl.bin\\book", false}, {"xl/book.xm", false},
  };
  for (const auto& c : cases) EXPECT_EQ(types->ClaimsWorkbook(c.part), c.claimed) << c.part;
}

}  // namespace
}  // namespace vexmar::workbook
