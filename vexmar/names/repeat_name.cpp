#include "vexmar/names/repeat_name.hpp"

#include <utility>

#include "vexmar/platform/directory_listing.hpp"
#include "vexmar/text/indexed_name_list.hpp"
#include "vexmar/text/split_and_match.hpp"
#include "vexmar/text/rule_numbers.hpp"
#include "vexmar/text/rule_text.hpp"

namespace vexmar {
namespace {

// `text`, then `separator` and `piece`; the separator only follows a non-empty text.
void AppendPiece(std::u16string& text, std::u16string_view separator,
                 std::u16string_view piece) {
  if (!text.empty()) text.append(separator);
  text.append(piece);
}

IndexedNameList::Lookup IsFileNameListed(std::u16string_view name, const IndexedNameList& list) {
  return list.Find(name);
}

// The file name list is filled through an index, so that a membership test is one hash
// look-up however many files match.
void AddItemFileNames(std::u16string_view item, IndexedNameList& list,
                      std::u16string_view directory) {
  if (item.empty()) return;
  // A plain name stands as written, whether or not it is listed already.
  if (!HasWildcard(item)) {
    list.Append(std::u16string(item));
    return;
  }
  DirectoryListing listing;
  for (std::u16string name = listing.First(JoinHostPath(directory, item)); !name.empty();
       name = listing.Next()) {
    const IndexedNameList::Lookup lookup = IsFileNameListed(name, list);
    if (!lookup.listed) list.Append(std::move(name), lookup);
  }
}

}  // namespace

std::int32_t ClsRepeatName::GetFileNames(const std::u16string& strRule, StringList& strFileNames,
                                         const std::u16string& strTestPath) const {
  IndexedNameList list(strFileNames);
  const StringList lines = SplitRuleLines(strRule);
  const std::u16string& item_line = lines.At(0);
  if (!item_line.empty()) {
    const StringList fields = SplitRuleFields(item_line);
    if (fields.UpperBound() >= 1 && !fields.At(1).empty()) {
      const StringList items = SplitRuleItems(fields.At(1));
      for (const std::u16string& item : items.Items()) {
        AddItemFileNames(item, list, strTestPath);
      }
    }
  }
  return strFileNames.UpperBound();
}

Bool16 ClsRepeatName::GetRuleItem(const std::u16string& strRule, std::u16string& strErrMsg,
                                  float& sngWeight) const {
  // Only the item line matters here, so the text is cut once.
  const StringList lines = SplitRuleLines(strRule, 1);
  const std::u16string& item_line = lines.At(0);
  if (item_line.empty()) return kFalse16;

  const StringList fields = SplitRuleFields(item_line);
  if (fields.UpperBound() < 3) return kFalse16;

  strErrMsg = fields.At(3);
  const std::u16string& weight = fields.At(2);
  if (!IsNumeric(weight)) return kFalse16;
  // A naming rule's weight is read up to where the number ends and must fit a single;
  // a sheet rule's is converted whole (ClsExcelMultiSheets::ParseRule).
  sngWeight = ToFloat32Checked(ReadLeadingNumber(weight));
  return kTrue16;
}

std::u16string ClsRepeatName::ChangeRuleFileName(const std::u16string& strRule,
                                                 const std::u16string& strFileName) const {
  const StringList lines = SplitRuleLines(strRule);
  const std::u16string& item_line = lines.At(0);
  if (item_line.empty()) return {};

  const StringList fields = SplitRuleFields(item_line);
  std::u16string text;
  const std::int32_t last_field = fields.UpperBound();
  for (std::int32_t i = 0; i <= last_field; ++i) {
    AppendPiece(text, kRuleFieldSeparator, i == 1 ? strFileName : fields.At(i));
  }
  const std::int32_t last_line = lines.UpperBound();
  for (std::int32_t i = 1; i <= last_line; ++i) AppendPiece(text, kRuleLineSeparator, lines.At(i));
  return text;
}

}  // namespace vexmar
