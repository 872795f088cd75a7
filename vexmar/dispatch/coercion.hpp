#pragma once
// Conversion of late-bound argument values to the contract's value types, the way an
// Automation host converts them before a call:
//   - numbers, booleans and numeric strings convert among each other; a string is
//     numeric by the library's plain-decimal rule (optional sign, digits with at most
//     one ".", optional exponent, spaces around) whatever the locale;
//   - float32 to int32 rounds half to even; a value outside the target range is the
//     overflow error (6);
//   - every number and boolean converts to a string ("7.5", "100", "True");
//   - Empty converts to 0, the empty string, false, an absent string list or Nothing;
//   - anything else is the type-mismatch error (13).
#include <cstdint>
#include <string>

#include "vexmar/component/class_table.hpp"
#include "vexmar/component/export.hpp"
#include "vexmar/component/value.hpp"
#include "vexmar/platform/collection.hpp"

namespace vexmar::dispatch {

VEXMAR_API std::int32_t CoerceToInt32(const Variant& value);
VEXMAR_API float CoerceToFloat32(const Variant& value);
// Any non-zero number is true; strings "True" and "False" in any letter case, or numeric.
VEXMAR_API Bool16 CoerceToBool16(const Variant& value);
VEXMAR_API std::u16string CoerceToString(const Variant& value);
// A string list as it is; Empty as an absent list.
VEXMAR_API StringList CoerceToStringList(const Variant& value);
// A reference to a collection, or Nothing (a null reference or Empty).
VEXMAR_API CollectionRef CoerceToCollection(const Variant& value);

// The value converted to `type`, held in the Variant alternative of that type (a
// collection as an ObjectRef). kNone is not a value type and gives type mismatch.
VEXMAR_API Variant CoerceTo(const Variant& value, contract::ValueType type);

// Whether the value already has the Variant alternative of `type`, so that no
// conversion is needed.
VEXMAR_API bool HoldsType(const Variant& value, contract::ValueType type) noexcept;

}  // namespace vexmar::dispatch
