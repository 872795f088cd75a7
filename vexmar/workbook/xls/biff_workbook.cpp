#include "vexmar/workbook/xls/biff_workbook.hpp"

#include <algorithm>
#include <array>
#include <numeric>
#include <string_view>

#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/little_endian.hpp"
#include "vexmar/workbook/sheet_limits.hpp"
#include "vexmar/workbook/xls/biff_decryptor.hpp"
#include "vexmar/workbook/xls/biff_records.hpp"
#include "vexmar/workbook/xls/code_page.hpp"

namespace vexmar::workbook {
namespace {

using biff::kChartSubstream;
using biff::kGlobalsSubstream;
using biff::kMacroSubstream;
using biff::kWorksheetSubstream;
using biff::kWorkspaceSubstream;

// Records looked at in one sheet's own substream while looking for its WSBOOL record.
constexpr int kMaxProbedRecords = 128;
// Bytes of records looked at in all sheets' substreams together: real dialog flags sit
// in the first few records, and a hostile sheet list cannot make the probes read more.
// Sheets left unprobed are taken for worksheets.
constexpr std::uint64_t kMaxProbedBytes = 4 * 1024 * 1024;

struct SheetRecord {
  std::uint32_t position = 0;  // of the sheet's BOF in the stream
  std::uint8_t kind = 0;       // biff::kWorksheetKind (or dialog), 1 macro, 2 chart, 6 module
};

bool IsBof(std::uint16_t type) {
  return type == biff::kBof || type == biff::kBof2 || type == biff::kBof3 || type == biff::kBof4;
}

void MoveToContinue(BiffRecordReader& reader) {
  if (!reader.Next() || reader.Type() != biff::kContinue) {
    RaiseFailure(FailureKind::kSheetNameBeyondRecord);
  }
}

// `count` characters of a BIFF8 string whose characters start at `at` in the current
// record; the rest continues in CONTINUE records, each starting with its own option
// byte.
void ReadBiff8Chars(BiffRecordReader& reader, std::size_t at, std::size_t count, bool wide,
                    std::u16string& out) {
  std::span<const std::byte> body = reader.Body();
  for (;;) {
    const std::size_t available = wide ? (body.size() - at) >> 1 : body.size() - at;
    const std::size_t take = std::min(available, count - out.size());
    const std::size_t old_size = out.size();
    out.resize(old_size + take);
    char16_t* to = out.data() + old_size;
    if (wide) {
      for (std::size_t i = 0; i < take; ++i)
        to[i] = static_cast<char16_t>(LoadU16(body, at + 2 * i));
    } else {
      for (std::size_t i = 0; i < take; ++i) to[i] = static_cast<char16_t>(LoadU8(body, at + i));
    }
    if (out.size() == count) return;
    MoveToContinue(reader);
    body = reader.Body();
    at = 0;
    if (body.empty()) continue;  // an empty CONTINUE carries no option byte either
    wide = (LoadU8(body, 0) & biff::kWideCharsFlag) != 0;
    at = 1;
  }
}

// `count` bytes starting at `at` in the current record, continuing in CONTINUE records,
// appended to `out`.
void ReadBytes(BiffRecordReader& reader, std::size_t at, std::size_t count,
               std::vector<std::byte>& out) {
  std::span<const std::byte> body = reader.Body();
  for (;;) {
    const std::size_t take = std::min(body.size() - at, count);
    out.insert(out.end(), body.begin() + static_cast<std::ptrdiff_t>(at),
               body.begin() + static_cast<std::ptrdiff_t>(at + take));
    count -= take;
    if (count == 0) return;
    MoveToContinue(reader);
    body = reader.Body();
    at = 0;
  }
}

// The names of the sheet list, bounded as they are collected. BIFF8 names are decoded
// at once; BIFF5 names stay bytes in one buffer until the code page is known (its
// record may come late).
struct SheetNames {
  std::vector<std::u16string> decoded;  // BIFF8
  std::vector<std::byte> raw;           // BIFF5, one after the other
  std::vector<std::size_t> raw_ends;
  std::size_t units = 0;  // characters (BIFF8) or bytes (BIFF5) so far

  // A name is at most 255 characters (its length is one byte), far below
  // kMaxSheetNameBytes; the total is what a hostile sheet list can inflate. Two bytes
  // a character are allowed for BIFF5's double-byte code pages.
  void Count(std::size_t count, BiffVersion version) {
    units += count;
    const std::size_t cap =
        version == BiffVersion::kBiff8 ? kMaxTotalNameUnits : 2 * kMaxTotalNameUnits;
    if (units > cap) RaiseFailure(FailureKind::kSheetNamesTotalTooLong);
  }

  std::u16string Decode(std::size_t i, std::uint16_t code_page) const {
    const std::size_t begin = i == 0 ? 0 : raw_ends[i - 1];
    return DecodeCodePage(code_page,
                          std::span<const std::byte>(raw).subspan(begin, raw_ends[i] - begin));
  }
};

// Reads a BOUNDSHEET record and its name.
SheetRecord ReadBoundSheet(BiffRecordReader& reader, BiffVersion version, SheetNames& names) {
  const std::span<const std::byte> body = reader.Body();
  if (body.size() < 7) RaiseFailure(FailureKind::kBoundSheetTooShort);
  SheetRecord sheet;
  sheet.position = LoadU32(body, biff::kBoundSheetPosition);
  sheet.kind = LoadU8(body, biff::kBoundSheetKind);
  const std::size_t count = LoadU8(body, biff::kBoundSheetNameLength);
  if (count == 0) RaiseFailure(FailureKind::kSheetNameEmpty);
  names.Count(count, version);
  if (version == BiffVersion::kBiff8) {
    if (body.size() < 8) RaiseFailure(FailureKind::kBoundSheetTooShort);
    const bool wide = (LoadU8(body, biff::kBoundSheetNameOptions) & biff::kWideCharsFlag) != 0;
    ReadBiff8Chars(reader, biff::kBoundSheetNameOptions + 1, count, wide,
                   names.decoded.emplace_back());
  } else {
    ReadBytes(reader, biff::kBoundSheetNameLength + 1, count, names.raw);
    names.raw_ends.push_back(names.raw.size());
  }
  return sheet;
}

// Counts the bytes read through it, so that the sheet-type probes can stop at a budget.
class MeteredStream final : public RandomAccessStream {
 public:
  explicit MeteredStream(RandomAccessStream& inner) : inner_(inner) {}
  std::uint64_t Size() const override { return inner_.Size(); }
  void Read(std::uint64_t offset, std::span<std::byte> out) override {
    bytes_read_ += out.size();
    inner_.Read(offset, out);
  }
  std::size_t ReadAvailable(std::uint64_t offset, std::span<std::byte> out) override {
    const std::size_t n = inner_.ReadAvailable(offset, out);
    bytes_read_ += n;
    return n;
  }
  std::uint64_t BytesRead() const noexcept { return bytes_read_; }

 private:
  RandomAccessStream& inner_;
  std::uint64_t bytes_read_ = 0;
};

// Dialog sheets are listed like worksheets; their own substream tells them apart with
// the dialog flag of its WSBOOL record. A sheet whose substream cannot be found where
// its BOUNDSHEET says, or that is not reached within the probes' budget (bytes read up
// to `stop_at`), is taken for a worksheet.
bool IsDialogSheet(MeteredStream& stream, BiffRecordReader& reader, std::uint32_t position,
                   std::uint64_t stop_at) {
  if (position >= stream.Size()) return false;
  reader.Seek(position);
  if (!reader.Next(true) || reader.Type() != biff::kBof || reader.Length() < 4) return false;
  if (LoadU16(reader.Body(), biff::kBofSubstream) != kWorksheetSubstream) return false;
  for (int i = 0; i < kMaxProbedRecords && stream.BytesRead() < stop_at && reader.Next(true); ++i) {
    const std::uint16_t type = reader.Type();
    if (type == biff::kWsBool) {
      return reader.Length() >= 1 && (LoadU8(reader.Body(), 0) & biff::kDialogFlag) != 0;
    }
    if (type == biff::kEof || IsBof(type) || type == biff::kDimensions) return false;
  }
  return false;
}

void CheckSheetCount(std::size_t count) {
  if (count >= kMaxSheets) RaiseFailure(FailureKind::kTooManySheets);
}

// Which of `sheets` are dialog sheets, looked up in their substreams in stream order (so
// that the reading goes forward), each substream once, within kMaxProbedBytes.
std::vector<bool> FindDialogSheets(MeteredStream& stream, BiffRecordReader& reader,
                                   const std::vector<SheetRecord>& sheets) {
  std::vector<bool> dialog(sheets.size(), false);
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    if (sheets[i].kind == biff::kWorksheetKind) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return sheets[a].position < sheets[b].position;
  });
  const std::uint64_t stop_at = stream.BytesRead() + kMaxProbedBytes;
  for (std::size_t k = 0; k < order.size() && stream.BytesRead() < stop_at; ++k) {
    const std::size_t i = order[k];
    if (k > 0 && sheets[order[k - 1]].position == sheets[i].position) {
      dialog[i] = dialog[order[k - 1]];
      continue;
    }
    dialog[i] = IsDialogSheet(stream, reader, sheets[i].position, stop_at);
  }
  return dialog;
}

// What the globals substream says of the sheets, up to the end of the sheet list.
struct Globals {
  std::uint16_t code_page = kDefaultCodePage;
  bool has_drawings = false;
  std::vector<SheetRecord> sheets;
  SheetNames names;
  // Set by a FILEPASS record: the reader decrypts the record bodies after it.
  std::unique_ptr<BiffBodyDecryptor> decryptor;
};

// Reads the globals' records after their BOF: the code page, the sheet list and whether
// a drawing group is there.
Globals ReadGlobals(BiffRecordReader& reader, BiffVersion version) {
  Globals globals;
  globals.sheets.reserve(64);
  for (;;) {
    if (!reader.Next()) RaiseFailure(FailureKind::kGlobalsWithoutEof);
    const std::uint16_t type = reader.Type();
    if (type == biff::kFilePass) {
      globals.decryptor = OpenBiffDecryptor(reader.Body(), version == BiffVersion::kBiff8);
      reader.SetDecryptor(globals.decryptor.get());
      continue;
    }
    if (type == biff::kEof) break;
    if (IsBof(type)) RaiseFailure(FailureKind::kGlobalsWithoutEof);
    if (type == biff::kMsoDrawingGroup) globals.has_drawings = true;
    // The shared strings and the drawing group follow the sheet list and can be most
    // of the stream: stop before them.
    if ((type == biff::kSst || type == biff::kExtSst || type == biff::kMsoDrawingGroup) &&
        !globals.sheets.empty()) {
      break;
    }
    if (type == biff::kCodePage && reader.Length() >= 2) {
      globals.code_page = LoadU16(reader.Body(), 0);
    } else if (type == biff::kBoundSheet) {
      CheckSheetCount(globals.sheets.size());
      globals.sheets.push_back(ReadBoundSheet(reader, version, globals.names));
    }
  }
  return globals;
}

// The names of the worksheets of the sheet list, neither dialog sheets (`dialog`) nor
// any other kind; BIFF5 names are decoded now that the code page is known. Kept in
// place, a name moved only once another was left out.
std::vector<std::u16string> KeepWorksheets(Globals& globals, const std::vector<bool>& dialog,
                                           BiffVersion version) {
  const std::vector<SheetRecord>& sheets = globals.sheets;
  std::vector<std::u16string>& kept_names = globals.names.decoded;
  if (version == BiffVersion::kBiff5) kept_names.resize(sheets.size());
  std::size_t kept = 0;
  std::size_t units = 0;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    if (sheets[i].kind != biff::kWorksheetKind || dialog[i]) continue;
    if (version == BiffVersion::kBiff5) {
      kept_names[kept] = globals.names.Decode(i, globals.code_page);
      units += kept_names[kept].size();
      if (units > kMaxTotalNameUnits) RaiseFailure(FailureKind::kSheetNamesTotalTooLong);
    } else if (kept != i) {
      kept_names[kept] = std::move(kept_names[i]);
    }
    ++kept;
  }
  kept_names.resize(kept);
  return std::move(kept_names);
}

}  // namespace

std::vector<std::u16string> ListBiffWorksheets(RandomAccessStream& source, BiffVersion assumed,
                                               const std::u16string& file_sheet_name) {
  MeteredStream stream(source);
  BiffRecordReader reader(stream);
  if (!reader.Next() || reader.Type() != biff::kBof || reader.Length() < 4) {
    RaiseFailure(FailureKind::kWorkbookStreamWithoutBof);
  }
  const std::span<const std::byte> bof = reader.Body();
  // Some exporters write a lone worksheet without workbook globals: one worksheet named
  // after the file, as a BIFF2..BIFF4 worksheet file.
  switch (LoadU16(bof, biff::kBofSubstream)) {
    case kGlobalsSubstream:
      break;
    case kWorksheetSubstream:
      return {file_sheet_name};
    case kChartSubstream:
    case kMacroSubstream:
      return {};
    default:
      RaiseFailure(FailureKind::kWorkbookStreamWithoutGlobals);
  }
  const std::uint16_t vers = LoadU16(bof, biff::kBofVersion);
  const BiffVersion version = vers == biff::kBiff8Version   ? BiffVersion::kBiff8
                              : vers == biff::kBiff5Version ? BiffVersion::kBiff5
                                                            : assumed;
  Globals globals = ReadGlobals(reader, version);

  // Dialog sheets are told apart only inside their own substreams. A BIFF8 dialog
  // sheet always holds its dialog frame, a drawing object, and drawing objects need the
  // drawing group in the globals: without one there is nothing to look for, and the
  // substreams (possibly far into a large stream) stay unread.
  const std::vector<bool> dialog = version == BiffVersion::kBiff5 || globals.has_drawings
                                       ? FindDialogSheets(stream, reader, globals.sheets)
                                       : std::vector<bool>(globals.sheets.size(), false);
  return KeepWorksheets(globals, dialog, version);
}

std::vector<std::u16string> ListBareBiffWorksheets(const FileSource& source,
                                                   const std::u16string& file_sheet_name) {
  WholeFileStream stream(source);
  return ListBiffWorksheets(stream, BiffVersion::kBiff8, file_sheet_name);
}

bool HasLegacyBiffHeader(std::span<const std::byte> head) {
  if (head.size() < 8) return false;
  const std::uint16_t type = LoadU16(head, 0);
  const std::uint16_t length = LoadU16(head, 2);
  const std::uint16_t sheet_type = LoadU16(head, 4 + biff::kBofSubstream);
  return (type == biff::kBof2 || type == biff::kBof3 || type == biff::kBof4) && length >= 4 &&
         length <= 32 &&
         (sheet_type == kWorksheetSubstream || sheet_type == kChartSubstream ||
          sheet_type == kMacroSubstream || sheet_type == kWorkspaceSubstream);
}

bool HasBareBiff8Header(std::span<const std::byte> head) {
  // Some exporters write a BIFF5 BOF of six bytes (version 0); its first two fields,
  // the version and the substream type, are all that is read.
  if (head.size() < 8 || LoadU16(head, 0) != biff::kBof || LoadU16(head, 2) < 4 ||
      LoadU16(head, 2) > 32) {
    return false;
  }
  const std::uint16_t substream = LoadU16(head, 4 + biff::kBofSubstream);
  return substream == kGlobalsSubstream || substream == kWorksheetSubstream ||
         substream == kChartSubstream || substream == kMacroSubstream;
}

std::vector<std::u16string> ListLegacyBiffWorksheets(const FileSource& source,
                                                     const std::u16string& file_sheet_name) {
  WholeFileStream stream(source);
  BiffRecordReader reader(stream);
  if (!reader.Next() || !IsBof(reader.Type()) || reader.Length() < 4) {
    RaiseFailure(FailureKind::kFileWithoutBof);
  }
  const std::uint16_t sheet_type = LoadU16(reader.Body(), biff::kBofSubstream);
  if (sheet_type == kWorksheetSubstream) return {file_sheet_name};
  if (sheet_type != kWorkspaceSubstream || reader.Type() != biff::kBof4) return {};

  // A BIFF4W workbook: the globals, then for every sheet a BUNDLEHEADER record with
  // its name followed by the sheet's own BOF..EOF substream.
  std::uint16_t code_page = kDefaultCodePage;
  std::vector<std::vector<std::byte>> worksheets;
  std::optional<std::vector<std::byte>> pending;
  std::size_t name_bytes = 0;
  int depth = 1;
  bool in_globals = true;
  while (reader.Next()) {
    const std::uint16_t type = reader.Type();
    if (IsBof(type)) {
      if (depth == 0 && pending) {
        if (reader.Length() >= 4 &&
            LoadU16(reader.Body(), biff::kBofSubstream) == kWorksheetSubstream) {
          CheckSheetCount(worksheets.size());
          // Bytes bound the decoded units; two a character for double-byte code pages.
          name_bytes += pending->size();
          if (name_bytes > 2 * kMaxTotalNameUnits) {
            RaiseFailure(FailureKind::kSheetNamesTotalTooLong);
          }
          worksheets.push_back(std::move(*pending));
        }
        pending.reset();
      }
      if (++depth > 8) RaiseFailure(FailureKind::kSubstreamsTooDeep);
    } else if (type == biff::kEof) {
      if (depth == 0) RaiseFailure(FailureKind::kExtraEof);
      if (--depth == 0) in_globals = false;
    } else if (in_globals && depth == 1 && type == biff::kCodePage && reader.Length() >= 2) {
      code_page = LoadU16(reader.Body(), 0);
    } else if (in_globals && depth == 1 && type == biff::kFilePass) {
      RaiseFailure(FailureKind::kEncrypted);
    } else if (depth == 0 && type == biff::kBundleHeader) {
      const std::span<const std::byte> body = reader.Body();
      if (body.size() < 5 || body.size() - 5 < LoadU8(body, 4)) {
        RaiseFailure(FailureKind::kBundleHeaderLengthInvalid);
      }
      pending.emplace(body.begin() + 5, body.begin() + 5 + LoadU8(body, 4));
    }
  }
  std::vector<std::u16string> names;
  names.reserve(worksheets.size());
  for (const auto& raw : worksheets) names.push_back(DecodeCodePage(code_page, raw));
  return names;
}

}  // namespace vexmar::workbook
