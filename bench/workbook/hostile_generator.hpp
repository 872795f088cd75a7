#pragma once
// The worst cases of each zip and XML format at full size, for the benchmarks: inflate
// bombs of tiny elements or records, a namespace URI of 1 MiB used by thousands of
// names, sheets with long names, and a pool of distinct element names.
#include <cstdint>
#include <filesystem>
#include <string>

#include "bench/workbook/zip_xml_generator.hpp"

namespace vexmar::bench {

// The package relationships, pointing at xl/workbook.<extension>.
inline std::string PackageRels(const std::string& extension) {
  return "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
         "2006/relationships/officeDocument\" Target=\"xl/workbook." +
         extension + "\"/></Relationships>";
}
inline const char* kWorkbookRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
    "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>";

// `n` letters, mostly "u" with a "v" in about 256: a crafted long text compresses well,
// but not beyond the archive's ratio cap.
inline std::string Sprinkled(std::size_t n) {
  std::string text(n, 'u');
  std::uint32_t state = 7;
  for (char& c : text) {
    state = state * 1103515245u + 12345u;
    if (((state >> 16) & 0xFF) == 0) c = 'v';
  }
  return text;
}

// Streams a 1 MiB block of `usual` with one `rare` in about 256 (so that the entry stays
// within the archive's ratio cap, as a crafted bomb does) up to `bytes`, between `head`
// and `tail`.
inline void AddRepeated(testkit::ZipWriter& zip, const std::string& name, const std::string& head,
                        const std::string& usual, const std::string& rare, std::uint64_t bytes,
                        const std::string& tail) {
  std::string block;
  std::uint32_t state = 1;
  while (block.size() < (1 << 20)) {
    state = state * 1103515245u + 12345u;
    block += ((state >> 16) & 0xFF) == 0 ? rare : usual;
  }
  std::uint64_t produced = 0;
  zip.AddDeflated(name, 6, [&](std::string& out) {
    if (produced == 0) out += head;
    if (produced < bytes) {
      out += block;
      produced += block.size();
      return true;
    }
    out += tail;
    return false;
  });
}

// An .xlsx (or, with `binary`, an .xlsb) whose workbook part holds `bytes` of tiny
// elements (records) before its sheet list.
inline void WriteWorkbookPartBomb(const std::filesystem::path& path, std::uint64_t bytes,
                                  bool binary) {
  testkit::ZipWriter zip(path);
  zip.AddDeflated("_rels/.rels", PackageRels(binary ? "bin" : "xml"));
  if (binary) {
    // BrtBeginBook, empty records, then one BrtBundleSh (rId1, "S1") and BrtEndBundleShs.
    const std::string body = std::string(8, '\0') + std::string("\x04\0\0\0r\0I\0d\0" "1\0", 12) +
                             std::string("\x02\0\0\0S\0" "1\0", 8);
    const std::string sheet = std::string("\x9C\x01", 2) + static_cast<char>(body.size()) + body;
    AddRepeated(zip, "xl/workbook.bin", std::string("\x83\x01\0", 3), std::string("\x01\0", 2),
                std::string("\x02\0", 2), bytes, sheet + std::string("\x90\x01\0", 3));
  } else {
    AddRepeated(zip, "xl/workbook.xml",
                std::string("<workbook xmlns=\"") + kMainNs + "\" xmlns:r=\"" + kRelNs + "\">",
                "<a/>", "<b/>", bytes, "<sheets><sheet name=\"S1\" r:id=\"rId1\"/></sheets></workbook>");
  }
  zip.AddDeflated(std::string("xl/_rels/workbook.") + (binary ? "bin" : "xml") + ".rels",
                  kWorkbookRels);
  zip.AddDeflated("xl/worksheets/sheet1.xml", "<worksheet/>");
  zip.Finish();
}

// An .ods whose content.xml holds `bytes` of tiny elements: inside a table row (below
// the levels the reader parses) or among the automatic styles (parsed).
inline void WriteOdsBomb(const std::filesystem::path& path, std::uint64_t bytes, bool in_cells) {
  testkit::ZipWriter zip(path);
  zip.AddStored("mimetype", "application/vnd.oasis.opendocument.spreadsheet");
  const std::string root = std::string("<office:document-content ") + kOdsNamespaces + ">";
  if (in_cells) {
    AddRepeated(zip, "content.xml",
                root + "<office:body><office:spreadsheet><table:table table:name=\"T1\">"
                       "<table:table-row>",
                "<c/>", "<d/>", bytes,
                "</table:table-row></table:table></office:spreadsheet></office:body>"
                "</office:document-content>");
  } else {
    AddRepeated(zip, "content.xml", root + "<office:automatic-styles>", "<s/>", "<t/>", bytes,
                "</office:automatic-styles><office:body><office:spreadsheet><table:table "
                "table:name=\"T1\"/></office:spreadsheet></office:body>"
                "</office:document-content>");
  }
  zip.Finish();
}

// A SpreadsheetML file of `bytes` of empty rows (parsed: rows sit at the kept depth).
inline void WriteSpreadsheetMlRows(const std::filesystem::path& path, std::uint64_t bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) throw std::runtime_error("cannot write " + path.string());
  std::string out =
      "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"><Worksheet Name=\"S1\">"
      "<Table>";
  std::fwrite(out.data(), 1, out.size(), f);
  out = "</Table></Worksheet></Workbook>";
  std::string block;
  while (block.size() < (1 << 20)) block += "<Row/>";
  for (std::uint64_t written = 0; written < bytes; written += block.size()) {
    std::fwrite(block.data(), 1, block.size(), f);
  }
  std::fwrite(out.data(), 1, out.size(), f);
  std::fclose(f);
}

// A workbook part with a prefix bound to a URI of `uri_bytes`, used by `attributes`
// attributes of the sheet element.
inline void WriteLongUriXlsx(const std::filesystem::path& path, std::size_t uri_bytes,
                             int attributes) {
  testkit::ZipWriter zip(path);
  zip.AddDeflated("_rels/.rels", PackageRels("xml"));
  std::string uses;
  for (int i = 0; i < attributes; ++i) uses += " p:a" + std::to_string(i) + "=\"\"";
  zip.AddDeflated("xl/workbook.xml", std::string("<workbook xmlns=\"") + kMainNs +
                                         "\" xmlns:r=\"" + kRelNs + "\" xmlns:p=\"urn:" +
                                         Sprinkled(uri_bytes) +
                                         "\"><sheets><sheet name=\"S1\" r:id=\"rId1\"" + uses +
                                         "/></sheets></workbook>");
  zip.AddDeflated("xl/_rels/workbook.xml.rels", kWorkbookRels);
  zip.AddDeflated("xl/worksheets/sheet1.xml", "<worksheet/>");
  zip.Finish();
}

// `sheets` sheets whose names have `name_units` units each.
inline void WriteLongNamesXlsx(const std::filesystem::path& path, int sheets,
                               std::size_t name_units) {
  testkit::ZipWriter zip(path);
  zip.AddDeflated("_rels/.rels", PackageRels("xml"));
  int done = -1;
  const std::string filler = Sprinkled(name_units);
  zip.AddDeflated("xl/workbook.xml", 9, [&](std::string& out) {
    if (done < 0) {
      out += std::string("<workbook xmlns=\"") + kMainNs + "\" xmlns:r=\"" + kRelNs +
             "\"><sheets>";
      done = 0;
    }
    for (int i = 0; i < 64 && done < sheets; ++i, ++done) {
      std::string name = std::to_string(done) + "_" + filler;
      name.resize(name_units);
      out += "<sheet name=\"" + name + "\" r:id=\"rId1\"/>";
    }
    if (done < sheets) return true;
    out += "</sheets></workbook>";
    return false;
  });
  zip.AddDeflated("xl/_rels/workbook.xml.rels", kWorkbookRels);
  zip.AddDeflated("xl/worksheets/sheet1.xml", "<worksheet/>");
  zip.Finish();
}

// `bytes` of distinct element names before the sheet list.
inline void WriteDistinctNamesXlsx(const std::filesystem::path& path, std::uint64_t bytes) {
  testkit::ZipWriter zip(path);
  zip.AddDeflated("_rels/.rels", PackageRels("xml"));
  std::uint64_t produced = 0;
  std::uint64_t next = 0;
  zip.AddDeflated("xl/workbook.xml", 9, [&](std::string& out) {
    if (produced == 0) {
      out += std::string("<workbook xmlns=\"") + kMainNs + "\" xmlns:r=\"" + kRelNs + "\">";
    }
    if (produced < bytes) {
      for (int i = 0; i < 10000; ++i) out += "<n" + std::to_string(next++) + "/>";
      produced += out.size();
      return true;
    }
    out += "<sheets><sheet name=\"S1\" r:id=\"rId1\"/></sheets></workbook>";
    return false;
  });
  zip.AddDeflated("xl/_rels/workbook.xml.rels", kWorkbookRels);
  zip.AddDeflated("xl/worksheets/sheet1.xml", "<worksheet/>");
  zip.Finish();
}

}  // namespace vexmar::bench
