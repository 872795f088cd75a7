#pragma once
// Builds zip archives in memory for tests, including deliberately broken ones.
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vexmar::workbook::testing {

struct BuildEntry {
  std::string name;
  std::string data;
  bool deflate = true;
  std::uint16_t flags = 0;
  std::uint16_t method_override = 0xFFFF;  // write this method number instead
  std::int64_t declared_size = -1;         // uncompressed size to record instead of the real one
  std::int64_t local_offset = -1;          // local header offset to record instead
};

inline std::string RawDeflate(const std::string& data) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

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
    std::string out = prefix_;
    std::string central;
    for (const BuildEntry& e : entries_) {
      const std::string body = e.deflate ? RawDeflate(e.data) : e.data;
      const auto crc = static_cast<std::uint32_t>(crc32(
          0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
      const std::uint16_t method =
          e.method_override != 0xFFFF ? e.method_override : (e.deflate ? 8 : 0);
      const auto usize = static_cast<std::uint32_t>(
          e.declared_size >= 0 ? e.declared_size : static_cast<std::int64_t>(e.data.size()));
      const auto offset = static_cast<std::uint32_t>(
          e.local_offset >= 0 ? e.local_offset
                              : static_cast<std::int64_t>(out.size() - prefix_.size()));
      std::string local;
      Put32(local, 0x04034b50);
      Put16(local, 20);
      Put16(local, e.flags);
      Put16(local, method);
      Put32(local, 0);
      Put32(local, crc);
      Put32(local, static_cast<std::uint32_t>(body.size()));
      Put32(local, usize);
      Put16(local, static_cast<std::uint16_t>(e.name.size()));
      Put16(local, 0);
      out += local + e.name + body;
      Put32(central, 0x02014b50);
      Put16(central, 20);
      Put16(central, 20);
      Put16(central, e.flags);
      Put16(central, method);
      Put32(central, 0);
      Put32(central, crc);
      Put32(central, static_cast<std::uint32_t>(body.size()));
      Put32(central, usize);
      Put16(central, static_cast<std::uint16_t>(e.name.size()));
      Put16(central, 0);
      Put16(central, 0);
      Put16(central, 0);
      Put16(central, 0);
      Put32(central, 0);
      Put32(central, offset);
      central += e.name;
    }
    const auto cd_offset = static_cast<std::uint32_t>(out.size() - prefix_.size());
    out += central;
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<std::uint16_t>(entries_.size()));
    Put16(out, static_cast<std::uint16_t>(entries_.size()));
    Put32(out, static_cast<std::uint32_t>(central.size()));
    Put32(out, cd_offset);
    Put16(out, static_cast<std::uint16_t>(comment_.size()));
    out += comment_;
    return out;
  }

  static void Put16(std::string& s, std::uint16_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
  }
  static void Put32(std::string& s, std::uint32_t v) {
    Put16(s, static_cast<std::uint16_t>(v & 0xFFFF));
    Put16(s, static_cast<std::uint16_t>(v >> 16));
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
