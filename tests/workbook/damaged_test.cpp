// Damaged, hostile and foreign content: every case ends in names, "not a workbook" or
// the library's error with a Chinese description - never a crash, hang or wrong list.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>
#include <random>

#include "vexmar/component/error.hpp"
#include "vexmar/workbook/containers/compound_file_format.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/list_worksheets.hpp"
#include "workbook/cfb_builder.hpp"

namespace {

using namespace vexmar::testing_support;
namespace cfb = vexmar::workbook::cfb;
using vexmar::workbook::FailureKind;

enum class Outcome { kNames, kNotWorkbook, kDamaged, kEncrypted };

struct Result {
  Outcome outcome;
  std::vector<std::u16string> names;
  std::u16string description;
  std::optional<FailureKind> kind;
};

Result Inspect(const std::filesystem::path& path) {
  try {
    auto names = vexmar::ListWorksheets(path);
    if (!names) return {Outcome::kNotWorkbook, {}, {}, {}};
    return {Outcome::kNames, std::move(*names), {}, {}};
  } catch (const vexmar::workbook::ReadFailure& e) {
    EXPECT_EQ(e.Number(), 1004);
    EXPECT_EQ(static_cast<std::uint32_t>(e.HResult()), 0x800A03ECu);
    const bool encrypted = IsEncryption(e.Kind());
    return {encrypted ? Outcome::kEncrypted : Outcome::kDamaged, {}, e.Description(), e.Kind()};
  }
}

Bytes ReadFixture(const std::string& name) {
  std::ifstream in(FixtureDir() / name, std::ios::binary);
  Bytes out;
  for (char c; in.get(c);) out.push_back(static_cast<std::byte>(c));
  return out;
}

CfbFile PlainWorkbook() { return BuildCfb({{u"Workbook", Biff8Workbook({u"One", u"Two"})}}); }

// ---------------------------------------------------------------- container damage

struct CfbCase {
  const char* label;
  std::function<void(CfbFile&)> damage;
  FailureKind kind;
};

class CompoundDamage : public testing::TestWithParam<CfbCase> {};

TEST_P(CompoundDamage, IsReportedAsDamaged) {
  CfbFile file = PlainWorkbook();
  GetParam().damage(file);
  const Result r = Inspect(WriteTemp("damaged.xls", file.bytes));
  ASSERT_EQ(r.outcome, Outcome::kDamaged);
  EXPECT_EQ(r.kind, GetParam().kind) << vexmar::Error(1, r.description).what();
}

const std::uint32_t kWorkbookStart = 0;  // the first stream starts at sector 0

INSTANTIATE_TEST_SUITE_P(
    Cases, CompoundDamage,
    testing::Values(
        CfbCase{"self_loop",
                [](CfbFile& f) { f.PutU32(f.FatEntryOffset(kWorkbookStart), kWorkbookStart); },
                FailureKind::kSectorChainCycle},
        CfbCase{"two_sector_cycle",
                [](CfbFile& f) { f.PutU32(f.FatEntryOffset(kWorkbookStart + 1), kWorkbookStart); },
                FailureKind::kSectorChainCycle},
        CfbCase{"chain_to_nowhere",
                [](CfbFile& f) { f.PutU32(f.FatEntryOffset(kWorkbookStart + 2), 0x00FFFFFF); },
                FailureKind::kSectorOutOfRange},
        CfbCase{"chain_too_short",
                [](CfbFile& f) { f.PutU32(f.FatEntryOffset(kWorkbookStart), cfb::kEndOfChain); },
                FailureKind::kChainShorterThanStream},
        CfbCase{"start_out_of_range",
                [](CfbFile& f) { f.PutU32(f.EntryOffset(1) + cfb::kEntryStartSector, 0x7FFFFFF0); },
                FailureKind::kSectorOutOfRange},
        CfbCase{"stream_larger_than_file",
                [](CfbFile& f) { f.PutU32(f.EntryOffset(1) + cfb::kEntrySize32, 0xFFFFFFF0); },
                FailureKind::kStreamBeyondFile},
        CfbCase{"child_out_of_range",
                [](CfbFile& f) { f.PutU32(f.EntryOffset(0) + cfb::kEntryChild, 5000); },
                FailureKind::kEntryIdOutOfRange},
        CfbCase{"tree_cycle",
                [](CfbFile& f) { f.PutU32(f.EntryOffset(1) + cfb::kEntryRightSibling, 1); },
                FailureKind::kDirectoryTreeCycle},
        CfbCase{
            "directory_chain_cycle",
            [](CfbFile& f) { f.PutU32(f.FatEntryOffset(f.directory_start), f.directory_start); },
            FailureKind::kSectorChainCycle},
        CfbCase{"root_not_root",
                [](CfbFile& f) { f.bytes[f.EntryOffset(0) + cfb::kEntryType] = std::byte{1}; },
                FailureKind::kRootEntryMissing},
        CfbCase{"mini_stream_cutoff",
                [](CfbFile& f) { f.PutU32(cfb::kHeaderMiniStreamCutoff, 0xFFFFFFFF); },
                FailureKind::kMiniStreamCutoffInvalid},
        CfbCase{"fat_count_beyond_listed_sectors",
                [](CfbFile& f) { f.PutU32(cfb::kHeaderDifat, cfb::kFreeSector); },
                FailureKind::kAllocationSectorMissing},
        CfbCase{"zero_fat_count", [](CfbFile& f) { f.PutU32(cfb::kHeaderFatSectors, 0); },
                FailureKind::kAllocationTableEmpty},
        CfbCase{"bad_sector_shift", [](CfbFile& f) { f.PutU16(cfb::kHeaderSectorShift, 10); },
                FailureKind::kSectorSizeInvalid},
        CfbCase{"bad_byte_order", [](CfbFile& f) { f.PutU16(cfb::kHeaderByteOrder, 0xFEFF); },
                FailureKind::kCompoundHeaderInvalid},
        CfbCase{"fat_sector_outside", [](CfbFile& f) { f.PutU32(cfb::kHeaderDifat, 0x00100000); },
                FailureKind::kAllocationSectorBeyondFile},
        CfbCase{"header_only", [](CfbFile& f) { f.bytes.resize(512); },
                FailureKind::kAllocationSectorBeyondFile},
        CfbCase{"short_header", [](CfbFile& f) { f.bytes.resize(300); },
                FailureKind::kFileTruncated}),
    [](const testing::TestParamInfo<CfbCase>& param) { return std::string(param.param.label); });

// Every cut of real files is refused, never read as a shorter list. Only a cut inside
// the last sector can leave every byte the listing needs; the whole list comes back then.
TEST(Truncation, EveryCutOfARealFileIsDamaged) {
  for (const char* name : {"xlwt_basic.xls", "lo_names.xls", "ss_biff7_cp936.xls"}) {
    const Bytes whole = ReadFixture(name);
    ASSERT_FALSE(whole.empty()) << name;
    const Result full = Inspect(FixtureDir() / name);
    ASSERT_EQ(full.outcome, Outcome::kNames);
    for (std::size_t cut = 8; cut < whole.size(); cut += (cut < 1100 ? 97 : 256)) {
      const Bytes part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
      const Result r = Inspect(WriteTemp("cut.xls", part));
      if (r.outcome == Outcome::kNames && cut > whole.size() - 512) {
        EXPECT_EQ(r.names, full.names) << name << " cut at " << cut;
      } else {
        EXPECT_EQ(r.outcome, Outcome::kDamaged) << name << " cut at " << cut;
      }
    }
  }
}

// ---------------------------------------------------------------- sloppy producers

// What some producers write and the office programs open: the chains that the listing
// follows are sound, whatever else the header or the directory says.
struct LenientCase {
  const char* label;
  std::function<void(CfbFile&)> change;
};

class CompoundLeniency : public testing::TestWithParam<LenientCase> {};

TEST_P(CompoundLeniency, ListsTheWorkbook) {
  for (const bool tables_first : {false, true}) {
    CfbFile file = BuildCfb({{u"Workbook", Biff8Workbook({u"One", u"Two"})}}, 9, tables_first);
    GetParam().change(file);
    const Result r = Inspect(WriteTemp("lenient.xls", file.bytes));
    EXPECT_EQ(r.names, (std::vector<std::u16string>{u"One", u"Two"}))
        << (tables_first ? "tables first: " : "") << vexmar::Error(1, r.description).what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompoundLeniency,
    testing::Values(LenientCase{"as_built", [](CfbFile&) {}},
                    LenientCase{"huge_fat_count",
                                [](CfbFile& f) { f.PutU32(cfb::kHeaderFatSectors, 0x7FFFFFFF); }},
                    LenientCase{"fat_count_beyond_file",
                                [](CfbFile& f) { f.PutU32(cfb::kHeaderFatSectors, 5000); }},
                    LenientCase{"huge_difat_count",
                                [](CfbFile& f) { f.PutU32(cfb::kHeaderDifatSectors, 0xFFFFFFF0); }},
                    LenientCase{
                        "huge_mini_fat_count",
                        [](CfbFile& f) { f.PutU32(cfb::kHeaderMiniFatSectors, 0xFFFFFFF0); }},
                    LenientCase{"sibling_outside_directory",
                                [](CfbFile& f) {
                                  f.PutU32(f.EntryOffset(1) + cfb::kEntryLeftSibling, 0x00FFFFF0);
                                }},
                    LenientCase{"padding_cut_off",
                                [](CfbFile& f) {
                                  // Ends right after the last stream's bytes (tables first) or in
                                  // the middle of the last table sector's free entries.
                                  f.bytes.resize(f.bytes.size() - 100);
                                }}),
    [](const testing::TestParamInfo<LenientCase>& param) {
      return std::string(param.param.label);
    });

TEST(CompoundLeniency, BrokenLinkHidingTheWorkbookIsDamaged) {
  CfbFile file = PlainWorkbook();
  file.PutU32(file.EntryOffset(0) + cfb::kEntryChild, 0x00FFFFF0);
  const Result r = Inspect(WriteTemp("hidden.xls", file.bytes));
  EXPECT_EQ(r.outcome, Outcome::kDamaged);
}

TEST(CompoundLeniency, UnpaddedBiff5AndMiniStreamFiles) {
  // A BIFF5 workbook ending right after its bytes, and one in the mini stream.
  const Bytes book = Padded(Concat({Bof5(5), BoundSheet5(0, 0, "Old"), Eof()}), 4100);
  const CfbFile file = BuildCfb({{u"Book", book}}, 9, true);
  ASSERT_NE(file.bytes.size() % 512, 0u);
  EXPECT_EQ(Inspect(WriteTemp("book.xls", file.bytes)).names, std::vector<std::u16string>{u"Old"});
}

// Reading what is not in the file is still refused: a stream whose bytes are cut.
TEST(CompoundLeniency, CutInsideNeededBytesIsDamaged) {
  CfbFile file = BuildCfb({{u"Workbook", Biff8Workbook({u"One", u"Two"})}}, 9, true);
  file.bytes.resize(static_cast<std::size_t>(file.SectorOffset(file.stream_starts[0])) + 20);
  EXPECT_EQ(Inspect(WriteTemp("cut.xls", file.bytes)).outcome, Outcome::kDamaged);
}

// ---------------------------------------------------------------- BIFF record damage

struct BiffCase {
  const char* label;
  Bytes stream;
  Outcome outcome;
  std::vector<std::u16string> names;
};

Bytes RawBoundSheet(std::uint8_t cch, std::size_t body_chars) {
  Bytes body =
      Concat({U32Bytes(0), Bytes{std::byte{0}, std::byte{0}, std::byte{cch}, std::byte{0}}});
  body.resize(body.size() + body_chars, std::byte{'x'});
  return Record(0x0085, body);
}

class BiffDamage : public testing::TestWithParam<BiffCase> {};

TEST_P(BiffDamage, GivesTheExpectedOutcome) {
  const BiffCase& c = GetParam();
  const CfbFile file = BuildCfb({{u"Workbook", Padded(c.stream)}});
  const Result r = Inspect(WriteTemp("biff.xls", file.bytes));
  EXPECT_EQ(r.outcome, c.outcome) << vexmar::Error(1, r.description).what();
  EXPECT_EQ(r.names, c.names);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BiffDamage,
    testing::Values(
        BiffCase{"name_longer_than_record",
                 Concat({Bof8(5), RawBoundSheet(20, 5), Eof()}),
                 Outcome::kDamaged,
                 {}},
        BiffCase{"record_too_short",
                 Concat({Bof8(5), Record(0x0085, Bytes(5)), Eof()}),
                 Outcome::kDamaged,
                 {}},
        BiffCase{
            "empty_name", Concat({Bof8(5), RawBoundSheet(0, 0), Eof()}), Outcome::kDamaged, {}},
        BiffCase{"record_past_stream_end",
                 Concat({Bof8(5), U16Bytes(0x0085), U16Bytes(0xFFFF)}),
                 Outcome::kDamaged,
                 {}},
        BiffCase{"no_bof", Concat({BoundSheet8(0, 0, u"A"), Eof()}), Outcome::kDamaged, {}},
        BiffCase{"lone_worksheet_named_after_file",
                 Concat({Bof8(0x10), Eof()}),
                 Outcome::kNames,
                 {u"biff"}},
        BiffCase{"lone_biff5_worksheet", Concat({Bof5(0x10), Eof()}), Outcome::kNames, {u"biff"}},
        BiffCase{"lone_chart", Concat({Bof8(0x20), Eof()}), Outcome::kNames, {}},
        BiffCase{"unknown_substream_first", Concat({Bof8(0x77), Eof()}), Outcome::kDamaged, {}},
        BiffCase{"globals_never_end",
                 Concat({Bof8(5), BoundSheet8(0, 0, u"A"), Bof8(0x10)}),
                 Outcome::kDamaged,
                 {}},
        BiffCase{"filepass",
                 Concat({Bof8(5), Record(0x002F, Bytes(54)), BoundSheet8(0, 0, u"A"), Eof()}),
                 Outcome::kEncrypted,
                 {}},
        BiffCase{"stops_at_shared_strings",
                 Concat({Bof8(5), BoundSheet8(0, 0, u"A"), Record(0x00FC, Bytes(8)),
                         U16Bytes(0x0085), U16Bytes(0xFFFF)}),
                 Outcome::kNames,
                 {u"A"}},
        BiffCase{
            "sheet_position_nonsense",
            Concat({Bof8(5), BoundSheet8(0xFFFFFF00, 0, u"A"), BoundSheet8(3, 0, u"B"), Eof()}),
            Outcome::kNames,
            {u"A", u"B"}},
        BiffCase{"unknown_sheet_kind_left_out",
                 Concat({Bof8(5), BoundSheet8(0, 9, u"X"), BoundSheet8(0, 0, u"A"), Eof()}),
                 Outcome::kNames,
                 {u"A"}},
        BiffCase{"name_after_empty_continue",
                 Concat({Bof8(5),
                         Record(0x0085, Concat({U32Bytes(0), Bytes{std::byte{0}, std::byte{0},
                                                                   std::byte{4}, std::byte{1}}})),
                         Record(0x003C, {}),
                         Record(0x003C, Bytes{std::byte{0}, std::byte{'a'}, std::byte{'b'},
                                              std::byte{'c'}, std::byte{'d'}}),
                         Eof()}),
                 Outcome::kNames,
                 {u"abcd"}},
        BiffCase{"no_sheets", Concat({Bof8(5), Eof()}), Outcome::kNames, {}}),
    [](const testing::TestParamInfo<BiffCase>& param) { return std::string(param.param.label); });

// The dialog flag sits in the sheet's own substream; BIFF8 workbooks are looked into
// only when they have a drawing group (every dialog sheet holds a dialog frame object).
Bytes WorkbookWithDialog(bool drawing_group) {
  const Bytes dialog =
      Concat({Bof8(0x10), Record(0x0081, Bytes{std::byte{0x11}, std::byte{0x04}}), Eof()});
  const Bytes sheet =
      Concat({Bof8(0x10), Record(0x0081, Bytes{std::byte{0x01}, std::byte{0x04}}), Eof()});
  const Bytes group = drawing_group ? Record(0x00EB, Bytes(8)) : Bytes{};
  const std::size_t globals = Bof8(5).size() + BoundSheet8(0, 0, u"Sheet").size() +
                              BoundSheet8(0, 0, u"Dlg").size() + group.size() + Eof().size();
  return Concat({Bof8(5), BoundSheet8(static_cast<std::uint32_t>(globals), 0, u"Sheet"),
                 BoundSheet8(static_cast<std::uint32_t>(globals + sheet.size()), 0, u"Dlg"), group,
                 Eof(), sheet, dialog});
}

TEST(DialogSheets, ExcludedWhenTheWorkbookHasDrawings) {
  const Result r = Inspect(
      WriteTemp("dlg.xls", BuildCfb({{u"Workbook", Padded(WorkbookWithDialog(true))}}).bytes));
  EXPECT_EQ(r.names, std::vector<std::u16string>{u"Sheet"});
}

TEST(DialogSheets, NotLookedForWithoutDrawingGroup) {
  const Result r = Inspect(
      WriteTemp("dlg.xls", BuildCfb({{u"Workbook", Padded(WorkbookWithDialog(false))}}).bytes));
  EXPECT_EQ(r.names, (std::vector<std::u16string>{u"Sheet", u"Dlg"}));
}

TEST(BiffLimits, TooManySheetRecordsAreRefused) {
  Bytes stream = Bof8(5);
  const Bytes one = BoundSheet8(0, 0, u"s");
  for (int i = 0; i < 70000; ++i) stream.insert(stream.end(), one.begin(), one.end());
  stream = Concat({stream, Eof()});
  const Result r = Inspect(WriteTemp("many.xls", BuildCfb({{u"Workbook", stream}}).bytes));
  EXPECT_EQ(r.outcome, Outcome::kDamaged);
}

// ---------------------------------------------------------------- container variants

TEST(CompoundVariants, DifatSectorsOfALargeFileAreFollowed) {
  // More than 109 allocation-table sectors: the table's location continues in DIFAT
  // sectors. The sheet list sits at the start, the second sheet's substream near the end.
  Bytes stream = Biff8Workbook({u"Start", u"Far"});
  stream.resize(8 * 1024 * 1024, std::byte{0});
  const CfbFile file = BuildCfb({{u"Workbook", stream}});
  ASSERT_GT(file.fat_sectors.size(), 109u);
  const Result r = Inspect(WriteTemp("difat.xls", file.bytes));
  ASSERT_EQ(r.outcome, Outcome::kNames) << vexmar::Error(1, r.description).what();
  EXPECT_EQ(r.names, (std::vector<std::u16string>{u"Start", u"Far"}));
}

// A chain that runs past the sectors the allocation table covers (found by fuzzing).
TEST(CompoundVariants, ChainBeyondTheTableIsDamaged) {
  CfbFile file = BuildCfb({{u"Workbook", Padded(Biff8Workbook({u"A"}), 200 * 512)}});
  ASSERT_GE(file.fat_sectors.size(), 2u);
  file.PutU32(cfb::kHeaderFatSectors, 1);
  const Result r = Inspect(WriteTemp("short_table.xls", file.bytes));
  EXPECT_EQ(r.outcome, Outcome::kDamaged);
}

TEST(CompoundVariants, BrokenDifatChainIsDamaged) {
  Bytes stream = Biff8Workbook({u"A"});
  stream.resize(8 * 1024 * 1024, std::byte{0});
  CfbFile file = BuildCfb({{u"Workbook", stream}});
  file.PutU32(cfb::kHeaderFirstDifatSector, 0x7FFFFFF0);  // first DIFAT sector
  EXPECT_EQ(Inspect(WriteTemp("difat.xls", file.bytes)).outcome, Outcome::kDamaged);
}

TEST(CompoundVariants, LargeSectorsAndStreamNameCase) {
  const CfbFile file = BuildCfb({{u"WORKBOOK", Biff8Workbook({u"Big"})}}, 12);
  const Result r = Inspect(WriteTemp("v4.xls", file.bytes));
  EXPECT_EQ(r.names, std::vector<std::u16string>{u"Big"});
}

TEST(CompoundVariants, WorkbookStreamWinsOverBook) {
  const Bytes book = Padded(Concat({Bof5(5), BoundSheet5(0, 0, "Old"), Eof()}));
  const CfbFile file =
      BuildCfb({{u"Book", book}, {u"Workbook", Biff8Workbook({u"New", u"Newer"})}});
  EXPECT_EQ(Inspect(WriteTemp("both.xls", file.bytes)).names,
            (std::vector<std::u16string>{u"New", u"Newer"}));
}

TEST(CompoundVariants, WorkbookStorageIsNoWorkbook) {
  const CfbFile file = BuildCfb({{u"Workbook", {}, 1}, {u"Other", Padded({})}});
  EXPECT_EQ(Inspect(WriteTemp("storage.xls", file.bytes)).outcome, Outcome::kNotWorkbook);
}

TEST(CompoundVariants, EncryptedPackageIsEncrypted) {
  const CfbFile file =
      BuildCfb({{u"EncryptionInfo", Padded({})}, {u"EncryptedPackage", Padded({})}});
  EXPECT_EQ(Inspect(WriteTemp("enc.xlsx", file.bytes)).outcome, Outcome::kEncrypted);
}

// ---------------------------------------------------------------- random damage

// Random byte changes in real files: whatever comes out, nothing crashes or hangs.
TEST(RandomDamage, MutatedFilesNeverCrash) {
  std::mt19937 rng(20240601);
  for (const char* name : {"xlwt_hidden.xls", "ss_dual_stream.xls", "gen_ministream.xls",
                           "gen_biff4w.xlw", "gen_sector4096.xls"}) {
    const Bytes original = ReadFixture(name);
    ASSERT_FALSE(original.empty());
    for (int round = 0; round < 150; ++round) {
      Bytes mutated = original;
      const int changes = 1 + static_cast<int>(rng() % 8);
      for (int i = 0; i < changes; ++i) {
        mutated[rng() % mutated.size()] = static_cast<std::byte>(rng() & 0xFF);
      }
      (void)Inspect(WriteTemp("mutated.xls", mutated));
    }
  }
}

TEST(Foreign, RandomBytesAreNoWorkbook) {
  std::mt19937 rng(7);
  Bytes noise(3000);
  for (auto& b : noise) b = static_cast<std::byte>(rng() & 0xFF);
  noise[0] = std::byte{0x00};  // binary from the first byte on
  EXPECT_EQ(Inspect(WriteTemp("noise.xls", noise)).outcome, Outcome::kNotWorkbook);
}

TEST(Foreign, UnreadablePathIsAnError) {
  EXPECT_THROW((void)vexmar::ListWorksheets("/nonexistent/dir/file.xls"), vexmar::Error);
  EXPECT_THROW((void)vexmar::ListWorksheets(std::filesystem::temp_directory_path()), vexmar::Error);
}

}  // namespace
