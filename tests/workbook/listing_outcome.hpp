#pragma once
// Runs the zip or XML reader on a file and sums up what happened, for table-driven tests.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "vexmar/component/error.hpp"
#include "vexmar/workbook/detection/xml_workbook.hpp"
#include "vexmar/workbook/detection/zip_workbook.hpp"
#include "vexmar/workbook/distinct_sheet_names.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/file_source.hpp"

namespace vexmar::workbook::testing {

struct Listing {
  std::string outcome;  // "names", "none", "damaged", "encrypted", "error"
  std::vector<std::u16string> names;
  std::u16string description;
  std::optional<FailureKind> kind;  // for "damaged" and "encrypted"
};

inline Listing ListFile(const std::filesystem::path& path) {
  Listing result;
  try {
    const FileSource source(path);
    char head[2] = {};
    std::span<std::byte> head_bytes(reinterpret_cast<std::byte*>(head), 2);
    const bool zip = source.ReadSome(0, head_bytes) == 2 && head[0] == 'P' && head[1] == 'K';
    auto names = zip ? ListZipWorksheets(source) : ListXmlWorksheets(source);
    if (names) MakeSheetNamesDistinct(*names);  // as the listing does
    result.outcome = names ? "names" : "none";
    if (names) result.names = *names;
  } catch (const ReadFailure& e) {
    result.description = e.Description();
    result.kind = e.Kind();
    result.outcome = IsEncryption(e.Kind()) ? "encrypted" : "damaged";
  } catch (const Error& e) {
    result.description = e.Description();
    result.outcome = "error";
  }
  return result;
}

}  // namespace vexmar::workbook::testing
