#include "vexmar/workbook/list_worksheets.hpp"

#include <array>

#include "vexmar/component/error.hpp"
#include "vexmar/workbook/containers/compound_file.hpp"
#include "vexmar/workbook/detection/compound_file_workbook.hpp"
#include "vexmar/workbook/detection/xml_workbook.hpp"
#include "vexmar/workbook/detection/zip_workbook.hpp"
#include "vexmar/workbook/distinct_sheet_names.hpp"
#include "vexmar/workbook/file_source.hpp"
#include "vexmar/workbook/plain/text_workbook.hpp"
#include "vexmar/workbook/xls/biff_workbook.hpp"

namespace vexmar {
namespace {

bool StartsWith(std::span<const std::byte> head, std::string_view magic) {
  if (head.size() < magic.size()) return false;
  for (std::size_t i = 0; i < magic.size(); ++i) {
    if (std::to_integer<char>(head[i]) != magic[i]) return false;
  }
  return true;
}

std::optional<std::vector<std::u16string>> ListFrom(const std::filesystem::path& file) {
  using namespace workbook;
  const FileSource source(file);
  std::array<std::byte, 8> buffer{};
  const std::span<const std::byte> head(buffer.data(), source.ReadSome(0, buffer));
  if (head.empty()) return std::nullopt;

  if (HasCompoundSignature(head)) return ListCompoundWorksheets(source);
  if (StartsWith(head, "PK\x03\x04") || StartsWith(head, "PK\x05\x06")) {
    return ListZipWorksheets(source);
  }
  if (HasLegacyBiffHeader(head)) {
    return ListLegacyBiffWorksheets(source, SheetNameFromFileName(file));
  }
  if (HasBareBiff8Header(head)) return ListBareBiffWorksheets(source, SheetNameFromFileName(file));
  if (LooksLikeXml(source)) {
    if (auto names = ListXmlWorksheets(source)) return names;
  }
  if (IsTextWorkbook(source)) return std::vector<std::u16string>{SheetNameFromFileName(file)};
  return std::nullopt;
}

}  // namespace

std::optional<std::vector<std::u16string>> ListWorksheets(const std::filesystem::path& file) {
  return TranslateOutOfMemory([&] {
    std::optional<std::vector<std::u16string>> names = ListFrom(file);
    if (names) workbook::MakeSheetNamesDistinct(*names);
    return names;
  });
}

}  // namespace vexmar
