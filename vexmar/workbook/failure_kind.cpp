#include "vexmar/workbook/failure_kind.hpp"

#include <array>

#include "vexmar/component/utf.hpp"

namespace vexmar::workbook {
namespace {

using K = FailureKind;

struct FailureEntry {
  FailureKind kind;
  std::u16string_view text;
};

// One row per kind, in the enumeration's order (checked below). docs/workbook-reader.md
// lists the same table with the situations that raise each kind.
constexpr std::array<FailureEntry, kFailureKindCount> kTable{{
    {K::kFileTruncated, u"文件被截断"},
    {K::kReadBeyondStream, u"读取位置超出流的末尾"},
    {K::kCompoundHeaderInvalid, u"复合文件头无效"},
    {K::kSectorSizeInvalid, u"扇区大小无效"},
    {K::kMiniSectorSizeInvalid, u"小扇区大小无效"},
    {K::kMiniStreamCutoffInvalid, u"小流截止大小无效"},
    {K::kAllocationTableEmpty, u"扇区计数与文件大小不符（分配表为空）"},
    {K::kSectorOutOfRange, u"扇区编号超出范围"},
    {K::kChainShorterThanStream, u"扇区链比流的长度短"},
    {K::kSectorChainCycle, u"扇区链中有循环"},
    {K::kSectorBeyondAllocationTable, u"扇区不在分配表的范围内"},
    {K::kDifatSectorOutOfRange, u"DIFAT扇区编号超出范围"},
    {K::kAllocationSectorMissing, u"分配表扇区缺失"},
    {K::kAllocationSectorBeyondFile, u"分配表扇区超出文件范围（文件可能被截断）"},
    {K::kMiniSectorBeyondMiniTable, u"小扇区不在小分配表的范围内"},
    {K::kDirectoryTooLarge, u"目录过大"},
    {K::kMiniTableTooLarge, u"小分配表过大"},
    {K::kRootEntryMissing, u"缺少根目录项"},
    {K::kEntryIdOutOfRange, u"目录项编号超出范围"},
    {K::kDirectoryTreeCycle, u"目录树中有循环"},
    {K::kEntryNotStream, u"目录项不是流"},
    {K::kMiniStreamBeyondFile, u"小流的长度超出文件大小"},
    {K::kStreamBeyondMiniStream, u"流的长度超出小流的大小"},
    {K::kStreamBeyondFile, u"流的长度超出文件大小"},
    {K::kRecordHeaderBeyondStream, u"记录头超出流的末尾"},
    {K::kRecordBeyondStream, u"记录超出流的末尾"},
    {K::kFileWithoutBof, u"文件不以BOF记录开头"},
    {K::kWorkbookStreamWithoutBof, u"工作簿流不以BOF记录开头"},
    {K::kWorkbookStreamWithoutGlobals, u"工作簿流不以全局子流开头"},
    {K::kGlobalsWithoutEof, u"工作簿全局记录没有结束记录"},
    {K::kSubstreamsTooDeep, u"子流嵌套过深"},
    {K::kExtraEof, u"多余的EOF记录"},
    {K::kBundleHeaderLengthInvalid, u"BUNDLEHEADER记录长度无效"},
    {K::kBoundSheetTooShort, u"BOUNDSHEET记录过短"},
    {K::kSheetNameBeyondRecord, u"工作表名称超出记录的长度"},
    {K::kSheetNameEmpty, u"工作表名称为空"},
    {K::kSheetNameTooLong, u"工作表名称过长"},
    {K::kSheetNamesTotalTooLong, u"工作表名称的总长度超出上限"},
    {K::kTooManySheets, u"工作表数量超出上限"},
    {K::kRelationshipIdTooLong, u"工作表的关系标识过长"},
    {K::kBinaryPartTruncated, u"二进制工作簿部件被截断"},
    {K::kBinaryRecordHeaderDamaged, u"二进制工作簿部件的记录头已损坏"},
    {K::kBinarySheetRecordDamaged, u"二进制工作簿部件的工作表记录已损坏"},
    {K::kBinarySheetWithoutRelationshipId, u"二进制工作簿部件中的工作表缺少关系标识"},
    {K::kBinarySheetListUnterminated, u"二进制工作簿部件被截断，找不到工作表列表的结尾"},
    {K::kTooManyWorkbookDeclarations, u"[Content_Types].xml 中的工作簿声明过多"},
    {K::kWorkbookPartMissing, u"缺少工作簿部件 {part}"},
    {K::kWorkbookRelationshipsMissing, u"缺少工作簿关系部件 {part}"},
    {K::kSheetPartMissing, u"缺少工作表部件 {part}"},
    {K::kSheetRelationshipMissing, u"工作表“{sheet}”的关系在工作簿关系部件中不存在"},
    {K::kWorkbookWithoutSheetList, u"工作簿部件中没有工作表列表"},
    {K::kWorkbookSheetWithoutName, u"工作簿部件中的工作表缺少名称"},
    {K::kWorkbookSheetWithoutRelationshipId, u"工作簿部件中的工作表缺少关系标识"},
    {K::kPartTooLongBeforeContent, u"部件 {part} 在所需内容之前过长"},
    {K::kPartHasDoctype, u"部件 {part} 含有不允许的文档类型定义"},
    {K::kPartMalformedXml, u"部件 {part} 的 XML 格式错误，第 {line} 行"},
    {K::kContentPartMissing, u"缺少电子表格内容部件 content.xml"},
    {K::kContentWithoutSpreadsheet, u"content.xml 中没有电子表格内容"},
    {K::kXmlWorkbookHasDoctype, u"XML 工作簿含有不允许的文档类型定义"},
    {K::kXmlWorkbookMalformed, u"XML 工作簿格式错误，第 {line} 行"},
    {K::kXmlSheetWithoutName, u"SpreadsheetML 文档中的工作表缺少名称"},
    {K::kXmlParserMemoryExceeded, u"XML 文档需要的解析内存超出上限（名称过多或标记过长）"},
    {K::kZipDirectoryNotFound, u"zip 文件被截断，找不到中央目录"},
    {K::kZipDirectoryDamaged, u"zip 中央目录已损坏"},
    {K::kZip64EndDamaged, u"zip64 目录结束记录已损坏"},
    {K::kZipMultiVolume, u"不支持分卷的 zip 文件"},
    {K::kZipTooManyEntries, u"zip 文件的条目数超出上限"},
    {K::kZipUnsupportedMethod, u"zip 条目使用了不支持的压缩方式"},
    {K::kZipEntryOffsetInvalid, u"zip 条目的偏移无效"},
    {K::kZipLocalHeaderDamaged, u"zip 条目的本地文件头已损坏"},
    {K::kZipEntryBeyondFile, u"zip 条目的数据超出文件范围"},
    {K::kZipEntrySizesInconsistent, u"zip 条目的长度记录不一致"},
    {K::kZipEntryTooLong, u"zip 条目过长"},
    {K::kZipEntryInflatedTooLarge, u"zip 条目解压后的大小超出上限"},
    {K::kZipInflatedTotalExceeded, u"zip 解压数据量超出上限"},
    {K::kZipDataIncomplete, u"zip 条目的压缩数据不完整"},
    {K::kZipDataCorrupt, u"zip 条目的压缩数据已损坏"},
    {K::kZipSizeMismatch, u"zip 条目解压后的长度与记录不符"},
    {K::kZipChecksumMismatch, u"zip 条目校验和不符"},
    {K::kEncryptionStreamsMissing, u"缺少EncryptionInfo或EncryptedPackage流"},
    {K::kEncryptionInfoTooLarge, u"EncryptionInfo流超出上限"},
    {K::kEncryptionInfoTooShort, u"EncryptionInfo流过短"},
    {K::kEncryptionInfoHeaderSizeInvalid, u"EncryptionInfo的头长度无效"},
    {K::kEncryptionInfoVerifierTooShort, u"EncryptionInfo的密码验证数据过短"},
    {K::kEncryptionInfoVerifierSizeInvalid, u"EncryptionInfo的密码验证数据长度无效"},
    {K::kEncryptionInfoMalformedXml, u"EncryptionInfo的描述不是格式正确的XML"},
    {K::kEncryptionInfoWithoutKeyData, u"EncryptionInfo缺少keyData元素"},
    {K::kEncryptionInfoParameterInvalid, u"EncryptionInfo的参数无效"},
    {K::kEncryptionInfoHashSizeInvalid, u"EncryptionInfo的hashSize无效"},
    {K::kEncryptionInfoSpinCountInvalid, u"EncryptionInfo的spinCount无效"},
    {K::kEncryptionInfoSpinCountTooLarge, u"EncryptionInfo的spinCount超出上限"},
    {K::kEncryptionInfoDataFieldInvalid, u"EncryptionInfo的数据字段无效"},
    {K::kEncryptionInfoDataFieldSizeInvalid, u"EncryptionInfo的数据字段长度无效"},
    {K::kEncryptionInfoKeyFieldSizeInvalid, u"EncryptionInfo的密钥字段长度无效"},
    {K::kEncryptedPackageTooShort, u"EncryptedPackage流过短"},
    {K::kEncryptedPackageSizeTooLarge, u"EncryptedPackage流声明的大小超出上限"},
    {K::kEncryptedPackageTruncated, u"EncryptedPackage流被截断"},
    {K::kEncryptedPackageTooLong, u"EncryptedPackage流过长"},
    {K::kFilePassTooShort, u"FILEPASS记录过短"},
    {K::kFilePassHeaderSizeInvalid, u"FILEPASS的头部长度无效"},
    {K::kFilePassVerifierTooShort, u"FILEPASS密码验证数据过短"},
    {K::kRc4BlockOutOfRange, u"工作簿流超出RC4块编号的范围"},
    {K::kEncrypted, u"工作簿已加密或受密码保护，无法读取。"},
    {K::kEncryptedSpinCountBeyondAttempt,
     u"工作簿已加密或受密码保护，无法读取（spinCount超出尝试默认密码的上限）。"},
    {K::kXmlTokenTooLong, u"XML 文档中的单个标记（标签、属性、注释或文本）超出 8 MiB 的上限"},
    {K::kXmlNestingTooDeep, u"XML 元素的嵌套层数超出 4096 层的上限"},
    {K::kXmlNamespaceDeclarationsExceeded, u"XML 命名空间声明的数量或长度超出上限"},
    {K::kBinarySheetRecordTooLong, u"二进制工作簿部件的工作表记录超出 64 KiB 的上限"},
}};

constexpr bool InEnumerationOrder() {
  for (std::size_t i = 0; i < kTable.size(); ++i) {
    if (static_cast<std::size_t>(kTable[i].kind) != i) return false;
  }
  return true;
}
static_assert(InEnumerationOrder(), "one row per failure kind, in the enumeration's order");

constexpr std::u16string_view kDamagedPrefix = u"工作簿文件已损坏，无法读取（";
constexpr std::u16string_view kDamagedSuffix = u"）。";

// Replaces "{line}" by the line number and any other "{...}" by the subject.
std::u16string Filled(std::u16string_view text, std::u16string_view subject, std::uint64_t line) {
  std::u16string out;
  out.reserve(text.size() + subject.size());
  for (;;) {
    const std::size_t open = text.find(u'{');
    const std::size_t close = open == text.npos ? text.npos : text.find(u'}', open);
    if (close == text.npos) break;
    out.append(text.substr(0, open));
    const std::u16string_view name = text.substr(open + 1, close - open - 1);
    if (name == u"line") {
      out.append(Utf8ToUtf16(std::to_string(line)));
    } else {
      out.append(subject);
    }
    text.remove_prefix(close + 1);
  }
  out.append(text);
  return out;
}

}  // namespace

bool IsEncryption(FailureKind kind) noexcept {
  return kind == FailureKind::kEncrypted || kind == FailureKind::kEncryptedSpinCountBeyondAttempt;
}

std::u16string_view FailureText(FailureKind kind) noexcept {
  const auto index = static_cast<std::size_t>(kind);
  return index < kTable.size() ? kTable[index].text : std::u16string_view{};
}

std::u16string FailureDescription(FailureKind kind, std::u16string_view subject,
                                  std::uint64_t line) {
  const std::u16string detail = Filled(FailureText(kind), subject, line);
  if (IsEncryption(kind)) return detail;
  std::u16string out;
  out.reserve(kDamagedPrefix.size() + detail.size() + kDamagedSuffix.size());
  out.append(kDamagedPrefix).append(detail).append(kDamagedSuffix);
  return out;
}

ReadFailure::ReadFailure(FailureKind kind, std::u16string_view subject, std::uint64_t line)
    : Error(ErrorNumber::kApplicationDefined, FailureDescription(kind, subject, line)),
      kind_(kind) {}

void RaiseFailure(FailureKind kind, std::u16string_view subject, std::uint64_t line) {
  throw ReadFailure(kind, subject, line);
}

}  // namespace vexmar::workbook
