// Hostile workbooks generated at a scale that runs in seconds: every cap holds in every
// format, and the work stays bounded whatever the input says (counted, never timed).
#include <gtest/gtest.h>

#include <array>

#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/containers/zip_part_limit.hpp"
#include "vexmar/workbook/sheet_limits.hpp"
#ifndef _WIN32
#include "vexmar/workbook/xml/xml_legacy_encoding.hpp"
#endif
#include "vexmar/workbook/xml/xml_skeleton_stream.hpp"
#include "vexmar/workbook/xml/xml_stream.hpp"
#include "workbook/listing_outcome.hpp"
#include "workbook/test_files.hpp"
#include "workbook/text_stream.hpp"
#include "workbook/xlsb_builder.hpp"
#include "workbook/zip_builder.hpp"

namespace vexmar::workbook::testing {
namespace {

const std::string kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
const std::string kTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
const std::string kSs = "urn:schemas-microsoft-com:office:spreadsheet";

Listing ListBytes(const std::string& bytes) {
  const ScratchFile file(bytes);
  return ListFile(file.Path());
}

// `count` distinct ASCII names of `length` units each.
std::vector<std::string> Names(std::size_t count, std::size_t length) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < count; ++i) {
    std::string name = std::to_string(i) + "_";
    name.resize(length, 'n');
    names.push_back(std::move(name));
  }
  return names;
}

std::string Xlsx(const std::vector<std::string>& names) {
  std::string sheets;
  for (const std::string& n : names) sheets += "<sheet name=\"" + n + "\" r:id=\"rId1\"/>";
  return MinimalPackage(WorkbookXml(sheets), WorksheetRels()).Build();
}

std::string OdsContent(const std::string& tables, const std::string& before_body = "") {
  return "<office:document-content xmlns:office=\"" + kOffice + "\" xmlns:table=\"" + kTable +
         "\">" + before_body + "<office:body><office:spreadsheet>" + tables +
         "</office:spreadsheet></office:body></office:document-content>";
}

std::string OdsPackage(const std::string& content) {
  return ZipBuilder()
      .Add({"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false})
      .Add("content.xml", content)
      .Build();
}

std::string Ods(const std::vector<std::string>& names) {
  std::string tables;
  for (const std::string& n : names) tables += "<table:table table:name=\"" + n + "\"/>";
  return OdsPackage(OdsContent(tables));
}

std::string Ssml(const std::vector<std::string>& names) {
  std::string sheets;
  for (const std::string& n : names) sheets += "<Worksheet ss:Name=\"" + n + "\"/>";
  return "<Workbook xmlns=\"" + kSs + "\" xmlns:ss=\"" + kSs + "\">" + sheets + "</Workbook>";
}

std::string Xlsb(const std::vector<std::string>& names) {
  std::string part = Record(0x83, "") + Record(0x8F, "");
  for (const std::string& n : names) part += BundleSh(u"rId1", Utf8ToUtf16(n));
  part += Record(0x90, "");
  ZipBuilder zip;
  zip.Add("_rels/.rels",
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
          "relationships/officeDocument\" Target=\"xl/workbook.bin\"/></Relationships>");
  zip.Add("xl/workbook.bin", part);
  zip.Add("xl/_rels/workbook.bin.rels", WorksheetRels());
  zip.Add("xl/worksheets/sheet1.xml", "<worksheet/>");
  return zip.Build();
}

using Writer = std::string (*)(const std::vector<std::string>&);
struct Format {
  const char* label;
  Writer write;
};
const Format kFormats[] = {{"xlsx", &Xlsx}, {"xlsb", &Xlsb}, {"ods", &Ods}, {"ssml", &Ssml}};

// One name at the per-name cap and one beyond; names of 1,000 sheets just within the
// cap on their total and just beyond it.
TEST(HostileLimitsTest, NameCapsHoldInEveryFormat) {
  const std::size_t per_sheet = kMaxTotalNameUnits / 1000;
  struct Case {
    const char* label;
    std::vector<std::string> names;
    bool listed;
    FailureKind refusal = FailureKind::kSheetNameTooLong;
  } cases[] = {
      {"name_at_cap", Names(1, kMaxSheetNameBytes), true},
      {"name_beyond_cap", Names(1, kMaxSheetNameBytes + 1), false},
      {"total_at_cap", Names(1000, per_sheet), true},
      {"total_beyond_cap", Names(1000, per_sheet + 1), false, FailureKind::kSheetNamesTotalTooLong},
  };
  for (const Format& format : kFormats) {
    for (const Case& c : cases) {
      const Listing got = ListBytes(format.write(c.names));
      EXPECT_EQ(got.outcome, c.listed ? "names" : "damaged")
          << format.label << " " << c.label << ": " << Utf16ToUtf8(got.description);
      if (c.listed) {
        EXPECT_EQ(got.names.size(), c.names.size()) << format.label << c.label;
      } else {
        EXPECT_EQ(got.kind, c.refusal) << format.label << " " << c.label;
      }
    }
  }
}

// The parser's caps, met in the part that holds the sheet list of each XML format: the
// refusal names the cap, never a syntax error (the documents are well-formed).
TEST(HostileLimitsTest, CapRefusalsNameTheirCap) {
  std::string nested;
  for (std::size_t i = 0; i <= XmlStreamParser::kMaxDepth; ++i) nested += "<a>";
  for (std::size_t i = 0; i <= XmlStreamParser::kMaxDepth; ++i) nested += "</a>";
  std::string declarations = "<d";
  for (std::size_t i = 0; i <= XmlStreamParser::kMaxBindings; ++i) {
    declarations += " xmlns:p" + std::to_string(i) + "=\"u\"";
  }
  declarations += "/>";
  // Twice the cap: the token is refused on the way, before expat would hold it whole.
  const std::string comment =
      "<!--" + std::string(2 * XmlStreamParser::kMaxTokenBytes, 'c') + "-->";
  const std::string xlsx_start =
      "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">";
  const std::string sheets = "<sheets><sheet name=\"S1\" r:id=\"rId1\"/></sheets></workbook>";
  auto xlsx = [&](const std::string& filler) {
    return MinimalPackage(xlsx_start + filler + sheets, WorksheetRels(), false).Build();
  };
  auto ods = [](const std::string& filler) {  // stored: the filler deflates beyond the ratio cap
    return ZipBuilder()
        .Add({"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false})
        .Add({"content.xml", OdsContent("<table:table table:name=\"S1\"/>", filler), false})
        .Build();
  };
  auto ssml = [](const std::string& filler) {
    return "<Workbook xmlns=\"" + kSs + "\" xmlns:ss=\"" + kSs + "\">" + filler +
           "<Worksheet ss:Name=\"S1\"/></Workbook>";
  };
  const struct {
    const char* label;
    std::string file;
    FailureKind kind;
  } cases[] = {
      {"xlsx_token", xlsx(comment), FailureKind::kXmlTokenTooLong},
      {"ods_token", ods(comment), FailureKind::kXmlTokenTooLong},
      {"ssml_token", ssml(comment), FailureKind::kXmlTokenTooLong},
      // The other formats pass only their top levels to the parser: deep cells are skipped.
      {"xlsx_nesting", xlsx(nested), FailureKind::kXmlNestingTooDeep},
      {"xlsx_namespaces", xlsx(declarations), FailureKind::kXmlNamespaceDeclarationsExceeded},
      {"ods_namespaces", ods(declarations), FailureKind::kXmlNamespaceDeclarationsExceeded},
      {"ssml_namespaces", ssml(declarations), FailureKind::kXmlNamespaceDeclarationsExceeded},
  };
  for (const auto& c : cases) {
    const Listing got = ListBytes(c.file);
    EXPECT_EQ(got.kind, c.kind) << c.label << ": " << Utf16ToUtf8(got.description);
    EXPECT_EQ(got.description, FailureDescription(c.kind)) << c.label;
  }
}

#ifndef _WIN32
// A flat document in GBK, mostly short comments of Chinese text: converted to UTF-8 in
// blocks, a few converter calls per 64 KiB whatever the characters.
TEST(HostileLimitsTest, LegacyEncodingsAreConvertedInBlocks) {
  std::string comments;
  while (comments.size() < (std::size_t{4} << 20)) comments += "<!--\xB3\xC9\xBC\xA8\xB1\xED-->";
  const std::string doc = "<?xml version=\"1.0\" encoding=\"GBK\"?>" + Ssml({"S1"});
  const std::string with_comments =
      doc.substr(0, doc.find("<Worksheet")) + comments + doc.substr(doc.find("<Worksheet"));
  const std::uint64_t before = LegacyEncodingStream::ConverterCalls();
  const Listing got = ListBytes(with_comments);
  EXPECT_EQ(got.names, std::vector<std::u16string>{u"S1"}) << Utf16ToUtf8(got.description);
  EXPECT_LE(LegacyEncodingStream::ConverterCalls() - before, with_comments.size() / 65536 + 2);
}
#endif

// Collects the namespace of every element and attribute it is shown.
class RecordingHandler final : public XmlHandler {
 public:
  bool StartElement(const XmlName& name, const XmlAttributes&, std::size_t) override {
    namespaces.emplace_back(name.Namespace());
    return true;
  }
  bool EndElement(const XmlName&, std::size_t) override { return true; }
  std::vector<std::string> namespaces;
};

// Each thread keeps one parser between documents. Whatever the previous document did
// (cut short, refused, stopped by its handler, failed in it, beyond the memory cap), the
// next one parses as in a fresh parser: outcome, namespaces and error line.
TEST(HostileLimitsTest, DocumentAfterAnyEndingParsesAsInAFreshParser) {
  class EndingHandler final : public XmlHandler {
   public:
    explicit EndingHandler(int how) : how_(how) {}
    bool StartElement(const XmlName&, const XmlAttributes&, std::size_t depth) override {
      if (how_ == 1 && depth == 2) return false;
      if (how_ == 2 && depth == 2) RaiseFailure(FailureKind::kPartMalformedXml);
      return true;
    }
    bool EndElement(const XmlName&, std::size_t) override { return true; }

   private:
    int how_;
  };
  std::string many_names = "<r>";
  for (int i = 0; i < 1'000'000; ++i) many_names += "<n" + std::to_string(i) + "/>";
  const struct {
    std::string doc;
    int how;  // 0: plain handler, 1: stops at depth 2, 2: throws at depth 2
  } previous[] = {
      {"<r>\n<a>", 0},      {"<!DOCTYPE r><r/>", 0},      {"<r xmlns:q='urn:q'><q:a/></r>", 1},
      {"<r><a/></r>", 2},   {many_names + "</r>", 0},     {"<r xmlns='urn:d'><a/></r>", 0},
  };
  for (const auto& before : previous) {
    {
      EndingHandler ending(before.how);
      XmlStreamParser parser(ending);
      TextStream input(before.doc);
      try {
        parser.Parse(input);
      } catch (const Error&) {
      }
    }
    RecordingHandler handler;
    XmlStreamParser parser(handler);
    TextStream good("<p:r xmlns:p='urn:x'><p:e/><e/></p:r>");
    EXPECT_EQ(parser.Parse(good), XmlOutcome::kComplete) << before.doc.substr(0, 40);
    EXPECT_EQ(handler.namespaces, (std::vector<std::string>{"urn:x", "urn:x", ""}));
    XmlStreamParser again(handler);
    TextStream bad("<r>\n\n<a></r>");
    EXPECT_EQ(again.Parse(bad), XmlOutcome::kMalformed);
    EXPECT_EQ(again.ErrorLine(), 3u);
  }
}

// A prefix bound to a 64 KiB URI, used by 2,000 attributes of one tag and by 2,000
// elements: the parser's memory stays that of the document, not URI x names.
TEST(HostileLimitsTest, LongNamespaceUrisCostNothingPerName) {
  const std::string uri = "urn:" + std::string(64 * 1024, 'u');
  std::string attributes;
  std::string elements;
  for (int i = 0; i < 2000; ++i) {
    attributes += " p:a" + std::to_string(i) + "=\"\"";
    elements += "<p:e/>";
  }
  const std::string doc = "<r xmlns:p=\"" + uri + "\"><e" + attributes + "/>" + elements + "</r>";
  RecordingHandler handler;
  XmlStreamParser parser(handler);
  TextStream input(doc);
  EXPECT_EQ(parser.Parse(input), XmlOutcome::kComplete);
  EXPECT_LT(parser.PeakMemory(), std::size_t{1} << 20);
  ASSERT_EQ(handler.namespaces.size(), 2002u);
  // Beyond kMaxNamespaceBytes a URI is an unknown namespace: never the one asked for.
  EXPECT_NE(handler.namespaces.back(), uri);

  // The same in a workbook part, around a sheet list that must still be read.
  std::string sheet_attributes;
  for (int i = 0; i < 2000; ++i) sheet_attributes += " p:a" + std::to_string(i) + "=\"\"";
  const std::string workbook =
      "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
      "xmlns:p=\"" +
      uri + "\"><sheets><sheet name=\"S1\" r:id=\"rId1\"" + sheet_attributes +
      "/></sheets></workbook>";
  EXPECT_EQ(ListBytes(MinimalPackage(workbook, WorksheetRels()).Build()).names,
            std::vector<std::u16string>{u"S1"});
}

// Two million distinct element names: the parser's pool of names stops at its memory
// cap instead of growing with the document.
TEST(HostileLimitsTest, DistinctNamePoolIsBounded) {
  std::string doc = "<r>";
  for (int i = 0; i < 2'000'000; ++i) doc += "<n" + std::to_string(i) + "/>";
  doc += "</r>";
  RecordingHandler handler;
  XmlStreamParser parser(handler, 1);
  TextStream input(doc);
  bool refused = false;
  try {
    parser.Parse(input);
  } catch (const Error&) {
    refused = true;
  }
#ifndef _WIN32
  EXPECT_TRUE(refused);  // expat pools every distinct name; the Windows parser keeps none
#endif
  (void)refused;
  EXPECT_GT(parser.PeakMemory(), 0u);  // the parser's allocations are charged on both
  EXPECT_LE(parser.PeakMemory(), XmlStreamParser::kMaxParserMemory);
}

// 1 GiB of inflated tiny elements would cost the parser seconds; it is fed no more
// than the part cap, whatever comes before the sheet list (here text, which is cheap to
// generate and to parse; the benchmark times tiny elements at full size).
TEST(HostileLimitsTest, PartsBeyondTheParseCapAreDamage) {
  const std::string filler = "<a>" + std::string(kMaxPartBytesParsed, 't') + "</a>";
  const std::string workbook =
      "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">" +
      filler + "<sheets><sheet name=\"S1\" r:id=\"rId1\"/></sheets></workbook>";
  // Stored rather than deflated: what matters is the parse, not the inflating.
  const Listing got = ListBytes(MinimalPackage(workbook, WorksheetRels(), false).Build());
  EXPECT_EQ(got.outcome, "damaged");
  EXPECT_EQ(got.kind, FailureKind::kPartTooLongBeforeContent) << Utf16ToUtf8(got.description);
}

// 16 MiB of tiny cells below the kept levels reach the parser as the few bytes of the
// skeleton around them: the bytes fed to the parser, counted.
TEST(HostileLimitsTest, SkippedCellsNeverReachTheParser) {
  std::string cells;
  while (cells.size() < (std::size_t{16} << 20)) cells += "<c/><d x='>'/><!-- <e> -->";
  const std::string doc = "<r><b><s><t n='1'><row>" + cells + "</row></t></s></b></r>";
  TextStream input(doc);
  XmlSkeletonStream skeleton(input, 4);
  std::uint64_t fed = 0;
  std::array<std::byte, 65536> buffer{};
  while (const std::size_t n = skeleton.Read(buffer)) fed += n;
  EXPECT_EQ(fed, std::string("<r><b><s><t n='1'></t></s></b></r>").size());
}

}  // namespace
}  // namespace vexmar::workbook::testing
