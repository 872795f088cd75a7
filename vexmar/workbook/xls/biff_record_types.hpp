#pragma once
// BIFF record types and the fields the reader looks at, shared by the record walk and
// the decryptors (which must know which records stay plain).
#include <cstddef>
#include <cstdint>

namespace vexmar::workbook {

namespace biff {
inline constexpr std::uint16_t kEof = 0x000A;
inline constexpr std::uint16_t kFilePass = 0x002F;
inline constexpr std::uint16_t kContinue = 0x003C;
inline constexpr std::uint16_t kCodePage = 0x0042;
inline constexpr std::uint16_t kWsBool = 0x0081;
inline constexpr std::uint16_t kBoundSheet = 0x0085;
inline constexpr std::uint16_t kBundleHeader = 0x008F;
inline constexpr std::uint16_t kMsoDrawingGroup = 0x00EB;
inline constexpr std::uint16_t kSst = 0x00FC;
inline constexpr std::uint16_t kExtSst = 0x00FF;
inline constexpr std::uint16_t kBof2 = 0x0009;
inline constexpr std::uint16_t kBof3 = 0x0209;
inline constexpr std::uint16_t kBof4 = 0x0409;
inline constexpr std::uint16_t kBof = 0x0809;  // BIFF5 and BIFF8
inline constexpr std::uint16_t kDimensions = 0x0200;

// Field offsets in a record's body: the BOF record's version and substream type; the
// BOUNDSHEET record's substream position, sheet kind, name length and (BIFF8) option byte.
inline constexpr std::size_t kBofVersion = 0;
inline constexpr std::size_t kBofSubstream = 2;
inline constexpr std::size_t kBoundSheetPosition = 0;
inline constexpr std::size_t kBoundSheetKind = 5;
inline constexpr std::size_t kBoundSheetNameLength = 6;
inline constexpr std::size_t kBoundSheetNameOptions = 7;

// BOF record: version (BIFF5/BIFF8) and substream type.
inline constexpr std::uint16_t kBiff5Version = 0x0500;
inline constexpr std::uint16_t kBiff8Version = 0x0600;
inline constexpr std::uint16_t kGlobalsSubstream = 0x0005;
inline constexpr std::uint16_t kWorksheetSubstream = 0x0010;
inline constexpr std::uint16_t kChartSubstream = 0x0020;
inline constexpr std::uint16_t kMacroSubstream = 0x0040;
inline constexpr std::uint16_t kWorkspaceSubstream = 0x0100;

// BOUNDSHEET sheet kinds (byte 5) and the dialog flag of WSBOOL (its first byte).
inline constexpr std::uint8_t kWorksheetKind = 0;
inline constexpr std::uint8_t kDialogFlag = 0x10;
// Option byte of a BIFF8 string: set when its characters are UTF-16LE, clear for
// one byte a character.
inline constexpr std::uint8_t kWideCharsFlag = 0x01;
}  // namespace biff

}  // namespace vexmar::workbook
