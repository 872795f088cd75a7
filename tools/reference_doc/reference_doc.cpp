#include "tools/reference_doc/reference_doc.hpp"

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "vexmar/component/class_table.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/dispatch/collection_interface.hpp"

namespace vexmar::dispatch {
namespace {

using contract::Direction;
using contract::MemberKind;
using contract::ValueType;

std::string_view TypeWord(ValueType type) {
  switch (type) {
    case ValueType::kNone:
      return "none";
    case ValueType::kString:
      return "string";
    case ValueType::kInt32:
      return "int32";
    case ValueType::kFloat32:
      return "float32";
    case ValueType::kBool16:
      return "bool16";
    case ValueType::kStringList:
      return "string list";
    case ValueType::kCollection:
      return "collection";
  }
  return "?";
}

std::string_view KindWord(MemberKind kind) {
  switch (kind) {
    case MemberKind::kMethod:
      return "method";
    case MemberKind::kPropertyGet:
      return "property read";
    case MemberKind::kPropertyPut:
      return "property write";
    case MemberKind::kPropertyPutRef:
      return "object-property write";
  }
  return "?";
}

std::string Hex(std::int32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<std::uint32_t>(value));
  return buffer;
}

std::string Code(std::string_view text) { return "`" + std::string(text) + "`"; }

std::string Parameters(const contract::Member& m) {
  if (m.parameters.empty()) return "none";
  std::string out;
  for (const auto& p : m.parameters) {
    if (!out.empty()) out += "; ";
    if (!p.name.empty()) out += Code(p.name) + ": ";
    out += TypeWord(p.type);
    out += p.direction == Direction::kInOut ? ", in/out" : ", in";
  }
  return out;
}

// The C++ member that serves an entry, by the accessor convention.
std::string CppCall(const contract::Member& m) {
  std::string name(m.name);
  switch (m.kind) {
    case MemberKind::kMethod: {
      std::string args;
      for (const auto& p : m.parameters) {
        if (!args.empty()) args += ", ";
        args += p.name;
      }
      return Code(name + "(" + args + ")");
    }
    case MemberKind::kPropertyGet:
      return Code(name + "()");
    case MemberKind::kPropertyPut:
      return Code("Set" + name + "(value)");
    case MemberKind::kPropertyPutRef:
      return Code("Set" + name + "(collection)");
  }
  return "";
}

std::string KindsOf(InvokeFlags flags) {
  std::string out;
  for (MemberKind kind : {MemberKind::kMethod, MemberKind::kPropertyGet, MemberKind::kPropertyPut,
                          MemberKind::kPropertyPutRef}) {
    if (!Allows(flags, kind)) continue;
    if (!out.empty()) out += ", ";
    out += KindWord(kind);
  }
  return out;
}

void Library(std::string& out) {
  const auto& lib = contract::kLibrary;
  out += "## Library\n\n| Attribute | Value |\n|---|---|\n";
  out += "| Name | " + Code(lib.name) + " |\n";
  out += "| LIBID | " + FormatGuid(lib.libid) + " |\n";
  out += "| Version | " + std::to_string(lib.major) + "." + std::to_string(lib.minor) + " |\n";
  out += "| LCID | " + std::to_string(lib.lcid) + " |\n";
  for (const auto& imported : contract::kImportedLibraries) {
    out += "| Imports | " + FormatGuid(imported.libid) + " " + std::to_string(imported.major) +
           "." + std::to_string(imported.minor) + ", LCID " + std::to_string(imported.lcid) +
           ", for " + Code(imported.used_for) + " |\n";
  }
  out += "\n";
}

void ValueTypes(std::string& out) {
  out += R"(## Value types

Every parameter and result is one of these; a late-bound caller passes and receives
them as `vexmar::Variant`.

| Type | `Variant` alternative | Meaning |
|---|---|---|
| none | `vexmar::Empty` | the result of a property write or of a method without result; also an unset argument |
| string | `std::u16string` | UTF-16 text |
| int32 | `std::int32_t` | |
| float32 | `float` | weights and scores |
| bool16 | `vexmar::Bool16` | false 0, true -1 |
| string list | `vexmar::StringList` | lower bound 0; may be absent |
| collection | `vexmar::ObjectRef` to a `vexmar::Collection` | shared by reference; a null reference is Nothing |

)";
}

void Classes(std::string& out) {
  out +=
      "## Classes\n\nIn type-library order. Property dispatch ids count down to 0x68030000; "
      "method ids start at 0x60030000.\n\n";
  for (const auto& c : contract::kClasses) {
    out += "### " + std::string(c.name) + "\n\n| | |\n|---|---|\n";
    out += "| ProgID | " + Code(c.prog_id) + " |\n";
    out += "| CLSID | " + FormatGuid(c.clsid) + " |\n";
    out += "| Interface | " + Code(c.interface_name) + " " + FormatGuid(c.iid) + " |\n";
    out += "| C++ class | " + Code("vexmar::" + std::string(c.name)) + " |\n\n";
    bool has_help = false;
    for (const auto& m : c.members) has_help = has_help || !m.help.empty();
    out += "| # | DISPID | Kind | Member | Parameters | Result | C++ member |";
    out += has_help ? " Help string |\n" : "\n";
    out += has_help ? "|---|---|---|---|---|---|---|---|\n" : "|---|---|---|---|---|---|---|\n";
    int row = 0;
    for (const auto& m : c.members) {
      out += "| " + std::to_string(++row) + " | " + Hex(m.dispid) + " | " +
             std::string(KindWord(m.kind)) + " | " + Code(m.name) + " | " + Parameters(m) + " | " +
             std::string(TypeWord(m.result)) + " | " + CppCall(m) + " |";
      out += has_help ? " " + Utf16ToUtf8(m.help) + " |\n" : "\n";
    }
    out += "\n";
  }
}

void Collections(std::string& out) {
  out += R"(## Collections

`PingRules` and `FilesName` hold a `vexmar::Collection`: items numbered from 1, shared by
reference between the object and the host. A collection is a late-bound object of its
own (`dispatch::DispatchObject(ref)`, `dispatch::NewCollection()`), with the members and
dispatch ids of the platform's ordered collection:

| DISPID | Member | Answers to | Parameter | Description |
|---|---|---|---|---|
)";

  for (const auto& m : CollectionMembers()) {
    out += "| " + std::to_string(m.dispid) + " | " + Code(m.name) + " | " + KindsOf(m.flags) +
           " | " + (m.parameter.empty() ? std::string("none") : Code(m.parameter)) + " | " +
           std::string(m.description) + " |\n";
  }
  out += R"(
An index outside 1..Count is error 9; a string index asks for a key, and since items are
never added with a key, it is error 5. `_NewEnum` gives a `dispatch::CollectionEnumerator`
(`Next`, `Skip`, `Reset`, `Clone`).

)";
  out += "In the Windows type library the collection type is " +
         Code(contract::kCollectionInterface) + " " + FormatGuid(contract::kCollectionIid) +
         ",\na dispatch interface of the imported library " +
         FormatGuid(contract::kCollectionLibrary.libid) +
         ", and the\ncollection objects answer `QueryInterface` for it. A host's own collection "
         "object written\nwith `Set` is held and given back as it is; an object that is no "
         "collection is refused\n(error 430).\n\n";
}

void LateBinding(std::string& out) {
  out += R"(## Late binding from C++

`vexmar/dispatch/dispatch_object.hpp`:

- `dispatch::CreateObject(u"VexmarExt.ClsScoreState")` creates an object by ProgID (letter
  case ignored) or by CLSID in braces; anything else is error 429.
- `DispatchObject::GetIdOfName(name)` gives a member's dispatch id, letter case ignored;
  error 438 for an unknown name.
- `DispatchObject::Invoke(dispid, kind, args)` calls a member as method, property read,
  property write or object-property write (`contract::MemberKind`, or `InvokeFlags` to
  allow several kinds as a host does for `x = obj.Count`). Arguments are in declaration
  order; a property write takes the value as its one argument. An in/out argument
  (`strFileNames`, `strErrMsg`, `sngWeight`, `nLength`) receives the member's new value,
  converted to its declared type, also when the member fails.
- `Get(name)`, `Call(name, args)`, `Put(name, value)`, `PutRef(name, collection)` do the
  same by name. `TryInvoke` gives the outcome as a status (HRESULT, value, error)
  instead of throwing.
- Handles share the object (reference counting); each call holds its own reference
  while it runs.

How the layer is built: the class table (`vexmar/component/class_table.hpp`) gives every
name, dispatch id, kind, parameter type and direction and result type. For each class,
`vexmar/dispatch/class_bindings.hpp` only names the C++ member that serves each (kind,
name) of the table, as in `Get<&ClsScoreState::CurScore>("CurScore")`; the bound
member's parameter and result types are deduced from its C++ signature and the call is
generated from the member pointer. A compile-time check (`binding_check.hpp`) requires
every table entry to be bound exactly once with the table's signature and nothing else
to be bound, so a member cannot be added to the table or to a class without the other.

Argument conversion, as an Automation host converts:

| To | From |
|---|---|
| string | int32 and float32 as decimal text (float32 with up to 7 significant digits: 7.5 gives "7.5", 100 gives "100", 1.234568E+07), bool16 as "-1"/"0" (the number, as the platform converts an argument), Empty as "" |
| int32 | float32 rounded half to even; a numeric string (plain decimal: sign, digits, one ".", exponent, spaces around); bool16 as 0/-1; Empty as 0. Out of range: error 6 |
| float32 | int32; a numeric string; bool16 as 0/-1; Empty as 0. Beyond the float32 range: error 6 |
| bool16 | any non-zero number is true; "True"/"False" in any letter case or a numeric string; Empty as false |
| string list | a string list; Empty as an absent list |
| collection | a reference to a collection; a null reference or Empty as Nothing |

Anything else is error 13. A float32 passed as float32 keeps its exact bits.

Errors of late binding (`vexmar::Error`: number, description, HRESULT 0x800A0000 | number):

| Number | HRESULT | Description | When |
|---|---|---|---|
)";
  struct Row {
    ErrorNumber number;
    std::string_view when;
  };
  const Row rows[] = {
      {ErrorNumber::kOverflow, "a number argument outside the range of its declared type"},
      {ErrorNumber::kTypeMismatch,
       "an argument that does not convert to its declared type; a handle on an object that "
       "is not late-bound"},
      {ErrorNumber::kObjectVariableNotSet, "a call through a handle that refers to nothing"},
      {ErrorNumber::kCannotCreateObject, "an unknown ProgID or CLSID"},
      {ErrorNumber::kObjectDoesNotSupport,
       "an unknown member name or dispatch id, or a kind the member does not have (a "
       "property write on a method, a plain write on an object property)"},
      {ErrorNumber::kWrongArgumentCount, "too many or too few arguments"},
  };
  for (const auto& r : rows) {
    const Error e(r.number);
    out += "| " + std::to_string(e.Number()) + " | " + Hex(e.HResult()) + " | " +
           Utf16ToUtf8(e.Description()) + " | " + std::string(r.when) + " |\n";
  }
  out += R"(
An error that escapes a member reaches the caller the same way, with its own number
and description; what the member did before the error stays done. `ParseRule` of
`ClsExcelMultiSheets` catches its own errors and reports them in `strErrMsg`.

Example session:

```cpp
#include "vexmar/vexmar.hpp"

using namespace vexmar;

// A sheet rule, set and parsed by name.
dispatch::DispatchObject sheets = dispatch::CreateObject(u"vexmarext.clsexcelmultisheets");
sheets.Put(u"Rule", std::u16string(u"K|Sheet1#Sheet2#sheet1|2.5|Wrong sheets"));
std::array<Variant, 1> message{std::u16string(u"unchanged")};
Variant parsed = sheets.Call(u"ParseRule", message);     // Bool16 true (-1); message kept
Variant weight = sheets.Get(u"Weight");                  // 2.5f
dispatch::DispatchObject rules(std::get<ObjectRef>(sheets.Get(u"PingRules")));
Variant count = rules.Get(u"Count");                     // 2
std::array<Variant, 1> index{1};
Variant first = rules.Invoke(dispatch::kDispidValue, dispatch::InvokeFlags::kPropertyGet, index);
// first: u"K|Sheet1|2.5|Wrong sheets", the rule for one worksheet

// The same member by name and by dispatch id; an in/out argument.
dispatch::DispatchObject matcher =
    dispatch::CreateObject(u"{C670563E-A127-465D-BF49-DA8527C0A50D}");
std::int32_t id = matcher.GetIdOfName(u"MatchString");  // 0x60030000
std::array<Variant, 4> match{std::u16string(u"MySheet1"), std::u16string(u"Sheet*"), 1, 0};
Variant position = matcher.Invoke(id, contract::MemberKind::kMethod, match);  // 3; match[3] == 6

// A failure carries its number.
try {
  matcher.Put(u"MatchString", 1);
} catch (const Error& e) {
  // e.Number() == 438, e.HResult() == 0x800A01B6
}
```
)";
}

}  // namespace

std::string ReferenceMarkdown() {
  std::string out = R"(# VexmarExt reference

<!-- Generated from the class table by vexmar_reference_doc; do not edit by hand.
     Regenerate: build/debug/tools/reference_doc/vexmar_reference_doc > docs/reference.md -->

The host-facing contract of the library: the classes a host creates by ProgID or CLSID,
their members in interface order with dispatch ids, kinds and types, and how to reach
them by late binding from C++. The same contract holds for every build.

)";
  Library(out);
  ValueTypes(out);
  Classes(out);
  Collections(out);
  LateBinding(out);
  return out;
}

}  // namespace vexmar::dispatch
