// The module's unwind tables, read from the file: every entry covers at least one byte
// and no two entries overlap. Exceptions thrown inside the module (every error a member
// reports) are found by searching these tables for the return address; an empty entry
// that starts where another function does can hide that function from the 32-bit
// unwinder, which then ends the process with abort() in the middle of a member.
// 32-bit modules: the DWARF .eh_frame records up to the terminator the unwinder stops
// at. 64-bit modules: the exception directory (.pdata).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "client.hpp"

namespace vexmar::wine_tests {
namespace {

struct Range {
  std::uint64_t begin;
  std::uint64_t end;
};

class Image {
 public:
  explicit Image(const std::wstring& path) {
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) return;
    unsigned char chunk[65536];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
      bytes_.insert(bytes_.end(), chunk, chunk + n);
    }
    std::fclose(file);
  }
  bool Has(std::size_t at, std::size_t n) const { return at <= bytes_.size() && n <= bytes_.size() - at; }
  std::uint32_t U32(std::size_t at) const { return Has(at, 4) ? Read<std::uint32_t>(at) : 0; }
  std::uint16_t U16(std::size_t at) const { return Has(at, 2) ? Read<std::uint16_t>(at) : 0; }
  std::uint8_t U8(std::size_t at) const { return Has(at, 1) ? bytes_[at] : 0; }
  const std::vector<unsigned char>& Bytes() const { return bytes_; }

 private:
  template <typename T>
  T Read(std::size_t at) const {
    T v;
    std::memcpy(&v, bytes_.data() + at, sizeof v);
    return v;
  }
  std::vector<unsigned char> bytes_;
};

struct Section {
  std::string name;
  std::uint32_t address;  // relative to the image base
  std::uint32_t size;
  std::uint32_t file_offset;
};

// Section names longer than eight characters are cut to eight in a stripped module.
std::vector<Section> Sections(const Image& image, std::size_t pe) {
  std::vector<Section> out;
  const std::size_t count = image.U16(pe + 6);
  const std::size_t table = pe + 24 + image.U16(pe + 20);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = table + 40 * i;
    if (!image.Has(at, 40)) break;
    const char* raw = reinterpret_cast<const char*>(image.Bytes().data() + at);
    out.push_back({std::string(raw, strnlen(raw, 8)), image.U32(at + 12), image.U32(at + 8),
                   image.U32(at + 20)});
  }
  return out;
}

// A DWARF encoded pointer (the forms GCC writes for FDEs); `field` is its own address.
bool ReadEncoded(const Image& image, std::size_t& at, std::uint8_t encoding, std::uint64_t field,
                 std::uint64_t& value) {
  std::int64_t raw = 0;
  switch (encoding & 0x0F) {
    case 0x00:  // absptr (32-bit module)
    case 0x03:  // udata4
      raw = image.U32(at);
      at += 4;
      break;
    case 0x0B:  // sdata4
      raw = static_cast<std::int32_t>(image.U32(at));
      at += 4;
      break;
    default:
      return false;
  }
  value = static_cast<std::uint64_t>(raw);
  if ((encoding & 0x70) == 0x10) value += field;  // pcrel
  value &= 0xFFFFFFFFu;
  return true;
}

std::uint64_t Uleb(const Image& image, std::size_t& at) {
  std::uint64_t v = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    const std::uint8_t b = image.U8(at++);
    v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
    if ((b & 0x80) == 0) break;
  }
  return v;
}

// The FDEs' pc ranges before the first terminator; false when a record cannot be read.
bool EhFrameRanges(const Image& image, const Section& eh, std::uint64_t image_base,
                   std::vector<Range>& out) {
  const std::size_t start = eh.file_offset;
  const std::size_t end = start + eh.size;
  std::vector<std::pair<std::size_t, std::uint8_t>> cie_encodings;  // CIE offset, encoding
  for (std::size_t at = start; at + 4 <= end;) {
    const std::uint32_t length = image.U32(at);
    if (length == 0) return true;  // the terminator: the unwinder reads no further
    if (length == 0xFFFFFFFFu || !image.Has(at, 4 + std::size_t{length})) return false;
    const std::size_t next = at + 4 + length;
    const std::uint32_t cie_pointer = image.U32(at + 4);
    if (cie_pointer == 0) {
      // A CIE: version, augmentation, code and data alignment, return register, then the
      // augmentation data, of which only the FDE pointer encoding (R) matters here.
      std::size_t p = at + 9;
      std::string augmentation;
      while (p < next && image.U8(p) != 0) augmentation.push_back(static_cast<char>(image.U8(p++)));
      ++p;
      Uleb(image, p);
      Uleb(image, p);
      ++p;  // return register (version 1: one byte)
      std::uint8_t encoding = 0;
      if (!augmentation.empty() && augmentation[0] == 'z') {
        Uleb(image, p);
        for (char a : augmentation.substr(1)) {
          if (a == 'R') {
            encoding = image.U8(p++);
          } else if (a == 'P') {
            const std::uint8_t personality = image.U8(p++);
            std::uint64_t ignored = 0;
            if (!ReadEncoded(image, p, personality, 0, ignored)) return false;
          } else if (a == 'L') {
            ++p;
          } else {
            return false;
          }
        }
      }
      cie_encodings.emplace_back(at, encoding);
    } else {
      const std::size_t cie = at + 4 - cie_pointer;
      const auto found = std::find_if(cie_encodings.begin(), cie_encodings.end(),
                                      [&](const auto& c) { return c.first == cie; });
      if (found == cie_encodings.end()) return false;
      std::size_t p = at + 8;
      const std::uint64_t field = image_base + eh.address + (p - start);
      std::uint64_t begin = 0;
      std::uint64_t range = 0;
      if (!ReadEncoded(image, p, found->second, field, begin) ||
          !ReadEncoded(image, p, static_cast<std::uint8_t>(found->second & 0x0F), 0, range)) {
        return false;
      }
      out.push_back({begin, begin + range});
    }
    at = next;
  }
  return false;  // no terminator
}

std::vector<Range> PdataRanges(const Image& image, const std::vector<Section>& sections,
                               std::size_t pe) {
  std::vector<Range> out;
  const std::size_t directories = pe + 24 + 112;  // PE32+ optional header
  const std::uint32_t rva = image.U32(directories + 3 * 8);
  const std::uint32_t size = image.U32(directories + 3 * 8 + 4);
  for (const Section& s : sections) {
    if (rva < s.address || rva >= s.address + s.size) continue;
    const std::size_t at = s.file_offset + (rva - s.address);
    for (std::size_t i = 0; i + 12 <= size; i += 12) {
      out.push_back({image.U32(at + i), image.U32(at + i + 4)});
    }
  }
  return out;
}

}  // namespace

void CheckUnwindTables(Checks& checks, const std::wstring& dll_path) {
  const Image image(dll_path);
  const std::size_t pe = image.U32(0x3C);
  if (image.U32(pe) != 0x00004550) {
    checks.Expect(false, "module file readable as a PE image");
    return;
  }
  const std::uint16_t machine = image.U16(pe + 4);
  const std::vector<Section> sections = Sections(image, pe);
  std::vector<Range> ranges;
  std::string table;
  if (machine == IMAGE_FILE_MACHINE_I386) {
    table = ".eh_frame";
    const auto eh = std::find_if(sections.begin(), sections.end(),
                                 [](const Section& s) { return s.name.rfind(".eh_fram", 0) == 0; });
    checks.Expect(eh != sections.end() &&
                      EhFrameRanges(image, *eh, image.U32(pe + 24 + 28), ranges),
                  "the module's .eh_frame reads up to its terminator");
  } else {
    table = ".pdata";
    ranges = PdataRanges(image, sections, pe);
  }
  checks.Expect(ranges.size() > 100, table + " describes the module's functions",
                std::to_string(ranges.size()) + " entries");
  std::sort(ranges.begin(), ranges.end(),
            [](const Range& a, const Range& b) { return a.begin < b.begin; });
  std::string empty;
  std::string overlapping;
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    if (ranges[i].end <= ranges[i].begin) empty += " " + Checks::Hex(static_cast<long>(ranges[i].begin));
    if (i > 0 && ranges[i].begin < ranges[i - 1].end) {
      overlapping += " " + Checks::Hex(static_cast<long>(ranges[i].begin));
    }
  }
  checks.Expect(empty.empty(), "no " + table + " entry is empty", "empty at" + empty);
  checks.Expect(overlapping.empty(), "no two " + table + " entries overlap",
                "overlapping at" + overlapping);
}

}  // namespace vexmar::wine_tests
