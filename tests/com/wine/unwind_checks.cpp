// The module's unwind tables, read from the file: every entry covers at least one byte
// and no two entries overlap. Errors raised inside the module are found by searching
// these tables for return addresses; an empty entry that starts where another function
// does can hide that function from the 32-bit unwinder, which then ends the process with
// abort() in the middle of a member. 32-bit modules: the DWARF .eh_frame records up to
// the terminator the unwinder stops at. 64-bit modules: the exception directory.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "client.hpp"

namespace vexmar::wine_tests {
namespace {

using Range = std::pair<std::uint32_t, std::uint32_t>;  // begin, end

class Image {
 public:
  explicit Image(const std::wstring& path) {
    if (FILE* file = _wfopen(path.c_str(), L"rb")) {
      unsigned char chunk[65536];
      for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
        bytes_.insert(bytes_.end(), chunk, chunk + n);
      }
      std::fclose(file);
    }
  }
  // Little-endian numbers; 0 beyond the end.
  std::uint32_t U(std::size_t at, std::size_t size = 4) const {
    std::uint32_t v = 0;
    if (at > bytes_.size() || size > bytes_.size() - at) return 0;
    std::memcpy(&v, bytes_.data() + at, size);
    return v;
  }
  // A section name: eight characters in the header, or "/offset" into the string table
  // that follows the symbols (a module that is not stripped).
  std::string Name(std::size_t at, std::size_t strings) const {
    if (at > bytes_.size() || bytes_.size() - at < 8) return {};
    const char* raw = reinterpret_cast<const char*>(bytes_.data() + at);
    std::string name(raw, strnlen(raw, 8));
    if (name.size() < 2 || name[0] != '/') return name;
    const std::size_t from = strings + std::strtoul(name.c_str() + 1, nullptr, 10);
    if (from >= bytes_.size()) return {};
    const char* text = reinterpret_cast<const char*>(bytes_.data() + from);
    return std::string(text, strnlen(text, bytes_.size() - from));
  }

 private:
  std::vector<unsigned char> bytes_;
};

struct Section {
  std::string name;  // cut to eight characters in a stripped module
  std::uint32_t address, size, file_offset;
};

std::size_t SkipUleb(const Image& image, std::size_t at) {
  while ((image.U(at, 1) & 0x80) != 0) ++at;
  return at + 1;
}

// FDE ranges before the first terminator. GCC's 32-bit FDEs give their start as a
// 4-byte pc-relative or absolute address and their length as 4 bytes; false for
// anything else or a record that cannot be read.
bool EhFrameRanges(const Image& image, const Section& eh, std::uint32_t image_base,
                   std::vector<Range>& out) {
  std::vector<std::pair<std::size_t, std::uint32_t>> encodings;  // CIE, pointer encoding
  const std::size_t end = eh.file_offset + eh.size;
  for (std::size_t at = eh.file_offset; at + 4 <= end;) {
    const std::uint32_t length = image.U(at);
    if (length == 0) return true;  // the terminator: the unwinder reads no further
    if (length > end - at - 4) return false;
    if (image.U(at + 4) == 0) {
      // A CIE: version, augmentation "z...", alignments, return register, augmentation
      // data, of which only R (the FDE pointer encoding) matters here.
      std::size_t p = at + 9;
      std::string augmentation;
      for (; image.U(p, 1) != 0; ++p) augmentation += static_cast<char>(image.U(p, 1));
      p = SkipUleb(image, SkipUleb(image, p + 1)) + 1;
      p = SkipUleb(image, p);  // augmentation data length
      std::uint32_t encoding = 0;
      for (char a : augmentation.substr(std::min<std::size_t>(1, augmentation.size()))) {
        if (a == 'R') encoding = image.U(p, 1);
        p += a == 'P' ? 5 : 1;  // P: an encoding and a 4-byte pointer
      }
      encodings.emplace_back(at, encoding);
    } else {
      const std::size_t cie = at + 4 - image.U(at + 4);
      const auto found = std::find_if(encodings.begin(), encodings.end(),
                                      [&](const auto& e) { return e.first == cie; });
      if (found == encodings.end() || (found->second & 0x0F) == 0x0C) return false;
      std::uint32_t begin = image.U(at + 8);
      if ((found->second & 0x70) == 0x10) {  // pc-relative
        begin += image_base + eh.address + static_cast<std::uint32_t>(at + 8 - eh.file_offset);
      } else if ((found->second & 0x70) != 0) {
        return false;
      }
      out.emplace_back(begin, begin + image.U(at + 12));
    }
    at += 4 + std::size_t{length};
  }
  return false;  // no terminator
}

}  // namespace

void CheckUnwindTables(Checks& checks, const std::wstring& dll_path) {
  const Image image(dll_path);
  const std::size_t pe = image.U(0x3C);
  if (image.U(pe) != 0x00004550) {
    checks.Expect(false, "module file readable as a PE image");
    return;
  }
  std::vector<Section> sections;
  const std::size_t table = pe + 24 + image.U(pe + 20, 2);
  const std::size_t strings = image.U(pe + 12) + std::size_t{18} * image.U(pe + 16);
  for (std::size_t i = 0; i < image.U(pe + 6, 2); ++i) {
    const std::size_t at = table + 40 * i;
    sections.push_back(
        {image.Name(at, strings), image.U(at + 12), image.U(at + 8), image.U(at + 20)});
  }
  std::vector<Range> ranges;
  std::string kind = ".pdata";
  if (image.U(pe + 4, 2) == IMAGE_FILE_MACHINE_I386) {
    kind = ".eh_frame";
    const auto eh = std::find_if(sections.begin(), sections.end(),
                                 [](const Section& s) { return s.name.rfind(".eh_fram", 0) == 0; });
    checks.Expect(eh != sections.end() && EhFrameRanges(image, *eh, image.U(pe + 52), ranges),
                  "the module's .eh_frame reads up to its terminator");
  } else {
    // The exception directory (data directory 3 of the PE32+ header): begin, end, unwind
    // information, 12 bytes an entry.
    const std::uint32_t rva = image.U(pe + 24 + 112 + 24);
    const std::uint32_t size = image.U(pe + 24 + 112 + 28);
    for (const Section& s : sections) {
      if (rva < s.address || rva >= s.address + s.size) continue;
      for (std::size_t i = 0; i + 12 <= size; i += 12) {
        const std::size_t at = s.file_offset + (rva - s.address) + i;
        ranges.emplace_back(image.U(at), image.U(at + 4));
      }
    }
  }
  checks.Expect(ranges.size() > 100, kind + " describes the module's functions",
                std::to_string(ranges.size()) + " entries");
  std::sort(ranges.begin(), ranges.end());
  std::string empty, overlapping;
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    if (ranges[i].second <= ranges[i].first) empty += " " + Checks::Hex(static_cast<long>(ranges[i].first));
    if (i > 0 && ranges[i].first < ranges[i - 1].second) {
      overlapping += " " + Checks::Hex(static_cast<long>(ranges[i].first));
    }
  }
  checks.Expect(empty.empty(), "no " + kind + " entry is empty", "empty at" + empty);
  checks.Expect(overlapping.empty(), "no two " + kind + " entries overlap",
                "overlapping at" + overlapping);
}

}  // namespace vexmar::wine_tests
