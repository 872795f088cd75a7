#include "vexmar/multifile/excel_multi_files.hpp"

#include <memory>
#include <utility>
#include <vector>

#include "vexmar/platform/directory_listing.hpp"
#include "vexmar/text/letter_case.hpp"
#include "vexmar/text/split_and_match.hpp"
#include "vexmar/text/rule_text.hpp"

namespace vexmar {
namespace {

constexpr std::u16string_view kMarkerLine = u"#FILE";

}  // namespace

ClsExcelMultiFiles::ClsExcelMultiFiles() : files_name_(std::make_shared<Collection>()) {}

std::int32_t ClsExcelMultiFiles::ParseRules() {
  // A fresh collection every time; a reference the host took earlier keeps the old one.
  files_name_ = std::make_shared<Collection>();

  // The item line of a multi-file rule is its second line: the first is the marker.
  const StringList lines = SplitRuleLines(rules_);
  if (lines.UpperBound() < 1) return -1;
  if (ToUpper(lines.At(0)) != kMarkerLine) return -1;

  const StringList items = SplitRuleItems(lines.At(1));
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
