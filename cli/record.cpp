#include "cli/record.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "examples/host/shown_text.hpp"
#include "vexmar/component/utf.hpp"

namespace vexmar::cli {
namespace {

constexpr std::size_t kLabelWidth = 20;

void Line(std::ostream& out, std::string_view label, const std::string& value) {
  out << "    " << label;
  for (std::size_t pad = label.size(); pad < kLabelWidth; ++pad) out << ' ';
  out << value << '\n';
}

// Numbers as an Automation host turns them into text: "5", "2.5".
std::string NumberText(double number, bool integer) {
  if (integer) return std::to_string(static_cast<long long>(number));
  if (std::isnan(number)) return "NaN";
  if (std::isinf(number)) return number > 0 ? "Infinity" : "-Infinity";
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(number)).ptr;
  return std::string(buffer, end);
}

std::string Hex(std::int32_t hresult) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(hresult));
  return buffer;
}

// A JSON string. UTF-16 units that are not part of a pair (a file name's bytes that were
// not UTF-8 among them) are written as \uXXXX escapes, which a JSON reader gives back as
// the same lone surrogates the Python module uses for such names.
std::string JsonString(std::u16string_view text) {
  std::string out = "\"";
  std::size_t plain_start = 0;
  const auto flush = [&](std::size_t end) {
    out += Utf16ToUtf8(text.substr(plain_start, end - plain_start));
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;
      continue;
    }
    const bool lone = unit >= 0xD800 && unit <= 0xDFFF;
    if (unit >= 0x20 && unit != u'"' && unit != u'\\' && unit != 0x7F && !lone) continue;
    flush(i);
    switch (unit) {
      case u'"':
        out += "\\\"";
        break;
      case u'\\':
        out += "\\\\";
        break;
      case u'\r':
        out += "\\r";
        break;
      case u'\n':
        out += "\\n";
        break;
      case u'\t':
        out += "\\t";
        break;
      default: {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(unit));
        out += buffer;
      }
    }
    plain_start = i + 1;
  }
  flush(text.size());
  return out + "\"";
}

std::string JsonNumber(double number, bool integer) {
  if (!std::isfinite(number)) return "null";  // JSON has no NaN or infinity
  return NumberText(number, integer);
}

Field MakeField(std::string label, std::string key, Field::Kind kind) {
  Field f;
  f.label = std::move(label);
  f.key = std::move(key);
  f.kind = kind;
  return f;
}

}  // namespace

Record& Record::Text(std::string label, std::string key, std::u16string text) {
  Field f = MakeField(std::move(label), std::move(key), Field::Kind::kText);
  f.text = std::move(text);
  fields.push_back(std::move(f));
  return *this;
}

Record& Record::Bool(std::string label, std::string key, bool truth) {
  Field f = MakeField(std::move(label), std::move(key), Field::Kind::kBool);
  f.truth = truth;
  fields.push_back(std::move(f));
  return *this;
}

Record& Record::Number(std::string label, std::string key, double number, bool integer) {
  Field f = MakeField(std::move(label), std::move(key), Field::Kind::kNumber);
  f.number = number;
  f.integer = integer;
  fields.push_back(std::move(f));
  return *this;
}

Record& Record::List(std::string label, std::string key, std::vector<ListItem> items) {
  Field f = MakeField(std::move(label), std::move(key), Field::Kind::kList);
  f.items = std::move(items);
  fields.push_back(std::move(f));
  return *this;
}

Record& Record::Null(std::string label, std::string key, std::u16string shown) {
  Field f = MakeField(std::move(label), std::move(key), Field::Kind::kNull);
  f.text = std::move(shown);
  fields.push_back(std::move(f));
  return *this;
}

Record& Record::Failure(std::int32_t number, std::u16string description) {
  Field f = MakeField("error", "error", Field::Kind::kError);
  f.error_number = number;
  f.text = std::move(description);
  fields.push_back(std::move(f));
  return *this;
}

void Record::Complete(std::initializer_list<std::string_view> keys) {
  std::vector<std::string> detail_keys;  // a list's details carry a key of their own
  for (const Field& f : fields) detail_keys.push_back(f.detail_key);
  std::vector<Field> ordered;
  for (std::string_view key : keys) {
    if (std::find(detail_keys.begin(), detail_keys.end(), key) != detail_keys.end()) continue;
    Field found = MakeField("", std::string(key), Field::Kind::kNull);
    for (Field& f : fields) {
      if (f.key == key) found = std::move(f);
    }
    ordered.push_back(std::move(found));
  }
  fields = std::move(ordered);
}

void WritePlain(const Record& record, std::ostream& out) {
  out << example::Shown(record.title) << '\n';
  for (const Field& f : record.fields) {
    if (f.label.empty()) continue;
    switch (f.kind) {
      case Field::Kind::kText:
        Line(out, f.label, example::Shown(f.text));
        break;
      case Field::Kind::kBool:
        Line(out, f.label, f.truth ? "True" : "False");
        break;
      case Field::Kind::kNumber:
        Line(out, f.label, NumberText(f.number, f.integer));
        break;
      case Field::Kind::kNull:
        if (!f.text.empty()) Line(out, f.label, example::Shown(f.text));
        break;
      case Field::Kind::kError:
        Line(out, f.label,
             std::to_string(f.error_number) + " (" +
                 Hex(static_cast<std::int32_t>(0x800A0000u |
                                               static_cast<unsigned>(f.error_number))) +
                 ") " + example::Shown(f.text));
        break;
      case Field::Kind::kList:
        Line(out, f.label,
             f.text.empty() ? std::to_string(f.items.size()) : example::Shown(f.text));
        for (std::size_t i = 0; i < f.items.size(); ++i) {
          out << "      " << i + 1 << "  " << example::Shown(f.items[i].text) << '\n';
          if (f.items[i].detail) {
            out << "         " << f.detail_label << "  " << example::Shown(*f.items[i].detail)
                << '\n';
          }
        }
        break;
    }
  }
}

void WriteJson(const Record& record, std::ostream& out) {
  out << '{';
  bool first = true;
  const auto key = [&](const std::string& name) {
    out << (first ? "" : ", ") << '"' << name << "\": ";
    first = false;
  };
  for (const Field& f : record.fields) {
    key(f.key);
    switch (f.kind) {
      case Field::Kind::kText:
        out << JsonString(f.text);
        break;
      case Field::Kind::kBool:
        out << (f.truth ? "true" : "false");
        break;
      case Field::Kind::kNumber:
        out << JsonNumber(f.number, f.integer);
        break;
      case Field::Kind::kNull:
        out << "null";
        break;
      case Field::Kind::kError:
        out << "{\"number\": " << f.error_number << ", \"description\": " << JsonString(f.text)
            << '}';
        break;
      case Field::Kind::kList: {
        out << '[';
        for (std::size_t i = 0; i < f.items.size(); ++i) {
          out << (i == 0 ? "" : ", ") << JsonString(f.items[i].text);
        }
        out << ']';
        if (!f.detail_key.empty()) {
          key(f.detail_key);
          out << '[';
          for (std::size_t i = 0; i < f.items.size(); ++i) {
            out << (i == 0 ? "" : ", ") << JsonString(f.items[i].detail.value_or(u""));
          }
          out << ']';
        }
        break;
      }
    }
  }
  out << "}\n";
}

}  // namespace vexmar::cli
