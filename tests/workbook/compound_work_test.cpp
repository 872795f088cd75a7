// Work stays bounded on hostile layouts: counted (links followed, table sectors loaded,
// bytes read), never timed.
#include <gtest/gtest.h>

#include <array>
#include <numeric>

#include "vexmar/component/error.hpp"
#include "vexmar/workbook/containers/compound_file.hpp"
#include "vexmar/workbook/containers/compound_file_format.hpp"
#include "vexmar/workbook/detection/compound_file_workbook.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/file_source.hpp"
#include "vexmar/workbook/xls/biff_workbook.hpp"
#include "workbook/cfb_builder.hpp"

namespace {

using namespace vexmar::testing_support;
using vexmar::workbook::CompoundFile;
using vexmar::workbook::FileSource;
namespace cfb = vexmar::workbook::cfb;

constexpr std::uint32_t kSector = 512;

// Scatters the sectors of the stream that starts at sector 0 and fills `count` sectors:
// its i-th sector moves to (i * stride) % count, so every link jumps far across the
// allocation table.
void Fragment(CfbFile& file, std::uint32_t count, std::uint32_t stride) {
  ASSERT_EQ(std::gcd(count, stride), 1u);
  const Bytes original = file.bytes;
  auto place = [&](std::uint32_t i) {
    return static_cast<std::uint32_t>((std::uint64_t{i} * stride) % count);
  };
  for (std::uint32_t i = 0; i < count; ++i) {
    std::copy_n(original.begin() + static_cast<std::ptrdiff_t>(file.SectorOffset(i)), kSector,
                file.bytes.begin() + static_cast<std::ptrdiff_t>(file.SectorOffset(place(i))));
    file.PutU32(file.FatEntryOffset(place(i)), i + 1 < count ? place(i + 1) : cfb::kEndOfChain);
  }
  file.PutU32(file.EntryOffset(1) + cfb::kEntryStartSector, place(0));
}

struct Opened {
  explicit Opened(const std::filesystem::path& path) : source(path), file(source) {
    static constexpr std::array<std::u16string_view, 1> kName = {u"Workbook"};
    entry = *file.FindTopLevel(kName).at(0);
    stream = file.OpenStream(entry);
  }
  FileSource source;
  CompoundFile file;
  vexmar::workbook::CompoundEntry entry;
  std::unique_ptr<vexmar::workbook::RandomAccessStream> stream;
};

TEST(CompoundWork, BackwardReadsOverAFragmentedChainFollowEachLinkOnce) {
  constexpr std::uint32_t kCount = 4000;  // 32 allocation-table sectors
  CfbFile built = BuildCfb({{u"Workbook", Padded(Biff8Workbook({u"A"}), kCount * kSector)}});
  Fragment(built, kCount, 129);
  Opened opened(WriteTemp("fragmented.xls", built.bytes));
  Bytes unit(kSector);
  for (std::uint32_t i = kCount; i-- > 0;) opened.stream->Read(std::uint64_t{i} * kSector, unit);
  // The last read was the stream's first sector, wherever it now lies.
  const Bytes first = Biff8Workbook({u"A"});
  EXPECT_TRUE(std::equal(first.begin(), first.begin() + kSector, unit.begin()));
  const auto& work = opened.file.Work();
  EXPECT_LE(work.links_followed, kCount + 8);
  EXPECT_LE(work.fat_sectors_loaded, 2 * built.fat_sectors.size() + 16);
  EXPECT_LE(work.bytes_read, 3 * built.bytes.size());
}

// 1,000 sheet records that all name one worksheet substream, far into a fragmented
// stream of a workbook with drawings (so every worksheet is looked into).
TEST(CompoundWork, SheetRecordsSharingOneSubstreamAreProbedOnce) {
  constexpr std::uint32_t kCount = 2000;
  const Bytes sheet =
      Concat({Bof8(0x10), Record(0x0081, Bytes{std::byte{0x01}, std::byte{0x04}}), Eof()});
  Bytes globals = Bof8(5);
  const std::uint32_t far = (kCount - 2) * kSector;
  for (int i = 0; i < 1000; ++i) {
    globals = Concat({globals, BoundSheet8(far, 0, u"S")});
  }
  globals = Concat({globals, Record(0x00EB, Bytes(8)), Eof()});
  Bytes stream = Padded(globals, far);
  stream = Padded(Concat({stream, sheet}), kCount * kSector);
  CfbFile built = BuildCfb({{u"Workbook", stream}});
  Fragment(built, kCount, 131);
  Opened opened(WriteTemp("shared.xls", built.bytes));
  const auto names = vexmar::workbook::ListBiffWorksheets(
      *opened.stream, vexmar::workbook::BiffVersion::kBiff8, u"x");
  EXPECT_EQ(names.size(), 1000u);
  const auto& work = opened.file.Work();
  EXPECT_LE(work.links_followed, kCount + 8);
  EXPECT_LE(work.bytes_read, 2 * built.bytes.size());
}

// Distinct long substreams: the probes stop at their byte budget (4 MiB) and the sheets
// not looked into count as worksheets.
TEST(CompoundWork, ProbesStopAtTheirBudget) {
  constexpr int kSheets = 8;
  Bytes sheet = Bof8(0x10);
  const Bytes filler = Record(0x0201, Bytes(8000));  // a record that is not WSBOOL
  for (int i = 0; i < 127; ++i) sheet.insert(sheet.end(), filler.begin(), filler.end());
  const Bytes group = Record(0x00EB, Bytes(8));
  const std::size_t globals =
      Bof8(5).size() + kSheets * BoundSheet8(0, 0, u"S").size() + group.size() + Eof().size();
  Bytes stream = Bof8(5);
  for (int i = 0; i < kSheets; ++i) {
    const auto at =
        static_cast<std::uint32_t>(globals + static_cast<std::size_t>(i) * sheet.size());
    stream = Concat({stream, BoundSheet8(at, 0, u"S")});
  }
  stream = Concat({stream, group, Eof()});
  for (int i = 0; i < kSheets; ++i) stream.insert(stream.end(), sheet.begin(), sheet.end());
  const CfbFile built = BuildCfb({{u"Workbook", stream}});
  Opened opened(WriteTemp("long_substreams.xls", built.bytes));
  const auto names = vexmar::workbook::ListBiffWorksheets(
      *opened.stream, vexmar::workbook::BiffVersion::kBiff8, u"x");
  EXPECT_EQ(names.size(), static_cast<std::size_t>(kSheets));
  EXPECT_GT(stream.size(), 7u << 20);
  // The budget, plus the globals, the tables and one read-ahead beyond it.
  EXPECT_LE(opened.file.Work().bytes_read, (4u << 20) + (128u << 10));
}

TEST(CompoundWork, NamesBeyondTheTotalCapAreRefused) {
  // 8,300 names of 255 characters: 2.1 million units, more than any real workbook needs.
  const std::u16string long_name(255, u'n');
  Bytes globals = Bof8(5);
  const Bytes one = BoundSheet8(0, 0, long_name);
  for (int i = 0; i < 8300; ++i) globals.insert(globals.end(), one.begin(), one.end());
  globals = Concat({globals, Eof()});
  const CfbFile built = BuildCfb({{u"Workbook", globals}});
  const FileSource source(WriteTemp("long.xls", built.bytes));
  try {
    (void)vexmar::workbook::ListCompoundWorksheets(source);
    ADD_FAILURE() << "no error";
  } catch (const vexmar::workbook::ReadFailure& e) {
    EXPECT_EQ(e.Kind(), vexmar::workbook::FailureKind::kSheetNamesTotalTooLong) << e.what();
  }
}

}  // namespace
