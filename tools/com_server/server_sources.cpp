#include "tools/com_server/server_sources.hpp"

#include <cstdio>
#include <iterator>
#include <string_view>

#include "tools/com_server/type_library_file.hpp"
#include "vexmar/component/class_table.hpp"
#include "vexmar/component/utf.hpp"

namespace vexmar::com {
namespace {

using contract::ClassInfo;
using contract::Direction;
using contract::Member;
using contract::MemberKind;
using contract::Parameter;
using contract::ValueType;

constexpr std::string_view kNotice =
    "// Written from vexmar/component/class_table.hpp by vexmar_write_server_sources while\n"
    "// the server is built.\n";

// "XXXXXXXX-XXXX-..." without the braces, as IDL attributes want it.
std::string BareGuid(const Guid& guid) {
  const std::string braced = FormatGuid(guid);
  return braced.substr(1, braced.size() - 2);
}

std::string Hex(std::uint32_t value, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", digits, value);
  return buf;
}

// The IDL type of a value passed in (by value) or by reference.
std::string_view IdlType(ValueType type) {
  switch (type) {
    case ValueType::kString:
      return "BSTR";
    case ValueType::kInt32:
      return "long";
    case ValueType::kFloat32:
      return "float";
    case ValueType::kBool16:
      return "VARIANT_BOOL";
    case ValueType::kStringList:
      return "SAFEARRAY(BSTR)";
    case ValueType::kCollection:
      return "_Collection*";
    case ValueType::kNone:
      break;
  }
  return "void";
}

std::string_view KindAttribute(MemberKind kind) {
  switch (kind) {
    case MemberKind::kPropertyGet:
      return ", propget";
    case MemberKind::kPropertyPut:
      return ", propput";
    case MemberKind::kPropertyPutRef:
      return ", propputref";
    case MemberKind::kMethod:
      break;
  }
  return "";
}

std::string ParameterText(const Parameter& p) {
  std::string text = p.direction == Direction::kInOut ? "[in, out] " : "[in] ";
  text += IdlType(p.type);
  // Every in/out parameter is passed by reference.
  if (p.direction == Direction::kInOut) text += "*";
  text += ' ';
  text += p.name.empty() ? kUnnamedParameter : p.name;
  return text;
}

void WriteMember(std::string& out, const Member& m) {
  out += "    [id(" + Hex(static_cast<std::uint32_t>(m.dispid), 8) + ")";
  out += KindAttribute(m.kind);
  if (!m.help.empty()) out += ", helpstring(\"" + Utf16ToUtf8(m.help) + "\")";
  out += "]\n    HRESULT ";
  out += m.name;
  out += "(";
  bool first = true;
  for (const Parameter& p : m.parameters) {
    if (!first) out += ", ";
    out += ParameterText(p);
    first = false;
  }
  if (m.result != ValueType::kNone) {
    if (!first) out += ", ";
    out += "[out, retval] ";
    out += IdlType(m.result);
    out += "* ";
    out += kUnnamedParameter;
  }
  out += ");\n";
}

void WriteClass(std::string& out, const ClassInfo& c) {
  out += "  [\n    uuid(" + BareGuid(c.iid) +
         "),\n    version(1.0),\n    hidden,\n    dual,\n    nonextensible,\n"
         "    oleautomation\n  ]\n";
  out += "  interface ";
  out += c.interface_name;
  out += " : IDispatch\n  {\n";
  for (const Member& m : c.members) WriteMember(out, m);
  out += "  };\n\n";
  out += "  [\n    uuid(" + BareGuid(c.clsid) + "),\n    version(1.0)\n  ]\n";
  out += "  coclass ";
  out += c.name;
  out += "\n  {\n    [default] interface ";
  out += c.interface_name;
  out += ";\n  };\n\n";
}

}  // namespace

std::string TypeLibraryIdl() {
  const auto& lib = contract::kLibrary;
  std::string out(kNotice);
  out += "\nimport \"oaidl.idl\";\nimport \"";
  out += kCollectionInterfaceIdl;
  out += "\";\n\n";
  out += "[\n  uuid(" + BareGuid(lib.libid) + "),\n  version(" + std::to_string(lib.major) + "." +
         std::to_string(lib.minor) + "),\n  lcid(" + std::to_string(lib.lcid) + ")\n]\n";
  out += "library ";
  out += lib.name;
  out += "\n{\n";
  for (const auto& imported : contract::kImportedLibraries) {
    out += "  importlib(\"";
    out += imported.file;
    out += "\");\n";
  }
  out += "\n";
  for (const ClassInfo& c : contract::kClasses) WriteClass(out, c);
  out.pop_back();  // no blank line before the closing brace
  out += "};\n";
  return out;
}

std::string CollectionInterfaceIdl() {
  // Parameters as the platform's collection takes them; the ids come from the table.
  struct Entry {
    const contract::CollectionMemberId& id;
    std::string_view signature;
  };
  const Entry entries[] = {
      {contract::kCollectionItem, "VARIANT Item([in] VARIANT* Index)"},
      {contract::kCollectionAdd,
       "void Add([in] VARIANT* Item, [in, optional] VARIANT* Key, [in, optional] VARIANT* "
       "Before, [in, optional] VARIANT* After)"},
      {contract::kCollectionCount, "long Count()"},
      {contract::kCollectionRemove, "void Remove([in] VARIANT* Index)"},
      {contract::kCollectionNewEnum, "IUnknown* _NewEnum()"},
  };
  static_assert(std::size(entries) == contract::kCollectionMembers.size());
  std::string out(kNotice);
  out += "\nimport \"oaidl.idl\";\n\n[\n  uuid(" + BareGuid(contract::kCollectionIid) +
         ")\n]\ndispinterface ";
  out += contract::kCollectionInterface;
  out += "\n{\n  properties:\n  methods:\n";
  for (const Entry& e : entries) {
    out += "  [id(" + Hex(static_cast<std::uint32_t>(e.id.dispid), 8) + ")] ";
    out += e.signature;
    out += ";\n";
  }
  out += "};\n";
  return out;
}

std::string CollectionLibraryIdl() {
  const auto& lib = contract::kCollectionLibrary;
  std::string out(kNotice);
  out += "\nimport \"";
  out += kCollectionInterfaceIdl;
  out += "\";\n\n[\n  uuid(" + BareGuid(lib.libid) + "),\n  version(" +
         std::to_string(lib.major) + "." + std::to_string(lib.minor) + "),\n  lcid(" +
         std::to_string(lib.lcid) + ")\n]\nlibrary VexmarCollectionStandIn\n{\n";
  out += "  importlib(\"";
  out += contract::kImportedLibraries[0].file;
  out += "\");\n  dispinterface ";
  out += contract::kCollectionInterface;
  out += ";\n};\n";
  return out;
}

std::string InterfaceIdResources() {
  std::string out(kNotice);
  out += "\nLANGUAGE 0, 0\n";
  for (const ClassInfo& c : contract::kClasses) {
    const Guid& g = c.iid;
    out += "\n1 ";
    out += c.iid_resource;
    out += "\n{\n  16L,\n  " + Hex(g.data1, 8) + "L, " + Hex(g.data2, 4) + ", " + Hex(g.data3, 4);
    // The eight final bytes as four little-endian 16-bit words.
    for (std::size_t i = 0; i < g.data4.size(); i += 2) {
      const auto word = static_cast<std::uint32_t>(g.data4[i] | (g.data4[i + 1] << 8));
      out += ", " + Hex(word, 4);
    }
    out += "\n}\n";
  }
  return out;
}

}  // namespace vexmar::com
