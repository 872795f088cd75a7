#include "tools/com_server/type_library_file.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace vexmar::com {
namespace {

// A minimal type library in the MSFT format: one type info with one function of three
// parameters, named by the placeholder, "strRule", and not named at all.
class MsftImage {
 public:
  MsftImage() {
    Put(0x00, 0x5446534D);  // "MSFT"
    Put(0x14, 0x41);        // varflags: no help DLL
    Put(0x20, 1);           // one type info
    // 0x54: the type info's offset; 0x58: the segment directory (15 x 16 bytes).
    segments_ = 0x58;
    infos_ = segments_ + 15 * 16;
    names_ = infos_ + 0x64;
    Put(segments_ + 0 * 16, static_cast<std::int32_t>(infos_));
    Put(segments_ + 7 * 16, static_cast<std::int32_t>(names_));
    placeholder_ = AddName(std::string(kUnnamedParameter));
    rule_ = AddName("strRule");
    block_ = bytes_.size();
    Put(infos_ + 0x04, static_cast<std::int32_t>(block_));
    Put(infos_ + 0x18, 1);  // one function
    record_ = block_ + 4;
    const std::size_t length = 0x18 + 3 * 12;
    Put(block_, static_cast<std::int32_t>(length));
    Put(record_, static_cast<std::int32_t>(length));
    PutShort(record_ + 0x14, 3);
    params_ = record_ + 0x18;
    Put(params_ + 0 * 12 + 4, static_cast<std::int32_t>(placeholder_));
    Put(params_ + 1 * 12 + 4, static_cast<std::int32_t>(rule_));
    Put(params_ + 2 * 12 + 4, -1);
  }

  // Appends a GUID table and one import record per GUID (LCID 0, a 3-letter name), and
  // points segments 2 and 5 at them. Gives the offset of each record.
  std::vector<std::size_t> AddImports(const std::vector<Guid>& libraries) {
    const std::size_t guids = bytes_.size();
    for (std::size_t i = 0; i < libraries.size(); ++i) {
      const Guid& g = libraries[i];
      const std::size_t at = guids + 24 * i;
      Put(at, static_cast<std::int32_t>(g.data1));
      Put(at + 4, static_cast<std::int32_t>(std::uint32_t{g.data2} | (std::uint32_t{g.data3} << 16)));
      bytes_.resize(at + 16);
      for (std::size_t k = 0; k < 8; ++k) bytes_[at + 8 + k] = g.data4[k];
      Put(at + 16, -1);
      Put(at + 20, -1);
    }
    const std::size_t imports = bytes_.size();
    std::vector<std::size_t> records;
    for (std::size_t i = 0; i < libraries.size(); ++i) {
      const std::size_t at = imports + 20 * i;  // 14 + 3 name bytes, padded
      records.push_back(at);
      Put(at, static_cast<std::int32_t>(24 * i));
      Put(at + 4, 0);
      Put(at + 8, 5);
      PutShort(at + 12, 3 << 2);
      bytes_.resize(at + 20, 'x');
    }
    Put(segments_ + 2 * 16, static_cast<std::int32_t>(imports));
    Put(segments_ + 2 * 16 + 4, static_cast<std::int32_t>(20 * libraries.size()));
    Put(segments_ + 5 * 16, static_cast<std::int32_t>(guids));
    return records;
  }
  std::size_t segments() const { return segments_; }
  std::int32_t At(std::size_t at) const { return Get(at); }

  std::int32_t NameOf(std::size_t param) const { return Get(params_ + param * 12 + 4); }
  std::int32_t RuleName() const { return static_cast<std::int32_t>(rule_); }
  std::vector<std::uint8_t>& bytes() { return bytes_; }
  std::size_t record() const { return record_; }
  std::size_t infos() const { return infos_; }

  void Put(std::size_t at, std::int32_t value) {
    if (bytes_.size() < at + 4) bytes_.resize(at + 4);
    for (std::size_t i = 0; i < 4; ++i) {
      bytes_[at + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
    }
  }

 private:
  void PutShort(std::size_t at, std::uint16_t value) {
    if (bytes_.size() < at + 2) bytes_.resize(at + 2);
    bytes_[at] = static_cast<std::uint8_t>(value);
    bytes_[at + 1] = static_cast<std::uint8_t>(value >> 8);
  }
  std::int32_t Get(std::size_t at) const {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(bytes_[at + i]) << (8 * i);
    return static_cast<std::int32_t>(v);
  }
  // A name entry: hash reference, next in hash, length, then the characters (padded).
  std::size_t AddName(const std::string& name) {
    const std::size_t offset = bytes_.size() < names_ ? 0 : bytes_.size() - names_;
    const std::size_t at = names_ + offset;
    Put(at, -1);
    Put(at + 4, -1);
    Put(at + 8, static_cast<std::int32_t>(name.size()));
    bytes_.resize(at + 12 + ((name.size() + 3) & ~std::size_t{3}), 0x57);
    for (std::size_t i = 0; i < name.size(); ++i)
      bytes_[at + 12 + i] = static_cast<std::uint8_t>(name[i]);
    return offset;
  }

  std::vector<std::uint8_t> bytes_;
  std::size_t segments_ = 0, infos_ = 0, names_ = 0, block_ = 0, record_ = 0, params_ = 0;
  std::size_t placeholder_ = 0, rule_ = 0;
};

TEST(TypeLibraryFileTest, ClearsOnlyThePlaceholderNames) {
  MsftImage image;
  EXPECT_EQ(ClearParameterNames(image.bytes(), kUnnamedParameter), 1u);
  EXPECT_EQ(image.NameOf(0), -1);
  EXPECT_EQ(image.NameOf(1), image.RuleName());
  EXPECT_EQ(image.NameOf(2), -1);
  EXPECT_EQ(ClearParameterNames(image.bytes(), kUnnamedParameter), 0u)
      << "a second pass finds none";
}

// A broken file is reported, never read beyond its end.
TEST(TypeLibraryFileTest, RefusesMalformedFiles) {
  struct Case {
    const char* what;
    void (*spoil)(MsftImage&);
  };
  const Case cases[] = {
      {"not MSFT", [](MsftImage& m) { m.Put(0, 0x12345678); }},
      {"type infos beyond the end", [](MsftImage& m) { m.Put(0x20, 100000); }},
      {"negative segment offset", [](MsftImage& m) { m.Put(0x58, -5); }},
      {"function block beyond the end", [](MsftImage& m) { m.Put(m.infos() + 4, 0x7FFFFFF0); }},
      {"record too short for its parameters", [](MsftImage& m) { m.Put(m.record(), 0x10); }},
      {"record longer than the file", [](MsftImage& m) { m.Put(m.record(), 0xFFFF); }},
  };
  for (const Case& c : cases) {
    MsftImage image;
    c.spoil(image);
    EXPECT_THROW(ClearParameterNames(image.bytes(), kUnnamedParameter), std::runtime_error)
        << c.what;
  }
}

TEST(TypeLibraryFileTest, SetsTheLcidOfOneImportedLibrary) {
  constexpr Guid kFirst = MakeGuid("{00020430-0000-0000-C000-000000000046}");
  constexpr Guid kSecond = MakeGuid("{000204EF-0000-0000-C000-000000000046}");
  MsftImage image;
  const auto records = image.AddImports({kFirst, kSecond});
  EXPECT_EQ(SetImportLcid(image.bytes(), kSecond, 9), 1u);
  EXPECT_EQ(image.At(records[1] + 4), 9);
  EXPECT_EQ(image.At(records[0] + 4), 0) << "the other import keeps its LCID";
  EXPECT_EQ(SetImportLcid(image.bytes(), MakeGuid("{11111111-2222-3333-4444-555555555555}"), 9),
            0u);

  MsftImage without;
  without.Put(without.segments() + 2 * 16, -1);  // no import segment
  EXPECT_EQ(SetImportLcid(without.bytes(), kSecond, 9), 0u);

  const struct {
    const char* what;
    std::size_t field;  // relative to the first record, or to the segment directory
    bool in_directory;
    std::int32_t value;
  } broken[] = {
      {"import segment beyond the end", 2 * 16 + 4, true, 0x7FFFFF00},
      {"GUID offset beyond the end", 0, false, 0x7FFFFF00},
      {"GUID offset negative", 0, false, -8},
  };
  for (const auto& b : broken) {
    MsftImage spoilt;
    const auto at = spoilt.AddImports({kFirst});
    spoilt.Put(b.in_directory ? spoilt.segments() + b.field : at[0] + b.field, b.value);
    EXPECT_THROW(SetImportLcid(spoilt.bytes(), kSecond, 9), std::runtime_error) << b.what;
  }
}

TEST(TypeLibraryFileTest, EveryTruncationIsRefusedOrHarmless) {
  MsftImage image;
  image.AddImports({MakeGuid("{000204EF-0000-0000-C000-000000000046}")});
  const std::vector<std::uint8_t> whole = image.bytes();
  for (std::size_t n = 0; n < whole.size(); ++n) {
    std::vector<std::uint8_t> part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
    try {
      ClearParameterNames(part, kUnnamedParameter);
    } catch (const std::runtime_error&) {
    }
    try {
      SetImportLcid(part, MakeGuid("{000204EF-0000-0000-C000-000000000046}"), 9);
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(part.size(), n);
  }
}

}  // namespace
}  // namespace vexmar::com
