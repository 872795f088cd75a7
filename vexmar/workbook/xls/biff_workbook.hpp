#pragma once
// Worksheet names from BIFF workbooks: the BIFF5/BIFF8 workbook stream of a compound
// file, and the older bare record files (BIFF2..BIFF4 single sheets, BIFF4W workbooks).
#include <optional>
#include <string>
#include <vector>

#include "vexmar/workbook/file_source.hpp"
#include "vexmar/workbook/random_access_stream.hpp"

namespace vexmar::workbook {

enum class BiffVersion { kBiff5, kBiff8 };

// The worksheets listed in the globals of a BIFF5 or BIFF8 workbook stream. The
// version comes from the stream's first BOF record; `assumed` applies when that
// record names neither. After a FILEPASS record the bodies are decrypted when the
// workbook was saved with the default password; otherwise it is the encrypted-workbook
// error. A stream that is a lone worksheet (no globals) gives one worksheet named
// `file_sheet_name`; a lone chart or macro sheet gives none.
std::vector<std::u16string> ListBiffWorksheets(RandomAccessStream& stream, BiffVersion assumed,
                                               const std::u16string& file_sheet_name);

// True when the file starts with a BIFF2, BIFF3 or BIFF4 BOF record.
bool HasLegacyBiffHeader(std::span<const std::byte> head);

// A BIFF2..BIFF4 file: one worksheet named `file_sheet_name` for a worksheet file, no
// worksheet for a chart or macro file, the bundled sheets of a BIFF4W workbook.
std::vector<std::u16string> ListLegacyBiffWorksheets(const FileSource& source,
                                                     const std::u16string& file_sheet_name);

// True when the file starts with a BIFF5/BIFF8 BOF record outside any container.
bool HasBareBiff8Header(std::span<const std::byte> head);

// Such a bare BIFF5/BIFF8 stream: a workbook stream, or a lone worksheet (named
// `file_sheet_name`).
std::vector<std::u16string> ListBareBiffWorksheets(const FileSource& source,
                                                   const std::u16string& file_sheet_name);

}  // namespace vexmar::workbook
