#pragma once
// Builds zip archives in memory for tests, including deliberately broken ones.
#include <string>
#include <vector>

#include "testkit/zip_writer.hpp"

namespace vexmar::workbook::testing {

using BuildEntry = testkit::ZipEntry;

class ZipBuilder {
 public:
  ZipBuilder& Add(BuildEntry entry) {
    entries_.push_back(std::move(entry));
    return *this;
  }
  ZipBuilder& Add(std::string name, std::string data) {
    return Add(BuildEntry{std::move(name), std::move(data)});
  }
  ZipBuilder& Prefix(std::string bytes) {
    prefix_ = std::move(bytes);
    return *this;
  }
  ZipBuilder& Comment(std::string text) {
    comment_ = std::move(text);
    return *this;
  }

  std::string Build() const {
    std::string out;
    testkit::ZipWriter zip(&out);
    zip.Prefix(prefix_);
    for (const BuildEntry& e : entries_) zip.Add(e);
    zip.Finish(comment_);
    return out;
  }

 private:
  std::vector<BuildEntry> entries_;
  std::string prefix_;
  std::string comment_;
};

// A minimal workbook package with the given workbook.xml and its relationships.
inline ZipBuilder MinimalPackage(const std::string& workbook_xml, const std::string& workbook_rels,
                                 bool deflate_workbook = true) {
  ZipBuilder zip;
  zip.Add("[Content_Types].xml",
          "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
          "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
          "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/></Types>");
  zip.Add("_rels/.rels",
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
          "relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
  zip.Add({"xl/workbook.xml", workbook_xml, deflate_workbook});
  zip.Add("xl/_rels/workbook.xml.rels", workbook_rels);
  zip.Add("xl/worksheets/sheet1.xml", "<worksheet/>");
  return zip;
}

inline std::string WorkbookXml(const std::string& sheets) {
  return "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
         "relationships\"><sheets>" +
         sheets + "</sheets></workbook>";
}

inline std::string WorksheetRels() {
  return "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
         "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>";
}

}  // namespace vexmar::workbook::testing
