#pragma once
// What the tool found for one input (a workbook file, a test directory): named fields in
// a fixed order, written as an indented block of "label  value" lines (the example
// host's report layout) or as one JSON object with the same fields under stable keys.
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vexmar::cli {

struct ListItem {
  std::u16string text;
  std::optional<std::u16string> detail;  // a line under the item (a file's rule)
};

struct Field {
  enum class Kind { kText, kBool, kNumber, kList, kNull, kError };
  std::string label;  // as the plain output shows it; empty: JSON only
  std::string key;    // the JSON key
  Kind kind = Kind::kNull;
  std::u16string text;          // kText; a kNull's plain text; a kList's count as shown, if set
  bool truth = false;           // kBool
  double number = 0;            // kNumber
  bool integer = false;         // kNumber: written without a fraction
  std::vector<ListItem> items;  // kList
  std::string detail_label, detail_key;  // kList with details: their label and key
  std::int32_t error_number = 0;         // kError (text is the description)
};

struct Record {
  std::u16string title;  // the input, the plain block's heading
  std::vector<Field> fields;

  Record& Text(std::string label, std::string key, std::u16string text);
  Record& Bool(std::string label, std::string key, bool truth);
  Record& Number(std::string label, std::string key, double number, bool integer);
  Record& List(std::string label, std::string key, std::vector<ListItem> items);
  // Null in JSON; `shown` on the plain line (nothing when empty).
  Record& Null(std::string label, std::string key, std::u16string shown = {});
  Record& Failure(std::int32_t number, std::u16string description);
  // Puts the fields in the order of `keys`, a null for each key not written (an input
  // whose call failed half way keeps the same keys as the others).
  void Complete(std::initializer_list<std::string_view> keys);
};

void WritePlain(const Record& record, std::ostream& out);
// One line: the object and a line break.
void WriteJson(const Record& record, std::ostream& out);

}  // namespace vexmar::cli
