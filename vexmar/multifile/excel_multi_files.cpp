#include "vexmar/multifile/excel_multi_files.hpp"

#include <memory>
#include <utility>
#include <vector>

#include "vexmar/platform/directory_listing.hpp"
#include "vexmar/text/letter_case.hpp"
#include "vexmar/text/mod_public_functions.hpp"

namespace vexmar {
namespace {

constexpr std::u16string_view kMarkerLine = u"#FILE";
constexpr std::u16string_view kItemSeparator = u"#";

}  // namespace

ClsExcelMultiFiles::ClsExcelMultiFiles() : files_name_(std::make_shared<Collection>()) {}

std::int32_t ClsExcelMultiFiles::ParseRules() {
  // A fresh collection every time; a reference the host took earlier keeps the old one.
  files_name_ = std::make_shared<Collection>();

  StringList lines;
  SplitString(rules_, kLineBreak, lines, -1, kCompareText);
  if (lines.UpperBound() < 1) return -1;
  if (ToUpper(lines.At(0)) != kMarkerLine) return -1;

  StringList items;
  SplitString(lines.At(1), kItemSeparator, items, -1, kCompareText);
  for (const std::u16string& item : items.Items()) {
    if (item.empty()) continue;
    if (HasWildcard(item)) {
      AddPatternFiles(item, test_path_);
    } else {
      files_name_->Add(item);
    }
  }
  return files_name_->Count();
}

void ClsExcelMultiFiles::AddPatternFiles(const std::u16string& pattern,
                                         const std::u16string& directory) {
  // The whole search at once, so the collection can make room for its names first.
  std::vector<std::u16string> names = ListMatchingFiles(JoinHostPath(directory, pattern));
  files_name_->Reserve(static_cast<std::size_t>(files_name_->Count()) + names.size());
  for (std::u16string& name : names) files_name_->Add(std::move(name));
}

}  // namespace vexmar
