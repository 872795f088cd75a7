#include "examples/host/late_grader.hpp"

#include <array>
#include <cstdio>
#include <string>
#include <variant>

#include "examples/host/shown_text.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/dispatch/coercion.hpp"
#include "vexmar/dispatch/dispatch_object.hpp"

namespace vexmar::example {
namespace {

using dispatch::CreateObject;
using dispatch::DispatchObject;

constexpr std::size_t kLabelWidth = 20;

// One "label  value" line of the report.
void Line(std::ostream& report, std::string_view label, const std::string& value) {
  report << "    " << label;
  for (std::size_t pad = label.size(); pad < kLabelWidth; ++pad) report << ' ';
  report << value << '\n';
}

// A value as the host prints it: numbers and booleans as an Automation host converts
// them to text ("5", "2.5", "True"), strings shown safely.
std::string Text(const Variant& value) { return Shown(dispatch::CoerceToString(value)); }

// The strings of a collection (PingRules, FilesName): Count, then Item(1..Count).
void ListCollection(std::ostream& report, std::string_view label, const Variant& property) {
  const DispatchObject collection(dispatch::CoerceToCollection(property));
  if (!collection) {
    Line(report, label, "Nothing");
    return;
  }
  const std::int32_t count = dispatch::CoerceToInt32(collection.Get(u"Count"));
  Line(report, label, std::to_string(count));
  for (std::int32_t i = 1; i <= count; ++i) {
    std::array<Variant, 1> index{i};
    report << "      " << i << "  " << Text(collection.Call(u"Item", index)) << '\n';
  }
}

Outcome GradeSheet(const ExamItem& item, const Candidate& candidate, std::ostream& report) {
  const DispatchObject sheets = CreateObject(u"VexmarExt.ClsExcelMultiSheets");
  sheets.Put(u"Rule", item.rule);
  sheets.Put(u"TestPath", candidate.test_path);
  sheets.Put(u"FileName", item.file_name);
  std::array<Variant, 1> message{std::u16string()};
  const bool parsed =
      static_cast<bool>(dispatch::CoerceToBool16(sheets.Call(u"ParseRule", message)));
  Line(report, "ParseRule", parsed ? "True" : "False");
  if (!parsed) Line(report, "strErrMsg", Text(message[0]));
  Line(report, "Weight", Text(sheets.Get(u"Weight")));
  Line(report, "ErrMsg", Text(sheets.Get(u"ErrMsg")));
  ListCollection(report, "PingRules", sheets.Get(u"PingRules"));
  return parsed ? Outcome::kDone : Outcome::kRefused;
}

Outcome GradeNaming(const ExamItem& item, const Candidate& candidate, std::ostream& report) {
  const DispatchObject names = CreateObject(u"VexmarExt.ClsRepeatName");
  std::array<Variant, 3> rule_item{item.rule, std::u16string(), 0.0f};
  const bool usable =
      static_cast<bool>(dispatch::CoerceToBool16(names.Call(u"GetRuleItem", rule_item)));
  Line(report, "GetRuleItem", usable ? "True" : "False");
  Line(report, "strErrMsg", Text(rule_item[1]));
  Line(report, "sngWeight", Text(rule_item[2]));

  std::array<Variant, 3> file_names{item.rule, StringList(), candidate.test_path};
  Line(report, "GetFileNames", Text(names.Call(u"GetFileNames", file_names)));
  const StringList list = dispatch::CoerceToStringList(file_names[1]);
  for (std::int32_t i = 1; i <= list.UpperBound(); ++i) {
    std::array<Variant, 2> change{item.rule, list.At(i)};
    report << "      " << i << "  " << Shown(list.At(i)) << '\n';
    report << "         ChangeRuleFileName  " << Text(names.Call(u"ChangeRuleFileName", change))
           << '\n';
  }
  return usable ? Outcome::kDone : Outcome::kRefused;
}

Outcome GradeMultiFile(const ExamItem& item, const Candidate& candidate, std::ostream& report) {
  const DispatchObject files = CreateObject(u"VexmarExt.ClsExcelMultiFiles");
  files.Put(u"Rules", item.rule);
  files.Put(u"TestPath", candidate.test_path);
  const std::int32_t count = dispatch::CoerceToInt32(files.Get(u"ParseRules"));
  Line(report, "ParseRules", std::to_string(count));
  ListCollection(report, "FilesName", files.Get(u"FilesName"));
  return count >= 0 ? Outcome::kDone : Outcome::kRefused;
}

std::string HexStatus(std::int32_t hresult) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(hresult));
  return buffer;
}

}  // namespace

Outcome GradeItem(const ExamItem& item, const Candidate& candidate, std::ostream& report) {
  try {
    switch (item.kind) {
      case ItemKind::kSheet:
        return GradeSheet(item, candidate, report);
      case ItemKind::kNaming:
        return GradeNaming(item, candidate, report);
      case ItemKind::kMultiFile:
        return GradeMultiFile(item, candidate, report);
    }
  } catch (const Error& e) {
    Line(
        report, "error",
        std::to_string(e.Number()) + " (" + HexStatus(e.HResult()) + ") " + Shown(e.Description()));
  }
  return Outcome::kError;
}

}  // namespace vexmar::example
