#include "vexmar/dispatch/coercion.hpp"

#include <cmath>
#include <limits>

#include "vexmar/component/error.hpp"
#include "vexmar/dispatch/number_text.hpp"
#include "vexmar/text/letter_case.hpp"
#include "vexmar/text/rule_numbers.hpp"

namespace vexmar::dispatch {
namespace {

template <typename... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <typename... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

[[noreturn]] void TypeMismatch() { Raise(ErrorNumber::kTypeMismatch); }

std::int32_t BoolToInt(Bool16 b) noexcept { return b ? -1 : 0; }

// A numeric string's value; anything else is the type-mismatch error.
double StringToNumber(const std::u16string& text) {
  if (!IsNumeric(text)) TypeMismatch();
  return ReadLeadingNumber(text);
}

}  // namespace

std::int32_t CoerceToInt32(const Variant& value) {
  return std::visit(Overloaded{
                        [](Empty) -> std::int32_t { return 0; },
                        [](std::int32_t v) { return v; },
                        [](float v) { return RoundToInt32(static_cast<double>(v)); },
                        [](Bool16 v) { return BoolToInt(v); },
                        [](const std::u16string& v) { return RoundToInt32(StringToNumber(v)); },
                        [](const StringList&) -> std::int32_t { TypeMismatch(); },
                        [](const ObjectRef&) -> std::int32_t { TypeMismatch(); },
                    },
                    value);
}

float CoerceToFloat32(const Variant& value) {
  return std::visit(Overloaded{
                        [](Empty) { return 0.0f; },
                        [](std::int32_t v) { return static_cast<float>(v); },
                        [](float v) { return v; },
                        [](Bool16 v) { return static_cast<float>(BoolToInt(v)); },
                        [](const std::u16string& v) { return ConvertWholeToFloat32(v); },
                        [](const StringList&) -> float { TypeMismatch(); },
                        [](const ObjectRef&) -> float { TypeMismatch(); },
                    },
                    value);
}

Bool16 CoerceToBool16(const Variant& value) {
  return std::visit(Overloaded{
                        [](Empty) { return kFalse16; },
                        [](std::int32_t v) { return ToBool16(v != 0); },
                        [](float v) { return ToBool16(v != 0.0f); },
                        [](Bool16 v) { return ToBool16(static_cast<bool>(v)); },
                        [](const std::u16string& v) {
                          if (EqualsIgnoreCase(v, u"True")) return kTrue16;
                          if (EqualsIgnoreCase(v, u"False")) return kFalse16;
                          return ToBool16(StringToNumber(v) != 0.0);
                        },
                        [](const StringList&) -> Bool16 { TypeMismatch(); },
                        [](const ObjectRef&) -> Bool16 { TypeMismatch(); },
                    },
                    value);
}

std::u16string CoerceToString(const Variant& value) {
  return std::visit(Overloaded{
                        [](Empty) { return std::u16string(); },
                        [](std::int32_t v) { return FormatInt32(v); },
                        [](float v) { return FormatFloat32(v); },
                        // As the platform converts an argument (no flags): the number, not "True".
                        [](Bool16 v) { return std::u16string(v ? u"-1" : u"0"); },
                        [](const std::u16string& v) { return v; },
                        [](const StringList&) -> std::u16string { TypeMismatch(); },
                        [](const ObjectRef&) -> std::u16string { TypeMismatch(); },
                    },
                    value);
}

StringList CoerceToStringList(const Variant& value) {
  if (std::holds_alternative<Empty>(value)) return StringList();
  if (const auto* list = std::get_if<StringList>(&value)) return *list;
  TypeMismatch();
}

CollectionRef CoerceToCollection(const Variant& value) {
  if (std::holds_alternative<Empty>(value)) return nullptr;
  const auto* object = std::get_if<ObjectRef>(&value);
  if (object == nullptr) TypeMismatch();
  if (*object == nullptr) return nullptr;
  auto collection = std::dynamic_pointer_cast<Collection>(*object);
  if (collection == nullptr) TypeMismatch();
  return collection;
}

bool HoldsType(const Variant& value, contract::ValueType type) noexcept {
  using enum contract::ValueType;
  switch (type) {
    case kNone:
      return false;
    case kString:
      return std::holds_alternative<std::u16string>(value);
    case kInt32:
      return std::holds_alternative<std::int32_t>(value);
    case kFloat32:
      return std::holds_alternative<float>(value);
    case kBool16:
      return std::holds_alternative<Bool16>(value);
    case kStringList:
      return std::holds_alternative<StringList>(value);
    case kCollection: {
      const auto* object = std::get_if<ObjectRef>(&value);
      return object != nullptr &&
             (*object == nullptr || dynamic_cast<const Collection*>(object->get()) != nullptr);
    }
  }
  return false;
}

Variant CoerceTo(const Variant& value, contract::ValueType type) {
  using enum contract::ValueType;
  // Same type: an exact copy, so that a float32 keeps its bits (NaN payloads included).
  if (HoldsType(value, type)) return value;
  switch (type) {
    case kString:
      return CoerceToString(value);
    case kInt32:
      return CoerceToInt32(value);
    case kFloat32:
      return CoerceToFloat32(value);
    case kBool16:
      return CoerceToBool16(value);
    case kStringList:
      return CoerceToStringList(value);
    case kCollection:
      return ObjectRef(CoerceToCollection(value));
    case kNone:
      break;
  }
  TypeMismatch();
}

}  // namespace vexmar::dispatch
