#pragma once
// Writes large zip and XML workbooks for the benchmarks: one big worksheet streamed
// through deflate, many small sheets, a large OpenDocument spreadsheet and a large
// SpreadsheetML file. Nothing here is kept in memory whole.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "testkit/zip_writer.hpp"

namespace vexmar::bench {

// Pseudo-random cell values: realistic compression, same file every run.
class CellValues {
 public:
  std::uint32_t Next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state_ >> 33);
  }

 private:
  std::uint64_t state_ = 42;
};

inline const char* kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline const char* kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline const char* kPkgRelNs = "http://schemas.openxmlformats.org/package/2006/relationships";

// An .xlsx as a spreadsheet program writes it: styles, a shared-string table and a first
// sheet filled with rows (six numbers and two shared strings each) until the file reaches
// `target_bytes`; `sheet_count` sheets in all.
inline void WriteXlsx(const std::filesystem::path& path, std::uint64_t target_bytes,
                      int sheet_count) {
  testkit::ZipWriter zip(path);
  const std::string ct = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
  std::string types =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types xmlns=\"http://"
      "schemas.openxmlformats.org/package/2006/content-types\"><Default Extension=\"rels\" "
      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Override "
      "PartName=\"/xl/workbook.xml\" ContentType=\"" +
      ct +
      "sheet.main+xml\"/>"
      "<Override PartName=\"/xl/styles.xml\" ContentType=\"" +
      ct +
      "styles+xml\"/>"
      "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"" +
      ct + "sharedStrings+xml\"/>";
  std::string sheets;
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
  std::string rels =
      std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"") + kPkgRelNs +
      "\">";
  for (int i = 1; i <= sheet_count; ++i) {
    const std::string n = std::to_string(i);
    types += "<Override PartName=\"/xl/worksheets/sheet" + n + ".xml\" ContentType=\"" + ct +
             "worksheet+xml\"/>";
    sheets += "<sheet name=\"Sheet " + n + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + rel +
            "worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
  }
  rels += "<Relationship Id=\"rIdS\" Type=\"" + rel + "styles\" Target=\"styles.xml\"/>";
  rels +=
      "<Relationship Id=\"rIdT\" Type=\"" + rel + "sharedStrings\" Target=\"sharedStrings.xml\"/>";
  types += "</Types>";
  rels += "</Relationships>";
  zip.AddDeflated("[Content_Types].xml", types);
  zip.AddDeflated("_rels/.rels",
                  std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"") +
                      kPkgRelNs + "\"><Relationship Id=\"rId1\" Type=\"" + rel +
                      "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
  zip.AddDeflated("xl/workbook.xml",
                  std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"") +
                      kMainNs + "\" xmlns:r=\"" + kRelNs + "\"><sheets>" + sheets +
                      "</sheets></workbook>");
  zip.AddDeflated("xl/_rels/workbook.xml.rels", rels);
  zip.AddDeflated(
      "xl/styles.xml",
      std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><styleSheet xmlns=\"") + kMainNs +
          "\"><fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
          "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill "
          "patternType=\"gray125\"/></fill></fills><borders count=\"1\"><border><left/><right/>"
          "<top/><bottom/><diagonal/></border></borders><cellStyleXfs count=\"1\"><xf "
          "numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs><cellXfs "
          "count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" "
          "xfId=\"0\"/></cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
          "builtinId=\"0\"/></cellStyles></styleSheet>");
  // About one distinct string per 100 bytes of file, as text-bearing sheets have.
  const std::uint64_t strings =
      std::max<std::uint64_t>(100, std::min<std::uint64_t>(target_bytes / 100, 500000));
  const std::string head =
      std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns=\"") + kMainNs +
      "\"><dimension ref=\"A1:H1048576\"/><sheetData>";  // the used range, as producers write it
  const std::string tail = "</sheetData></worksheet>";
  CellValues values;
  std::uint64_t row = 0;
  bool started = false;
  zip.AddDeflated("xl/worksheets/sheet1.xml", 1, [&](std::string& out) {
    if (!started) {
      out += head;
      started = true;
    }
    for (int r = 0; r < 2000; ++r) {
      ++row;
      const std::string rn = std::to_string(row);
      out += "<row r=\"" + rn + "\">";
      for (char col = 'A'; col <= 'H'; ++col) {
        out += "<c r=\"";
        out += col;
        if (col >= 'G') {
          out += rn + "\" t=\"s\"><v>" + std::to_string(values.Next() % strings) + "</v></c>";
        } else {
          out += rn + "\"><v>" + std::to_string(values.Next() % 1000000) + "</v></c>";
        }
      }
      out += "</row>";
    }
    if (zip.Size() >= target_bytes) {
      out += tail;
      return false;
    }
    return true;
  });
  std::uint64_t written = 0;
  zip.AddDeflated("xl/sharedStrings.xml", 1, [&](std::string& out) {
    if (written == 0) {
      out += std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst xmlns=\"") + kMainNs +
             "\" count=\"" + std::to_string(strings) + "\" uniqueCount=\"" +
             std::to_string(strings) + "\">";
    }
    for (int i = 0; i < 5000 && written < strings; ++i, ++written) {
      out += "<si><t>Item " + std::to_string(written) + " lot " +
             std::to_string(values.Next() % 100000) + "</t></si>";
    }
    if (written < strings) return true;
    out += "</sst>";
    return false;
  });
  for (int i = 2; i <= sheet_count; ++i) {
    zip.AddDeflated("xl/worksheets/sheet" + std::to_string(i) + ".xml",
                    std::string("<worksheet xmlns=\"") + kMainNs +
                        "\"><dimension ref=\"A1\"/><sheetData><row r=\"1\"><c r=\"A1\"><v>" +
                        std::to_string(i) + "</v></c></row></sheetData></worksheet>");
  }
  zip.Finish();
}

// Rows of numeric cells in the form each XML format writes them.
inline void AppendOdsRows(std::string& out, CellValues& values, int rows) {
  for (int r = 0; r < rows; ++r) {
    out += "<table:table-row table:style-name=\"ro1\">";
    for (int c = 0; c < 8; ++c) {
      const std::string v = std::to_string(values.Next() % 1000000);
      out += "<table:table-cell office:value-type=\"float\" office:value=\"" + v +
             "\" calcext:value-type=\"float\"><text:p>" + v + "</text:p></table:table-cell>";
    }
    out += "</table:table-row>";
  }
}

inline const char* kOdsNamespaces =
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:calcext=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\"";

// An .ods with three tables whose content.xml grows to about `xml_bytes`.
inline std::uint64_t WriteOds(const std::filesystem::path& path, std::uint64_t xml_bytes) {
  testkit::ZipWriter zip(path);
  zip.AddStored("mimetype", "application/vnd.oasis.opendocument.spreadsheet");
  zip.AddDeflated("META-INF/manifest.xml",
                  "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:"
                  "manifest:1.0\"><manifest:file-entry manifest:full-path=\"content.xml\" "
                  "manifest:media-type=\"text/xml\"/></manifest:manifest>");
  CellValues values;
  std::uint64_t produced = 0;
  int step = 0;
  const int kSteps = 3;
  zip.AddDeflated("content.xml", 1, [&](std::string& out) {
    if (produced == 0) {
      out += std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content ") +
             kOdsNamespaces + "><office:body><office:spreadsheet><table:table table:name=\"T1\">";
    }
    AppendOdsRows(out, values, 1000);
    produced += out.size();
    if (produced >= xml_bytes * static_cast<std::uint64_t>(step + 1) / kSteps) {
      ++step;
      out += "</table:table>";
      if (step == kSteps) {
        out += "</office:spreadsheet></office:body></office:document-content>";
        return false;
      }
      out += "<table:table table:name=\"T" + std::to_string(step + 1) + "\">";
    }
    return true;
  });
  zip.Finish();
  return produced;
}

// A SpreadsheetML 2003 file of about `bytes` with three worksheets.
inline void WriteSpreadsheetMl(const std::filesystem::path& path, std::uint64_t bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) throw std::runtime_error("cannot write " + path.string());
  std::string out =
      "<?xml version=\"1.0\"?>\n<?mso-application progid=\"Excel.Sheet\"?>\n<Workbook "
      "xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
      "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">";
  CellValues values;
  std::uint64_t written = 0;
  for (int sheet = 1; sheet <= 3; ++sheet) {
    out += "<Worksheet ss:Name=\"Sheet" + std::to_string(sheet) + "\"><Table>";
    while (written + out.size() < bytes * static_cast<std::uint64_t>(sheet) / 3) {
      for (int r = 0; r < 1000; ++r) {
        out += "<Row>";
        for (int c = 0; c < 8; ++c) {
          out += "<Cell><Data ss:Type=\"Number\">" + std::to_string(values.Next() % 1000000) +
                 "</Data></Cell>";
        }
        out += "</Row>\n";
      }
      std::fwrite(out.data(), 1, out.size(), f);
      written += out.size();
      out.clear();
    }
    out += "</Table></Worksheet>";
  }
  out += "</Workbook>\n";
  std::fwrite(out.data(), 1, out.size(), f);
  std::fclose(f);
}

}  // namespace vexmar::bench
