#pragma once
// Why the reader refused a workbook: one kind per failure, one description per kind.
// The kind travels with the error (ReadFailure), so a host that links the library can
// match the kind; behind the Automation edge a host sees the usual vexmar::Error,
// number 1004 and the Chinese description.
#include <cstdint>
#include <string>
#include <string_view>

#include "vexmar/component/error.hpp"
#include "vexmar/component/export.hpp"

namespace vexmar::workbook {

// The values are part of the public API: a new kind is added after the last one (and
// kFailureKindCount moved along), never in between.
enum class FailureKind : std::uint8_t {
  // Any container or stream.
  kFileTruncated,
  kReadBeyondStream,
  // Compound file.
  kCompoundHeaderInvalid,
  kSectorSizeInvalid,
  kMiniSectorSizeInvalid,
  kMiniStreamCutoffInvalid,
  kAllocationTableEmpty,
  kSectorOutOfRange,
  kChainShorterThanStream,
  kSectorChainCycle,
  kSectorBeyondAllocationTable,
  kDifatSectorOutOfRange,
  kAllocationSectorMissing,
  kAllocationSectorBeyondFile,
  kMiniSectorBeyondMiniTable,
  kDirectoryTooLarge,
  kMiniTableTooLarge,
  kRootEntryMissing,
  kEntryIdOutOfRange,
  kDirectoryTreeCycle,
  kEntryNotStream,
  kMiniStreamBeyondFile,
  kStreamBeyondMiniStream,
  kStreamBeyondFile,
  // BIFF records.
  kRecordHeaderBeyondStream,
  kRecordBeyondStream,
  kFileWithoutBof,
  kWorkbookStreamWithoutBof,
  kWorkbookStreamWithoutGlobals,
  kGlobalsWithoutEof,
  kSubstreamsTooDeep,
  kExtraEof,
  kBundleHeaderLengthInvalid,
  kBoundSheetTooShort,
  kSheetNameBeyondRecord,
  kSheetNameEmpty,
  // Sheet limits, whatever the format.
  kSheetNameTooLong,
  kSheetNamesTotalTooLong,
  kTooManySheets,
  kRelationshipIdTooLong,
  // Binary workbook part.
  kBinaryPartTruncated,
  kBinaryRecordHeaderDamaged,
  kBinarySheetRecordDamaged,
  kBinarySheetWithoutRelationshipId,
  kBinarySheetListUnterminated,
  // Packages (zip + XML parts).
  kTooManyWorkbookDeclarations,
  kWorkbookPartMissing,
  kWorkbookRelationshipsMissing,
  kSheetPartMissing,
  kSheetRelationshipMissing,
  kWorkbookWithoutSheetList,
  kWorkbookSheetWithoutName,
  kWorkbookSheetWithoutRelationshipId,
  kPartTooLongBeforeContent,
  kPartHasDoctype,
  kPartMalformedXml,
  kContentPartMissing,
  kContentWithoutSpreadsheet,
  // Single-file XML workbooks and the XML parser.
  kXmlWorkbookHasDoctype,
  kXmlWorkbookMalformed,
  kXmlSheetWithoutName,
  kXmlParserMemoryExceeded,
  // Zip archive.
  kZipDirectoryNotFound,
  kZipDirectoryDamaged,
  kZip64EndDamaged,
  kZipMultiVolume,
  kZipTooManyEntries,
  kZipUnsupportedMethod,
  kZipEntryOffsetInvalid,
  kZipLocalHeaderDamaged,
  kZipEntryBeyondFile,
  kZipEntrySizesInconsistent,
  kZipEntryTooLong,
  kZipEntryInflatedTooLarge,
  kZipInflatedTotalExceeded,
  kZipDataIncomplete,
  kZipDataCorrupt,
  kZipSizeMismatch,
  kZipChecksumMismatch,
  // Encrypted workbooks whose encryption records are damaged.
  kEncryptionStreamsMissing,
  kEncryptionInfoTooLarge,
  kEncryptionInfoTooShort,
  kEncryptionInfoHeaderSizeInvalid,
  kEncryptionInfoVerifierTooShort,
  kEncryptionInfoVerifierSizeInvalid,
  kEncryptionInfoMalformedXml,
  kEncryptionInfoWithoutKeyData,
  kEncryptionInfoParameterInvalid,
  kEncryptionInfoHashSizeInvalid,
  kEncryptionInfoSpinCountInvalid,
  kEncryptionInfoSpinCountTooLarge,
  kEncryptionInfoDataFieldInvalid,
  kEncryptionInfoDataFieldSizeInvalid,
  kEncryptionInfoKeyFieldSizeInvalid,
  kEncryptedPackageTooShort,
  kEncryptedPackageSizeTooLarge,
  kEncryptedPackageTruncated,
  kEncryptedPackageTooLong,
  kFilePassTooShort,
  kFilePassHeaderSizeInvalid,
  kFilePassVerifierTooShort,
  kRc4BlockOutOfRange,
  // Not damage: the workbook is protected by a password it cannot be read without.
  kEncrypted,
  // Added later, so after kEncrypted. Encrypted: a spin count beyond what the default
  // password is tried with.
  kEncryptedSpinCountBeyondAttempt,
  // Caps of the XML parser, whatever the format.
  kXmlTokenTooLong,
  kXmlNestingTooDeep,
  kXmlNamespaceDeclarationsExceeded,
  // A binary sheet record beyond its cap.
  kBinarySheetRecordTooLong,
};
inline constexpr std::size_t kFailureKindCount =
    static_cast<std::size_t>(FailureKind::kBinarySheetRecordTooLong) + 1;

// True for the kinds that mean "encrypted", false for those that mean "damaged".
VEXMAR_API bool IsEncryption(FailureKind kind) noexcept;

// The description text of a kind as kept in the table: the damaged-file detail (without
// the "damaged workbook" wrapper) or the whole encrypted-file description. Placeholders
// in braces stand for the part or sheet named and the XML line.
VEXMAR_API std::u16string_view FailureText(FailureKind kind) noexcept;

// The full description a host sees, with `subject` (a part's or sheet's name, already
// escaped for display) and `line` put in for the placeholders.
VEXMAR_API std::u16string FailureDescription(FailureKind kind, std::u16string_view subject = {},
                                             std::uint64_t line = 0);

// The reader's error: a vexmar::Error (number 1004 and the description) that also
// carries its kind.
class VEXMAR_API ReadFailure : public Error {
 public:
  explicit ReadFailure(FailureKind kind, std::u16string_view subject = {}, std::uint64_t line = 0);
  FailureKind Kind() const noexcept { return kind_; }

 private:
  FailureKind kind_;
};

// Throws ReadFailure; the reader raises every failure through it.
[[noreturn]] VEXMAR_API void RaiseFailure(FailureKind kind, std::u16string_view subject = {},
                                          std::uint64_t line = 0);

}  // namespace vexmar::workbook
