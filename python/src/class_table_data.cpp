#include "python/src/class_table_data.hpp"

#include <string>

#include "python/src/values.hpp"
#include "vexmar/vexmar.hpp"

namespace vexmar::python {
namespace {

using contract::MemberKind;
using contract::ValueType;

const char* KindName(MemberKind kind) {
  switch (kind) {
    case MemberKind::kMethod:
      return "method";
    case MemberKind::kPropertyGet:
      return "get";
    case MemberKind::kPropertyPut:
      return "put";
    case MemberKind::kPropertyPutRef:
      return "putref";
  }
  return "?";
}

const char* TypeName(ValueType type) {
  switch (type) {
    case ValueType::kNone:
      return "none";
    case ValueType::kString:
      return "str";
    case ValueType::kInt32:
      return "int";
    case ValueType::kFloat32:
      return "float";
    case ValueType::kBool16:
      return "bool";
    case ValueType::kStringList:
      return "strlist";
    case ValueType::kCollection:
      return "collection";
  }
  return "?";
}

py::str Ascii(std::string_view text) { return py::str(std::string(text)); }

}  // namespace

py::list ClassTableData() {
  py::list classes;
  for (const auto& info : contract::kClasses) {
    py::list members;
    for (const auto& m : info.members) {
      py::list parameters;
      for (const auto& p : m.parameters) {
        parameters.append(py::make_tuple(Ascii(p.name), TypeName(p.type),
                                         p.direction == contract::Direction::kIn ? "in" : "inout"));
      }
      py::dict member;
      member["kind"] = KindName(m.kind);
      member["name"] = Ascii(m.name);
      member["dispid"] = m.dispid;
      member["parameters"] = parameters;
      member["result"] = TypeName(m.result);
      member["help"] = FromU16(m.help);
      members.append(member);
    }
    py::dict entry;
    entry["name"] = Ascii(info.name);
    entry["prog_id"] = Ascii(info.prog_id);
    entry["clsid"] = FormatGuid(info.clsid);
    entry["members"] = members;
    classes.append(entry);
  }
  return classes;
}

py::list CollectionMemberData() {
  py::list members;
  for (const auto& m : dispatch::CollectionMembers()) {
    if (m.name.starts_with('_')) continue;
    const bool is_value =
        m.parameter.empty() && dispatch::Allows(m.flags, MemberKind::kPropertyGet);
    py::dict member;
    member["name"] = Ascii(m.name);
    member["kind"] = is_value ? "get" : "method";
    member["parameter"] = Ascii(m.parameter);
    member["help"] = Ascii(m.description);
    members.append(member);
  }
  return members;
}

}  // namespace vexmar::python
