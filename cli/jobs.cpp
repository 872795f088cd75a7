#include "cli/jobs.hpp"

#include <array>
#include <filesystem>
#include <new>

#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/dispatch/coercion.hpp"
#include "vexmar/dispatch/dispatch_object.hpp"
#include "vexmar/text/letter_case.hpp"
#include "vexmar/workbook/list_worksheets.hpp"

namespace vexmar::cli {
namespace {

using dispatch::CreateObject;
using dispatch::DispatchObject;

std::vector<ListItem> Items(const std::vector<std::u16string>& texts) {
  std::vector<ListItem> items;
  for (const auto& text : texts) items.push_back({text, std::nullopt});
  return items;
}

// The strings of a collection property (PingRules, FilesName): Item(1..Count).
std::vector<ListItem> CollectionItems(const Variant& property) {
  const DispatchObject collection(dispatch::CoerceToCollection(property));
  std::vector<ListItem> items;
  if (!collection) return items;
  const std::int32_t count = dispatch::CoerceToInt32(collection.Get(u"Count"));
  for (std::int32_t i = 1; i <= count; ++i) {
    std::array<Variant, 1> index{i};
    items.push_back({dispatch::CoerceToString(collection.Call(u"Item", index)), std::nullopt});
  }
  return items;
}

// A float32 value, widened for the record (which keeps every number as a double).
double Float(const Variant& value) { return static_cast<double>(dispatch::CoerceToFloat32(value)); }

// Runs `body` on `result`; an error that escapes becomes the record's error field.
template <typename Body>
void Guarded(JobResult& result, Body&& body) {
  try {
    body();
  } catch (const Error& e) {
    result.record.Failure(e.Number(), e.Description());
    result.outcome = Outcome::kUnreadable;
  } catch (const std::bad_alloc&) {
    const Error e(ErrorNumber::kOutOfMemory);
    result.record.Failure(e.Number(), e.Description());
    result.outcome = Outcome::kUnreadable;
  }
}

bool IsMultiFileRule(std::u16string_view rule) {
  const std::u16string_view first = rule.substr(0, rule.find(u"\r\n"));
  return EqualsIgnoreCase(first, u"#FILE");
}

}  // namespace

JobResult ListSheets(const std::u16string& file) {
  JobResult result;
  result.record.title = file;
  result.record.Text("", "file", file);
  Guarded(result, [&] {
    const auto sheets = ListWorksheets(std::filesystem::path(Utf16ToUtf8(file)));
    if (sheets) {
      result.record.List("Worksheets", "worksheets", Items(*sheets));
    } else {
      result.record.Null("Worksheets", "worksheets", u"none: not a workbook");
      result.outcome = Outcome::kUnreadable;
    }
  });
  result.record.Complete({"file", "worksheets", "error"});
  return result;
}

JobResult ExpandSheetRule(const std::u16string& rule, const std::u16string& test_path,
                          const std::u16string& file_name) {
  JobResult result;
  Record& r = result.record;
  r.title = test_path;
  r.Text("", "test_path", test_path).Text("", "file_name", file_name).Text("", "rule", rule);
  Guarded(result, [&] {
    const DispatchObject sheets = CreateObject(u"VexmarExt.ClsExcelMultiSheets");
    sheets.Put(u"Rule", rule);
    sheets.Put(u"TestPath", test_path);
    sheets.Put(u"FileName", file_name);
    std::array<Variant, 1> message{std::u16string()};
    const bool parsed =
        static_cast<bool>(dispatch::CoerceToBool16(sheets.Call(u"ParseRule", message)));
    r.Bool("ParseRule", "parse_rule", parsed);
    // The message of a rule that held is empty: the plain output leaves it out.
    r.Text(parsed ? "" : "strErrMsg", "str_err_msg", dispatch::CoerceToString(message[0]));
    r.Number("Weight", "weight", Float(sheets.Get(u"Weight")), false);
    r.Text("ErrMsg", "err_msg", dispatch::CoerceToString(sheets.Get(u"ErrMsg")));
    r.List("PingRules", "ping_rules", CollectionItems(sheets.Get(u"PingRules")));
    if (!parsed) result.outcome = Outcome::kRuleDidNotHold;
  });
  r.Complete({"test_path", "file_name", "rule", "parse_rule", "str_err_msg", "weight", "err_msg",
              "ping_rules", "error"});
  return result;
}

namespace {

void NamingRule(JobResult& result, const std::u16string& rule, const std::u16string& test_path) {
  Record& r = result.record;
  const DispatchObject names = CreateObject(u"VexmarExt.ClsRepeatName");
  std::array<Variant, 3> item{rule, std::u16string(), 0.0f};
  const bool usable = static_cast<bool>(dispatch::CoerceToBool16(names.Call(u"GetRuleItem", item)));
  r.Bool("GetRuleItem", "get_rule_item", usable);
  r.Text("strErrMsg", "str_err_msg", dispatch::CoerceToString(item[1]));
  r.Number("sngWeight", "sng_weight", Float(item[2]), false);
  if (!usable) result.outcome = Outcome::kRuleDidNotHold;

  std::array<Variant, 3> listing{rule, StringList(), test_path};
  const std::int32_t count = dispatch::CoerceToInt32(names.Call(u"GetFileNames", listing));
  r.Number("", "get_file_names", count, true);
  const StringList list = dispatch::CoerceToStringList(listing[1]);
  std::vector<ListItem> files;
  for (std::int32_t i = 1; list.HasBounds() && i <= list.UpperBound(); ++i) {
    std::array<Variant, 2> change{rule, list.At(i)};
    files.push_back(
        {list.At(i), dispatch::CoerceToString(names.Call(u"ChangeRuleFileName", change))});
  }
  r.List("GetFileNames", "file_names", std::move(files));
  r.fields.back().text = Utf8ToUtf16(std::to_string(count));
  r.fields.back().detail_label = "ChangeRuleFileName";
  r.fields.back().detail_key = "file_rules";
}

void MultiFileRule(JobResult& result, const std::u16string& rule, const std::u16string& test_path) {
  Record& r = result.record;
  const DispatchObject files = CreateObject(u"VexmarExt.ClsExcelMultiFiles");
  files.Put(u"Rules", rule);
  files.Put(u"TestPath", test_path);
  const std::int32_t count = dispatch::CoerceToInt32(files.Get(u"ParseRules"));
  r.Number("ParseRules", "parse_rules", count, true);
  r.List("FilesName", "file_names", CollectionItems(files.Get(u"FilesName")));
  if (count < 0) result.outcome = Outcome::kRuleDidNotHold;
}

}  // namespace

JobResult ResolveFileNames(const std::u16string& rule, const std::u16string& test_path) {
  JobResult result;
  Record& r = result.record;
  r.title = test_path;
  const bool multi = IsMultiFileRule(rule);
  r.Text("", "test_path", test_path).Text("", "rule", rule);
  r.Text("", "kind", multi ? u"multifile" : u"naming");
  Guarded(result, [&] {
    if (multi) {
      MultiFileRule(result, rule, test_path);
    } else {
      NamingRule(result, rule, test_path);
    }
  });
  if (multi) {
    r.Complete({"test_path", "rule", "kind", "parse_rules", "file_names", "error"});
  } else {
    r.Complete({"test_path", "rule", "kind", "get_rule_item", "str_err_msg", "sng_weight",
                "get_file_names", "file_names", "file_rules", "error"});
  }
  return result;
}

}  // namespace vexmar::cli
