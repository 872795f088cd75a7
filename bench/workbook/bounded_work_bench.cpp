// The crafted files of the second bounded-work pass at full size, each beside a real
// file's twin in the same run: a zip index with 180,000 entries of one name under 60,000
// sheets (beside the same sheets over distinct parts), agile key derivations at the
// format's largest spin count (beside the 100,000 rounds office programs write), and a
// SpreadsheetML file of 40 MB of short GBK comments (beside the same text in UTF-8 and in
// GB18030). Then one generator per structure keyed by candidate data, at its cap.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include <iconv.h>

#include "testkit/zip_writer.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/workbook/distinct_sheet_names.hpp"
#include "vexmar/workbook/list_worksheets.hpp"
#include "vexmar/workbook/ooxml/encryption/package_cipher.hpp"

namespace {

namespace fs = std::filesystem;

fs::path Dir() {
  const char* tmp = std::getenv("TMPDIR");
  const fs::path dir = fs::path(tmp != nullptr ? tmp : "/tmp") / "vexmar-bench-bounded";
  fs::create_directories(dir);
  return dir;
}

// Stored zip entries; `repeats` more central records named `repeated` all point at the
// local header of the entry of that name.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries,
                      const std::string& repeated, std::uint32_t repeats) {
  std::string out;
  vexmar::testkit::ZipWriter zip(&out);
  for (const auto& [name, data] : entries) {
    zip.AddStored(name, data);
    if (name == repeated) zip.RepeatLast(repeats);
  }
  zip.Finish();
  return out;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
    throw std::runtime_error("cannot write " + path.string());
  }
  std::fclose(f);
}

const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char* kPkg = "http://schemas.openxmlformats.org/package/2006/relationships";

// `sheets` sheets, each with its own relationship; all to sheet1.xml, repeated
// `repeats` times in the central directory, or (repeats 0) each to a part of its own.
std::string ManySheetsXlsx(int sheets, std::uint32_t repeats) {
  std::string workbook = std::string("<workbook xmlns=\"") + kMain + "\" xmlns:r=\"" + kRel +
                         "\"><sheets>";
  std::string rels = std::string("<Relationships xmlns=\"") + kPkg + "\">";
  std::vector<std::pair<std::string, std::string>> entries = {
      {"_rels/.rels", std::string("<Relationships xmlns=\"") + kPkg +
                          "\"><Relationship Id=\"rId1\" Type=\"" + kRel +
                          "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"}};
  for (int i = 1; i <= sheets; ++i) {
    const std::string id = "rId" + std::to_string(i);
    const std::string target = repeats > 0 ? "sheet1.xml" : "sheet" + std::to_string(i) + ".xml";
    workbook += "<sheet name=\"S" + std::to_string(i) + "\" r:id=\"" + id + "\"/>";
    rels += "<Relationship Id=\"" + id + "\" Type=\"" + kRel + "/worksheet\" Target=\"worksheets/" +
            target + "\"/>";
    if (repeats == 0) entries.push_back({"xl/worksheets/" + target, "<worksheet/>"});
  }
  entries.push_back({"xl/workbook.xml", workbook + "</sheets></workbook>"});
  entries.push_back({"xl/_rels/workbook.xml.rels", rels + "</Relationships>"});
  if (repeats > 0) entries.push_back({"xl/worksheets/sheet1.xml", "<worksheet/>"});
  return StoredZip(entries, "xl/worksheets/sheet1.xml", repeats);
}

// SpreadsheetML with `bytes` of short comments of Chinese text before its one worksheet,
// in `encoding` (UTF-8, GBK or GB18030).
std::string CommentsSsml(const char* encoding, std::size_t bytes) {
  std::u16string text;
  std::uint32_t state = 5;
  for (int i = 0; i < 8; ++i) {
    state = state * 1103515245u + 12345u;
    text.push_back(static_cast<char16_t>(0x4E00 + (state >> 16) % 0x5000));
  }
  std::string utf8;
  for (char16_t c : text) {  // all three-byte forms
    utf8.push_back(static_cast<char>(0xE0 | (c >> 12)));
    utf8.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
  std::string comment = "<!--" + utf8 + "-->\n";
  std::string doc = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") +
                    "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\">";
  // The sizes count the legacy form (two bytes a character): the same text in each.
  const std::size_t legacy_comment = 4 + 2 * text.size() + 4;
  for (std::size_t n = 0; n < bytes; n += legacy_comment) doc += comment;
  doc += "<Worksheet Name=\"S1\"/></Workbook>";
  if (std::string(encoding) == "UTF-8") return doc;
  const iconv_t cd = iconv_open(encoding, "UTF-8");
  std::string out(doc.size() * 2, '\0');
  char* in = doc.data();
  std::size_t in_left = doc.size();
  char* o = out.data();
  std::size_t o_left = out.size();
  iconv(cd, &in, &in_left, &o, &o_left);
  iconv_close(cd);
  out.resize(out.size() - o_left);
  out.replace(out.find("UTF-8"), 5, encoding);
  return out;
}

std::map<std::string, fs::path>& Files() {
  static std::map<std::string, fs::path> files = [] {
    std::map<std::string, fs::path> f;
    auto make = [&](const std::string& key, const std::string& ext,
                    const std::function<std::string()>& write) {
      const fs::path p = Dir() / (key + ext);
      if (!fs::exists(p)) WriteFile(p, write());
      f[key] = p;
    };
    make("xlsx_60000_sheets_180000_equal_names", ".xlsx",
         [] { return ManySheetsXlsx(60000, 180000); });
    make("xlsx_60000_sheets_distinct_parts", ".xlsx", [] { return ManySheetsXlsx(60000, 0); });
    for (const char* enc : {"UTF-8", "GBK", "GB18030"}) {
      make(std::string("ssml_40MB_comments_") + enc, ".xml",
           [enc] { return CommentsSsml(enc, 40u << 20); });
    }
    make("ssml_65535_equal_sheet_names", ".xml", [] {
      std::string doc = "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\">";
      for (int i = 0; i < 65535; ++i) doc += "<Worksheet Name=\"S\"/>";
      return doc + "</Workbook>";
    });
    make("xlsx_4096_prefixes_used_by_60000_sheets", ".xlsx", [] {
      std::string declarations;
      for (int i = 0; i < 4000; ++i) declarations += " xmlns:p" + std::to_string(i) + "=\"u\"";
      std::string workbook = std::string("<workbook xmlns=\"") + kMain + "\" xmlns:r=\"" + kRel +
                             "\"" + declarations + "><sheets>";
      for (int i = 0; i < 60000; ++i) {
        workbook += "<sheet name=\"S" + std::to_string(i) + "\" r:id=\"rId1\" p" +
                    std::to_string(i % 4000) + ":x=\"\"/>";
      }
      workbook += "</sheets></workbook>";
      return StoredZip(
          {{"_rels/.rels", std::string("<Relationships xmlns=\"") + kPkg +
                               "\"><Relationship Id=\"rId1\" Type=\"" + kRel +
                               "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
           {"xl/workbook.xml", workbook},
           {"xl/_rels/workbook.xml.rels",
            std::string("<Relationships xmlns=\"") + kPkg + "\"><Relationship Id=\"rId1\" Type=\"" +
                kRel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
           {"xl/worksheets/sheet1.xml", "<worksheet/>"}},
          "", 0);
    });
    return f;
  }();
  return files;
}

// Listed sheets, or -1 when the file was refused.
void BM_List(benchmark::State& state, const std::string& key) {
  const fs::path& path = Files().at(key);
  double sheets = 0;
  for (auto _ : state) {
    try {
      sheets = static_cast<double>(vexmar::ListWorksheets(path).value_or(
          std::vector<std::u16string>{}).size());
    } catch (const vexmar::Error&) {
      sheets = -1;
    }
    benchmark::DoNotOptimize(sheets);
  }
  state.counters["sheets"] = sheets;
  state.counters["file_MB"] = static_cast<double>(fs::file_size(path)) / (1 << 20);
  state.counters["file_MB_per_s"] = benchmark::Counter(
      static_cast<double>(fs::file_size(path)) / (1 << 20), benchmark::Counter::kIsIterationInvariantRate);
}

// An agile descriptor whose verifier is wrong: the key derivation runs in full (when
// the spin count is within the cap), then the listing answers encrypted.
std::string AgileInfo(const char* hash, int hash_size, std::uint32_t spin) {
  const std::string params = std::string("saltSize=\"16\" blockSize=\"16\" keyBits=\"256\" hashSize=\"") +
                             std::to_string(hash_size) +
                             "\" cipherAlgorithm=\"AES\" cipherChaining=\"ChainingModeCBC\" "
                             "hashAlgorithm=\"" + hash + "\" saltValue=\"AAAAAAAAAAAAAAAAAAAAAA==\" ";
  const std::string info("\x04\0\x04\0\x40\0\0\0", 8);  // version 4.4, flags 0x40
  return info +
         "<encryption xmlns=\"http://schemas.microsoft.com/office/2006/encryption\" "
         "xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\"><keyData " +
         params +
         "/><keyEncryptors><keyEncryptor "
         "uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\"><p:encryptedKey " +
         params + "spinCount=\"" + std::to_string(spin) +
         "\" encryptedVerifierHashInput=\"AAAAAAAAAAAAAAAAAAAAAA==\" encryptedVerifierHashValue=\"" +
         std::string(86, 'A') + "==\" encryptedKeyValue=\"" + std::string(43, 'A') +
         "=\"/></keyEncryptor></keyEncryptors></encryption>";
}

void BM_AgileKey(benchmark::State& state, const char* hash, int hash_size, std::uint32_t spin) {
  const std::string info = AgileInfo(hash, hash_size, spin);
  const auto bytes = std::as_bytes(std::span(info.data(), info.size()));
  const std::uint64_t before = vexmar::workbook::KeyDerivationRounds();
  for (auto _ : state) {
    try {
      (void)vexmar::workbook::OpenPackageCipher(bytes);
    } catch (const vexmar::Error&) {
    }
  }
  state.counters["rounds"] = static_cast<double>(vexmar::workbook::KeyDerivationRounds() - before) /
                             static_cast<double>(state.iterations());
}

// The distinct-names pass alone over 65,535 equal names (the listing above includes it).
void BM_MakeDistinct(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<std::u16string> names(65535, u"Sheet");
    vexmar::workbook::MakeSheetNamesDistinct(names);
    benchmark::DoNotOptimize(names);
  }
}

#define VEXMAR_LIST(key) \
  BENCHMARK_CAPTURE(BM_List, key, std::string(#key))->Unit(benchmark::kMillisecond)
VEXMAR_LIST(xlsx_60000_sheets_180000_equal_names);
VEXMAR_LIST(xlsx_60000_sheets_distinct_parts);
BENCHMARK_CAPTURE(BM_AgileKey, sha512_100000, "SHA512", 64, 100'000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AgileKey, sha512_500000, "SHA512", 64, 500'000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AgileKey, sha512_10000000, "SHA512", 64, 10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AgileKey, sha1_10000000, "SHA1", 20, 10'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_List, ssml_40MB_comments_UTF8, std::string("ssml_40MB_comments_UTF-8"))->Unit(benchmark::kMillisecond);
VEXMAR_LIST(ssml_40MB_comments_GBK);
VEXMAR_LIST(ssml_40MB_comments_GB18030);
VEXMAR_LIST(ssml_65535_equal_sheet_names);
VEXMAR_LIST(xlsx_4096_prefixes_used_by_60000_sheets);
BENCHMARK(BM_MakeDistinct)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
