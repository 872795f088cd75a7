// Hostile workbooks generated at a scale that runs in seconds: every cap holds in every
// format, and the work stays bounded whatever the input says (counted, never timed).
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/containers/zip_part_limit.hpp"
#include "vexmar/workbook/sheet_limits.hpp"
#include "vexmar/workbook/xml/xml_skeleton_stream.hpp"
#include "vexmar/workbook/xml/xml_stream.hpp"
#include "workbook/listing_outcome.hpp"
#include "workbook/test_files.hpp"
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
  } cases[] = {
      {"name_at_cap", Names(1, kMaxSheetNameBytes), true},
      {"name_beyond_cap", Names(1, kMaxSheetNameBytes + 1), false},
      {"total_at_cap", Names(1000, per_sheet), true},
      {"total_beyond_cap", Names(1000, per_sheet + 1), false},
  };
  for (const Format& format : kFormats) {
    for (const Case& c : cases) {
      const Listing got = ListBytes(format.write(c.names));
      EXPECT_EQ(got.outcome, c.listed ? "names" : "damaged")
          << format.label << " " << c.label << ": " << Utf16ToUtf8(got.description);
      if (c.listed) {
        EXPECT_EQ(got.names.size(), c.names.size()) << format.label << c.label;
      }
    }
  }
}

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

class StringStream final : public ByteStream {
 public:
  explicit StringStream(std::string data) : data_(std::move(data)) {}
  std::size_t Read(std::span<std::byte> out) override {
    const std::size_t n = std::min(out.size(), data_.size() - position_);
    std::memcpy(out.data(), data_.data() + position_, n);
    position_ += n;
    return n;
  }

 private:
  std::string data_;
  std::size_t position_ = 0;
};

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
  StringStream input(doc);
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
  StringStream input(doc);
  EXPECT_THROW(parser.Parse(input), Error);
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
  StringStream input(doc);
  XmlSkeletonStream skeleton(input, 4);
  std::uint64_t fed = 0;
  std::array<std::byte, 65536> buffer{};
  while (const std::size_t n = skeleton.Read(buffer)) fed += n;
  EXPECT_EQ(fed, std::string("<r><b><s><t n='1'></t></s></b></r>").size());
}

}  // namespace
}  // namespace vexmar::workbook::testing
