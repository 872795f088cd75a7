#include "vexmar/sheets/excel_multi_sheets.hpp"

#include <exception>
#include <new>
#include <utility>

#include "vexmar/component/checked.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/sheets/spreadsheet_applications.hpp"
#include "vexmar/text/indexed_name_list.hpp"
#include "vexmar/text/split_and_match.hpp"
#include "vexmar/text/matcher_classes.hpp"
#include "vexmar/text/rule_numbers.hpp"
#include "vexmar/text/rule_text.hpp"

namespace vexmar {
namespace {

constexpr std::u16string_view kTooFewFields = u"约定格式错误。最少需要四项！";
constexpr std::u16string_view kWeightNotNumber = u"约定中权值设置错误，权值必须为数字！";

// Stores an error's description for the caller without letting anything escape. The
// out-of-memory text fits the string's inline storage, so it can always be stored.
void StoreDescription(std::u16string& strErrMsg, std::u16string_view description) noexcept {
  try {
    strErrMsg.assign(description);
  } catch (...) {
    strErrMsg.assign(DefaultDescription(static_cast<std::int32_t>(ErrorNumber::kOutOfMemory)));
  }
}

// Line i of the further lines joins the text with CR LF once the text holds something,
// so empty lines before the first non-empty one vanish and later ones stay.
std::u16string JoinFurtherLines(const StringList& lines) {
  std::u16string further;
  for (std::int32_t i = 1; i <= lines.UpperBound(); i = CheckedAdd(i, 1)) {
    if (!further.empty()) further.append(kRuleLineSeparator);
    further.append(lines.At(i));
  }
  return further;
}

// A worksheet name holding a field or line separator would change the fields of the
// per-sheet rule it is written into ("S|100|x" would set the weight), so a pattern never
// yields one. Plain names are the examiner's own and stand as written.
bool CanStandInRule(std::u16string_view name) noexcept {
  return name.find_first_of(u"|\r\n") == std::u16string_view::npos;
}

}  // namespace

ClsExcelMultiSheets::ClsExcelMultiSheets()
    : ClsExcelMultiSheets(DefaultSpreadsheetApplications()) {}

ClsExcelMultiSheets::ClsExcelMultiSheets(
    std::shared_ptr<const SpreadsheetApplications> applications)
    : applications_(applications ? std::move(applications)
                                 : std::make_shared<const SpreadsheetApplications>()) {}

Bool16 ClsExcelMultiSheets::ParseRule(std::u16string& strErrMsg) noexcept {
  try {
    return ToBool16(ParseRuleSteps(strErrMsg));
  } catch (const Error& error) {
    StoreDescription(strErrMsg, error.Description());
  } catch (const std::bad_alloc&) {
    StoreDescription(strErrMsg,
                     DefaultDescription(static_cast<std::int32_t>(ErrorNumber::kOutOfMemory)));
  } catch (...) {
    StoreDescription(
        strErrMsg, DefaultDescription(static_cast<std::int32_t>(ErrorNumber::kApplicationDefined)));
  }
  return kFalse16;
}

bool ClsExcelMultiSheets::ParseRuleSteps(std::u16string& strErrMsg) {
  // Every call fills a collection of its own; one the host kept stays as it was.
  ping_rules_ = std::make_shared<Collection>();

  const StringList lines = SplitRuleLines(rule_);
  if (lines.At(0).empty()) return false;

  const StringList fields = SplitRuleFields(lines.At(0));
  if (fields.UpperBound() < 3) {
    strErrMsg = kTooFewFields;
    return false;
  }

  err_msg_ = fields.At(3);
  if (!IsNumeric(fields.At(2))) {
    strErrMsg = kWeightNotNumber;
    return false;
  }
  // The weight is converted whole; a naming rule reads only its leading number
  // (ClsRepeatName::GetRuleItem).
  weight_ = ConvertWholeToFloat32(fields.At(2));

  const std::u16string further = JoinFurtherLines(lines);

  const std::u16string& sheet_field = fields.At(1);
  StringList sheet_names;
  if (HasWildcard(sheet_field) && !InspectWorkbook(strErrMsg, sheet_names)) return false;

  const StringList items = SplitRuleItems(sheet_field);
  // Each name once, ignoring case: one hash look-up per name, however many sheets.
  IndexedNameList required(required_sheets_);

  // Created on the first match a call needs, dropped when the call ends.
  std::unique_ptr<ClsPatternMatchStr> matcher;
  for (std::int32_t i = 0; i <= items.UpperBound(); i = CheckedAdd(i, 1)) {
    const std::u16string& item = items.At(i);
    if (!HasWildcard(item)) {
      const IndexedNameList::Lookup lookup = required.Find(item);
      if (!lookup.listed) required.Append(item, lookup);
      continue;
    }
    for (std::int32_t k = 1; k <= sheet_names.UpperBound(); k = CheckedAdd(k, 1)) {
      const std::u16string& name = sheet_names.At(k);
      if (!CanStandInRule(name)) continue;
      if (!matcher) matcher = std::make_unique<ClsPatternMatchStr>();
      std::int32_t length = 0;
      if (matcher->MatchString(name, item, 1, length) <= 0) continue;
      const IndexedNameList::Lookup lookup = required.Find(name);
      if (!lookup.listed) required.Append(name, lookup);
    }
  }

  BuildPingRules(fields, further);
  return true;
}

void ClsExcelMultiSheets::BuildPingRules(const StringList& fields, const std::u16string& further) {
  const std::u16string& head = fields.At(0);
  std::u16string tail;
  for (std::int32_t k = 2; k <= fields.UpperBound(); k = CheckedAdd(k, 1)) {
    if (!tail.empty()) tail.append(kRuleFieldSeparator);
    tail.append(fields.At(k));
  }
  for (std::int32_t i = 1; i <= required_sheets_.UpperBound(); i = CheckedAdd(i, 1)) {
    std::u16string entry = head;
    entry.append(kRuleFieldSeparator);
    entry.append(required_sheets_.At(i));
    entry.append(kRuleFieldSeparator);
    entry.append(tail);
    if (!further.empty()) {
      entry.append(kRuleLineSeparator);
      entry.append(further);
    }
    if (!entry.empty()) ping_rules_->Add(std::move(entry));
  }
}

}  // namespace vexmar
