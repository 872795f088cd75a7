// The zip container reader on archives built in memory.
#include "vexmar/workbook/containers/zip_archive.hpp"

#include <gtest/gtest.h>

#include <array>

#include "vexmar/component/error.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "workbook/test_files.hpp"
#include "workbook/zip_builder.hpp"

namespace vexmar::workbook::testing {
namespace {

std::string ReadEntry(ZipArchive& zip, const std::string& name, std::size_t chunk = 7) {
  const auto entry = zip.Find(name);
  EXPECT_TRUE(entry.has_value()) << name;
  if (!entry) return {};
  auto stream = zip.Open(*entry);
  std::string out;
  std::vector<std::byte> buffer(chunk);
  for (std::size_t n; (n = stream->Read(buffer)) > 0;) {
    out.append(reinterpret_cast<const char*>(buffer.data()), n);
  }
  return out;
}

TEST(ZipArchiveTest, FindsPartNamesLikeAPackageDoes) {
  const ScratchFile file(ZipBuilder().Add("xl/Workbook.xml", "a").Add("Dir\\b.txt", "b").Build());
  const FileSource source(file.Path());
  ZipArchive zip(source);
  EXPECT_EQ(zip.EntryCount(), 2u);
  for (const char* name : {"xl/workbook.xml", "/XL/WORKBOOK.XML", "xl\\workbook.xml"}) {
    EXPECT_TRUE(zip.Find(name).has_value()) << name;
  }
  EXPECT_TRUE(zip.Find("dir/B.TXT").has_value());
  EXPECT_FALSE(zip.Find("xl/workbook.xm").has_value());
  EXPECT_FALSE(zip.Contains("missing"));
}

TEST(ZipArchiveTest, StreamsStoredAndDeflatedEntriesInSmallPieces) {
  std::string big;
  for (int i = 0; i < 50000; ++i) big += "<row r=\"" + std::to_string(i) + "\"/>";
  const ScratchFile file(ZipBuilder()
                             .Add({"stored.xml", big, false})
                             .Add({"deflated.xml", big, true})
                             .Add({"empty", "", true})
                             .Build());
  const FileSource source(file.Path());
  ZipArchive zip(source);
  EXPECT_EQ(ReadEntry(zip, "stored.xml", 4093), big);
  EXPECT_EQ(ReadEntry(zip, "deflated.xml", 4093), big);
  EXPECT_EQ(ReadEntry(zip, "empty"), "");
  EXPECT_EQ(zip.ReadWhole(*zip.Find("deflated.xml"), big.size()), big);
  EXPECT_THROW(zip.ReadWhole(*zip.Find("deflated.xml"), big.size() - 1), Error);
}

TEST(ZipArchiveTest, ToleratesPrependedDataAndArchiveComments) {
  const std::string stub(3000, 'M');
  const ScratchFile file(ZipBuilder()
                             .Prefix(stub)
                             .Comment("comment with PK\x05\x06 inside")
                             .Add("a.txt", "hello")
                             .Build());
  const FileSource source(file.Path());
  ZipArchive zip(source);
  EXPECT_EQ(ReadEntry(zip, "a.txt"), "hello");
}

TEST(ZipArchiveTest, LegacyCodePageNamesAreDecoded) {
  // "wörk.xml" as code page 437 (0x94 is ö), without the UTF-8 flag.
  const ScratchFile file(ZipBuilder().Add("w\x94rk.xml", "x").Build());
  const FileSource source(file.Path());
  ZipArchive zip(source);
  EXPECT_TRUE(zip.Find("w\xC3\xB6rk.xml").has_value());
}

struct BrokenEntryCase {
  const char* label;
  BuildEntry entry;
  FailureKind expected;
};

void PrintTo(const BrokenEntryCase& c, std::ostream* os) { *os << c.label; }

class ZipArchiveBrokenEntryTest : public ::testing::TestWithParam<BrokenEntryCase> {};

// A file read through calls only, as a file too large to be held in memory is.
class ReadOnlyStream final : public RandomAccessStream {
 public:
  explicit ReadOnlyStream(const FileSource& source) : source_(source) {}
  std::uint64_t Size() const override { return source_.Size(); }
  void Read(std::uint64_t offset, std::span<std::byte> out) override {
    source_.ReadAt(offset, out);
  }

 private:
  const FileSource& source_;
};

TEST_P(ZipArchiveBrokenEntryTest, RaisesTheRightError) {
  const ScratchFile file(ZipBuilder().Add("pad", "pad").Add(GetParam().entry).Build());
  const FileSource source(file.Path());
  ReadOnlyStream read_only(source);
  WholeFileStream in_memory(source);
  for (RandomAccessStream* stream : {static_cast<RandomAccessStream*>(&in_memory),
                                     static_cast<RandomAccessStream*>(&read_only)}) {
    try {
      ZipArchive zip(*stream);
      ReadEntry(zip, GetParam().entry.name);
      ADD_FAILURE() << "no error";
    } catch (const ReadFailure& e) {
      EXPECT_EQ(e.Kind(), GetParam().expected) << e.what();
    }
  }
}

BuildEntry Entry(std::string data, bool deflate) {
  return BuildEntry{"e.xml", std::move(data), deflate};
}

BuildEntry With(BuildEntry e, void (*change)(BuildEntry&)) {
  change(e);
  return e;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZipArchiveBrokenEntryTest,
    ::testing::Values(
        BrokenEntryCase{"encrypted_flag",
                        With(Entry("x", true), [](BuildEntry& e) { e.flags = 1; }),
                        FailureKind::kEncrypted},
        BrokenEntryCase{"aes_method",
                        With(Entry("x", true), [](BuildEntry& e) { e.method_override = 99; }),
                        FailureKind::kEncrypted},
        BrokenEntryCase{"bzip2_method",
                        With(Entry("x", true), [](BuildEntry& e) { e.method_override = 12; }),
                        FailureKind::kZipUnsupportedMethod},
        BrokenEntryCase{
            "declared_too_short",
            With(Entry(std::string(1000, 'a'), true), [](BuildEntry& e) { e.declared_size = 10; }),
            FailureKind::kZipSizeMismatch},
        BrokenEntryCase{"declared_too_long",
                        With(Entry(std::string(1000, 'a'), true),
                             [](BuildEntry& e) { e.declared_size = 2000; }),
                        FailureKind::kZipSizeMismatch},
        BrokenEntryCase{
            "declared_huge",
            With(Entry("abc", true), [](BuildEntry& e) { e.declared_size = 0xFFFFFFF0; }),
            FailureKind::kZipEntryInflatedTooLarge},
        BrokenEntryCase{"stored_size_mismatch",
                        With(Entry("abcdef", false), [](BuildEntry& e) { e.declared_size = 3; }),
                        FailureKind::kZipEntrySizesInconsistent},
        BrokenEntryCase{"offset_past_directory",
                        With(Entry("abc", true), [](BuildEntry& e) { e.local_offset = 1 << 20; }),
                        FailureKind::kZipDirectoryDamaged},
        BrokenEntryCase{"offset_into_other_entry",
                        With(Entry("abc", true), [](BuildEntry& e) { e.local_offset = 5; }),
                        FailureKind::kZipLocalHeaderDamaged},
        BrokenEntryCase{"overlapping_entries",
                        With(Entry("pad", false), [](BuildEntry& e) { e.local_offset = 0; }),
                        FailureKind::kZipChecksumMismatch}),
    [](const auto& param_info) { return std::string(param_info.param.label); });

// Small files are read whole as they are opened; reads and views of them must keep the
// bounds of reads from the file.
TEST(FileSourceTest, FilesHeldInMemoryReadLikeOthers) {
  for (const std::size_t size : {std::size_t{1000}, std::size_t{FileSource::kReadWholeBytes},
                                 std::size_t{FileSource::kReadWholeBytes + 1}}) {
    SCOPED_TRACE(size);
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    const ScratchFile file(bytes);
    const FileSource source(file.Path());
    std::array<std::byte, 8> buffer{};
    const auto text = [&](std::size_t n) {
      return std::string(reinterpret_cast<const char*>(buffer.data()), n);
    };
    ASSERT_EQ(source.ReadSome(0, buffer), 8u);
    EXPECT_EQ(text(8), bytes.substr(0, 8));
    ASSERT_EQ(source.ReadSome(size - 3, buffer), 3u);
    EXPECT_EQ(text(3), bytes.substr(size - 3));
    EXPECT_EQ(source.ReadSome(size, buffer), 0u);
    EXPECT_THROW(source.ReadAt(size - 3, buffer), ReadFailure);
    const std::span<const std::byte> view = source.View(size - 10, 10);
    if (size <= FileSource::kReadWholeBytes) {
      ASSERT_EQ(view.size(), 10u);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(view.data()), 10), bytes.substr(size - 10));
      EXPECT_TRUE(source.View(size - 10, 11).empty());
    } else {
      EXPECT_TRUE(view.empty());
    }
  }
}

TEST(ZipArchiveTest, ZipBombIsRefusedBeforeInflating) {
  // 64 MiB of zeros deflate to about 64 KiB: beyond the ratio allowed for an entry.
  BuildEntry bomb{"content.xml", std::string(std::size_t{64} << 20, '\0'), true};
  const ScratchFile file(ZipBuilder().Add(bomb).Build());
  const FileSource source(file.Path());
  ZipArchive zip(source);
  EXPECT_THROW(zip.Open(*zip.Find("content.xml")), Error);
}

TEST(ZipArchiveTest, CorruptArchivesAreDamage) {
  const std::string good = ZipBuilder().Add("a.txt", "hello").Build();
  std::string wrong_count = good;
  wrong_count[wrong_count.size() - 22 + 10] = 5;  // end record claims five entries
  std::string wrong_size = good;
  wrong_size[wrong_size.size() - 22 + 12] = 0x7F;  // directory larger than the file allows
  for (const std::string& bytes : {std::string("PK\x03\x04"), good.substr(0, good.size() - 1),
                                   wrong_count, wrong_size, std::string(100, 'x')}) {
    const ScratchFile file(bytes);
    const FileSource source(file.Path());
    EXPECT_THROW(ZipArchive{source}, Error);
  }
}


// Runs of one name, repeated as a hostile package repeats it: a look-up reads one central
// header whatever the run's length, and the first of the run in directory order is the one.
TEST(ZipArchiveTest, RepeatedNamesCostOneHeaderPerLookup) {
  constexpr int kRepeats = 20'000;
  constexpr int kLookups = 5'000;
  struct Case {
    const char* label;
    bool shared_local_header;  // every repeat points at the first one's local header
    const char* repeat_spelling;
  } cases[] = {
      {"own_headers", false, "xl/worksheets/sheet1.xml"},
      {"one_local_header", true, "xl/worksheets/sheet1.xml"},
      {"other_spellings", false, "/XL\\Worksheets\\SHEET1.xml"},
  };
  for (const Case& c : cases) {
    ZipBuilder builder;
    builder.Add("xl/worksheets/sheet1.xml", "first");
    for (int i = 0; i < kRepeats; ++i) {
      builder.Add({c.repeat_spelling, "later", true, 0, 0xFFFF, -1, c.shared_local_header ? 0 : -1});
    }
    builder.Add("other.xml", "x");
    const ScratchFile file(builder.Build());
    const FileSource source(file.Path());
    ZipArchive zip(source);
    EXPECT_EQ(zip.EntryCount(), 2u) << c.label;
    for (int i = 0; i < kLookups; ++i) {
      ASSERT_TRUE(zip.Contains("xl/worksheets/sheet1.xml")) << c.label;
      ASSERT_TRUE(zip.Find("xl/worksheets/sheet1.xml").has_value()) << c.label;
    }
    EXPECT_FALSE(zip.Find("xl/worksheets/sheet2.xml").has_value()) << c.label;
    EXPECT_EQ(zip.HeadersReread(), std::uint64_t{kLookups}) << c.label;
    EXPECT_EQ(ReadEntry(zip, "XL/worksheets/sheet1.xml"), "first") << c.label;
  }
}

// Archives of a few entries and archives past the small kind's size find the same
// entries: the first of equal names in directory order, deflated entries one after
// another (and one inside another) inflating alike. 65,538 entries record a count of 2.
TEST(ZipArchiveTest, SmallAndIndexedArchivesFindAlike) {
  for (const int repeats : {1, 30, 31, 32, 60, 65'536}) {
    ZipBuilder builder;
    builder.Add({"xl/Workbook.xml", "first", true});
    for (int i = 0; i < repeats; ++i) builder.Add({"/XL\\workbook.XML", "later", false});
    builder.Add({"other.xml", std::string(5000, 'o'), true});
    const ScratchFile file(builder.Build());
    const FileSource source(file.Path());
    ZipArchive zip(source);
    EXPECT_EQ(zip.EntryCount(), 2u) << repeats;
    EXPECT_TRUE(zip.Contains("xl/workbook.xml")) << repeats;
    EXPECT_FALSE(zip.Contains("xl/workbook.xm")) << repeats;
    EXPECT_FALSE(zip.Find("other.xm").has_value()) << repeats;
    const auto outer = zip.Open(*zip.Find("OTHER.xml"));
    std::array<std::byte, 10> head{};
    ASSERT_EQ(outer->Read(head), head.size());
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(ReadEntry(zip, "xl/workbook.xml"), "first") << repeats;
      EXPECT_EQ(ReadEntry(zip, "other.xml"), std::string(5000, 'o')) << repeats;
    }
  }
}

}  // namespace
}  // namespace vexmar::workbook::testing
