#include "vexmar/workbook/biff_workbook.hpp"

#include <algorithm>
#include <array>
#include <numeric>
#include <string_view>

#include "vexmar/workbook/biff_records.hpp"
#include "vexmar/workbook/code_page.hpp"
#include "vexmar/workbook/compound_file.hpp"
#include "vexmar/workbook/decryption/encrypted_package.hpp"
#include "vexmar/workbook/little_endian.hpp"

namespace vexmar::workbook {
namespace {

// Sheet references in BIFF are 16-bit, so no real workbook has more sheets.
constexpr std::size_t kMaxSheets = 65535;
// Records looked at in a sheet's own substream while looking for its WSBOOL record.
constexpr int kMaxProbedRecords = 128;

constexpr std::uint16_t kGlobalsType = 0x0005;
constexpr std::uint16_t kWorksheetType = 0x0010;
constexpr std::uint16_t kChartType = 0x0020;
constexpr std::uint16_t kMacroType = 0x0040;
constexpr std::uint16_t kWorkspaceType = 0x0100;
constexpr std::uint16_t kDimensions = 0x0200;
constexpr std::uint8_t kDialogFlag = 0x10;  // first byte of WSBOOL

struct SheetRecord {
  std::uint32_t position = 0;  // of the sheet's BOF in the stream
  std::uint8_t kind = 0;       // 0 worksheet or dialog, 1 macro, 2 chart, 6 module
};

bool IsBof(std::uint16_t type) {
  return type == biff::kBof || type == biff::kBof2 || type == biff::kBof3 || type == biff::kBof4;
}

void MoveToContinue(BiffRecordReader& reader) {
  if (!reader.Next() || reader.Type() != biff::kContinue) {
    RaiseDamaged(u"工作表名称超出记录的长度");
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
    wide = (LoadU8(body, 0) & 0x01) != 0;
    at = 1;
  }
}

// `count` bytes starting at `at` in the current record, continuing in CONTINUE records.
std::vector<std::byte> ReadBytes(BiffRecordReader& reader, std::size_t at, std::size_t count) {
  std::vector<std::byte> out;
  std::span<const std::byte> body = reader.Body();
  for (;;) {
    const std::size_t take = std::min(body.size() - at, count - out.size());
    out.insert(out.end(), body.begin() + static_cast<std::ptrdiff_t>(at),
               body.begin() + static_cast<std::ptrdiff_t>(at + take));
    if (out.size() == count) return out;
    MoveToContinue(reader);
    body = reader.Body();
    at = 0;
  }
}

// Reads a BOUNDSHEET record; a BIFF8 name goes straight to `name`, a BIFF5 name's bytes
// (in the workbook's code page) to `raw`.
SheetRecord ReadBoundSheet(BiffRecordReader& reader, BiffVersion version, std::u16string& name,
                           std::vector<std::vector<std::byte>>& raw) {
  const std::span<const std::byte> body = reader.Body();
  if (body.size() < 7) RaiseDamaged(u"BOUNDSHEET记录过短");
  SheetRecord sheet;
  sheet.position = LoadU32(body, 0);
  sheet.kind = LoadU8(body, 5);
  const std::size_t count = LoadU8(body, 6);
  if (count == 0) RaiseDamaged(u"工作表名称为空");
  if (version == BiffVersion::kBiff8) {
    if (body.size() < 8) RaiseDamaged(u"BOUNDSHEET记录过短");
    ReadBiff8Chars(reader, 8, count, (LoadU8(body, 7) & 0x01) != 0, name);
  } else {
    raw.push_back(ReadBytes(reader, 7, count));
  }
  return sheet;
}

// Dialog sheets are listed like worksheets; their own substream tells them apart with
// the dialog flag of its WSBOOL record. A sheet whose substream cannot be found where
// its BOUNDSHEET says is taken for a worksheet.
bool IsDialogSheet(RandomAccessStream& stream, BiffRecordReader& reader, std::uint32_t position) {
  if (position >= stream.Size()) return false;
  reader.Seek(position);
  if (!reader.Next(true) || reader.Type() != biff::kBof || reader.Length() < 4) return false;
  if (LoadU16(reader.Body(), 2) != kWorksheetType) return false;
  for (int i = 0; i < kMaxProbedRecords && reader.Next(true); ++i) {
    const std::uint16_t type = reader.Type();
    if (type == biff::kWsBool) {
      return reader.Length() >= 1 && (LoadU8(reader.Body(), 0) & kDialogFlag) != 0;
    }
    if (type == biff::kEof || IsBof(type) || type == kDimensions) return false;
  }
  return false;
}

void CheckSheetCount(std::size_t count) {
  if (count >= kMaxSheets) RaiseDamaged(u"工作表数量超出上限");
}

}  // namespace

std::vector<std::u16string> ListBiffWorksheets(RandomAccessStream& stream, BiffVersion assumed) {
  BiffRecordReader reader(stream);
  std::unique_ptr<BiffBodyDecryptor> decryptor;
  if (!reader.Next() || reader.Type() != biff::kBof || reader.Length() < 4) {
    RaiseDamaged(u"工作簿流不以BOF记录开头");
  }
  const std::span<const std::byte> bof = reader.Body();
  if (LoadU16(bof, 2) != kGlobalsType) RaiseDamaged(u"工作簿流不以全局子流开头");
  const std::uint16_t vers = LoadU16(bof, 0);
  const BiffVersion version = vers == 0x0600   ? BiffVersion::kBiff8
                              : vers == 0x0500 ? BiffVersion::kBiff5
                                               : assumed;

  std::uint16_t code_page = kDefaultCodePage;
  bool has_drawings = false;
  std::vector<SheetRecord> sheets;
  std::vector<std::u16string> names;              // BIFF8 names, decoded as they are read
  std::vector<std::vector<std::byte>> raw_names;  // BIFF5 names
  sheets.reserve(64);
  names.reserve(64);
  for (;;) {
    if (!reader.Next()) RaiseDamaged(u"工作簿全局记录没有结束记录");
    const std::uint16_t type = reader.Type();
    if (type == biff::kFilePass) {
      decryptor = OpenBiffDecryptor(reader.Body(), version == BiffVersion::kBiff8);
      reader.SetDecryptor(decryptor.get());
      continue;
    }
    if (type == biff::kEof) break;
    if (IsBof(type)) RaiseDamaged(u"工作簿全局记录没有结束记录");
    if (type == biff::kMsoDrawingGroup) has_drawings = true;
    // The shared strings and the drawing group follow the sheet list and can be most
    // of the stream: stop before them.
    if ((type == biff::kSst || type == biff::kExtSst || type == biff::kMsoDrawingGroup) &&
        !sheets.empty()) {
      break;
    }
    if (type == biff::kCodePage && reader.Length() >= 2) {
      code_page = LoadU16(reader.Body(), 0);
    } else if (type == biff::kBoundSheet) {
      CheckSheetCount(sheets.size());
      sheets.push_back(ReadBoundSheet(reader, version, names.emplace_back(), raw_names));
    }
  }

  // Dialog sheets are told apart only inside their own substreams. A BIFF8 dialog
  // sheet always holds its dialog frame, a drawing object, and drawing objects need the
  // drawing group in the globals: without one there is nothing to look for, and the
  // substreams (possibly far into a large stream) stay unread.
  std::vector<bool> dialog(sheets.size(), false);
  if (version == BiffVersion::kBiff5 || has_drawings) {
    // Visit the worksheets' substreams in stream order, so the reading goes forward.
    std::vector<std::size_t> order(sheets.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return sheets[a].position < sheets[b].position;
    });
    for (const std::size_t i : order) {
      if (sheets[i].kind == 0) dialog[i] = IsDialogSheet(stream, reader, sheets[i].position);
    }
  }

  // Keep the worksheets, in place (moving a name only once another was left out).
  std::size_t kept = 0;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    if (sheets[i].kind != 0 || dialog[i]) continue;
    if (version == BiffVersion::kBiff5) {
      names[kept] = DecodeCodePage(code_page, raw_names[i]);
    } else if (kept != i) {
      names[kept] = std::move(names[i]);
    }
    ++kept;
  }
  names.resize(kept);
  return names;
}

std::optional<std::vector<std::u16string>> ListCompoundWorksheets(const FileSource& source) {
  CompoundFile file(source);
  static constexpr std::array<std::u16string_view, 4> kStreams = {
      u"Workbook", u"Book", u"EncryptionInfo", u"EncryptedPackage"};
  const auto found = file.FindTopLevel(kStreams);
  // An encrypted Office Open XML package travels in a compound file.
  if (found[2] || found[3]) return ListEncryptedPackageWorksheets(file, found[2], found[3]);
  for (std::size_t i = 0; i < 2; ++i) {
    if (found[i] && found[i]->type == 2) {
      const auto stream = file.OpenStream(*found[i]);
      return ListBiffWorksheets(*stream, i == 0 ? BiffVersion::kBiff8 : BiffVersion::kBiff5);
    }
  }
  return std::nullopt;
}

bool HasLegacyBiffHeader(std::span<const std::byte> head) {
  if (head.size() < 8) return false;
  const std::uint16_t type = LoadU16(head, 0);
  const std::uint16_t length = LoadU16(head, 2);
  const std::uint16_t sheet_type = LoadU16(head, 6);
  return (type == biff::kBof2 || type == biff::kBof3 || type == biff::kBof4) && length >= 4 &&
         length <= 32 &&
         (sheet_type == kWorksheetType || sheet_type == kChartType || sheet_type == kMacroType ||
          sheet_type == kWorkspaceType);
}

bool HasBareBiff8Header(std::span<const std::byte> head) {
  return head.size() >= 8 && LoadU16(head, 0) == biff::kBof && LoadU16(head, 2) >= 8 &&
         LoadU16(head, 2) <= 32 && LoadU16(head, 6) == kGlobalsType;
}

std::vector<std::u16string> ListLegacyBiffWorksheets(const FileSource& source,
                                                     const std::u16string& file_sheet_name) {
  WholeFileStream stream(source);
  BiffRecordReader reader(stream);
  if (!reader.Next() || !IsBof(reader.Type()) || reader.Length() < 4) {
    RaiseDamaged(u"文件不以BOF记录开头");
  }
  const std::uint16_t sheet_type = LoadU16(reader.Body(), 2);
  if (sheet_type == kWorksheetType) return {file_sheet_name};
  if (sheet_type != kWorkspaceType || reader.Type() != biff::kBof4) return {};

  // A BIFF4W workbook: the globals, then for every sheet a BUNDLEHEADER record with
  // its name followed by the sheet's own BOF..EOF substream.
  std::uint16_t code_page = kDefaultCodePage;
  std::vector<std::vector<std::byte>> worksheets;
  std::optional<std::vector<std::byte>> pending;
  int depth = 1;
  bool in_globals = true;
  while (reader.Next()) {
    const std::uint16_t type = reader.Type();
    if (IsBof(type)) {
      if (depth == 0 && pending) {
        if (reader.Length() >= 4 && LoadU16(reader.Body(), 2) == kWorksheetType) {
          CheckSheetCount(worksheets.size());
          worksheets.push_back(std::move(*pending));
        }
        pending.reset();
      }
      if (++depth > 8) RaiseDamaged(u"子流嵌套过深");
    } else if (type == biff::kEof) {
      if (depth == 0) RaiseDamaged(u"多余的EOF记录");
      if (--depth == 0) in_globals = false;
    } else if (in_globals && depth == 1 && type == biff::kCodePage && reader.Length() >= 2) {
      code_page = LoadU16(reader.Body(), 0);
    } else if (in_globals && depth == 1 && type == biff::kFilePass) {
      RaiseEncrypted();
    } else if (depth == 0 && type == biff::kBundleHeader) {
      const std::span<const std::byte> body = reader.Body();
      if (body.size() < 5 || body.size() - 5 < LoadU8(body, 4)) {
        RaiseDamaged(u"BUNDLEHEADER记录长度无效");
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
