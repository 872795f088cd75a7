// The type library against the class table, entry by entry: library attributes, the
// order and kinds of the type infos, every member's dispatch id, kind, vtable slot,
// parameter types, directions and names, and the help strings.
#include <string>
#include <vector>

#include "client.hpp"
#include "vexmar/component/class_table.hpp"

namespace vexmar::wine_tests {
namespace {

using contract::Direction;
using contract::MemberKind;
using contract::ValueType;

#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
#endif

constexpr std::string_view kUnresolved = "(unresolved import)";

std::string Expected(ValueType type) {
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
      // Where the collection library is not registered the reference stays unresolved.
      return (CollectionLibraryRegistered() ? std::string(contract::kCollectionInterface)
                                            : std::string(kUnresolved)) +
             "*";
    case ValueType::kNone:
      break;
  }
  return "void";
}

std::string Name(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
  BSTR name = nullptr;
  if (FAILED(info->GetDocumentation(id, &name, nullptr, nullptr, nullptr))) return "?";
  const std::wstring w = TakeBstr(name);
  return std::string(w.begin(), w.end());
}

std::string TypeText(ITypeInfo* info, const TYPEDESC& t) {
  switch (t.vt) {
    case VT_PTR:
      return TypeText(info, *t.lptdesc) + "*";
    case VT_SAFEARRAY:
      return "SAFEARRAY(" + TypeText(info, *t.lptdesc) + ")";
    case VT_USERDEFINED: {
      ITypeInfo* ref = nullptr;
      if (FAILED(info->GetRefTypeInfo(t.hreftype, &ref))) return std::string(kUnresolved);
      std::string name = Name(ref);
      ref->Release();
      return name;
    }
    case VT_BSTR:
      return "BSTR";
    case VT_I4:
      return "long";
    case VT_R4:
      return "float";
    case VT_BOOL:
      return "VARIANT_BOOL";
    case VT_DISPATCH:
      return "IDispatch*";
    case VT_UNKNOWN:
      return "IUnknown*";
    case VT_HRESULT:
      return "HRESULT";
    case VT_VOID:
      return "void";
    default:
      return "vt" + std::to_string(t.vt);
  }
}

INVOKEKIND InvokeKind(MemberKind kind) {
  switch (kind) {
    case MemberKind::kPropertyGet:
      return INVOKE_PROPERTYGET;
    case MemberKind::kPropertyPut:
      return INVOKE_PROPERTYPUT;
    case MemberKind::kPropertyPutRef:
      return INVOKE_PROPERTYPUTREF;
    case MemberKind::kMethod:
      break;
  }
  return INVOKE_FUNC;
}

void CheckMember(Checks& checks, ITypeInfo* vtable, UINT index, const contract::Member& m,
                 bool first_with_id, const std::string& where) {
  FUNCDESC* f = nullptr;
  if (FAILED(vtable->GetFuncDesc(index, &f))) {
    checks.Expect(false, where + " has a function entry");
    return;
  }
  checks.Equal<long>(f->memid, m.dispid, where + " dispatch id");
  checks.Equal<long>(f->invkind, InvokeKind(m.kind), where + " kind");
  checks.Equal<long>(f->funckind, FUNC_PUREVIRTUAL, where + " is a vtable entry");
  checks.Equal<long>(f->callconv, CC_STDCALL, where + " stdcall");
  checks.Equal<long>(f->oVft, static_cast<long>((7 + index) * sizeof(void*)),
                     where + " slot after IUnknown and IDispatch");
  checks.Equal<long>(f->cParamsOpt, 0, where + " no optional parameters");
  checks.Equal(TypeText(vtable, f->elemdescFunc.tdesc), std::string("HRESULT"),
               where + " returns HRESULT");

  // Expected parameters: the table's, then the result as out/retval.
  struct Param {
    std::string type;
    USHORT flags;
  };
  std::vector<Param> expected;
  for (const auto& p : m.parameters) {
    const bool inout = p.direction == Direction::kInOut;
    expected.push_back(
        {Expected(p.type) + (inout ? "*" : ""),
         static_cast<USHORT>(inout ? PARAMFLAG_FIN | PARAMFLAG_FOUT : PARAMFLAG_FIN)});
  }
  if (m.result != ValueType::kNone) {
    expected.push_back(
        {Expected(m.result) + "*", static_cast<USHORT>(PARAMFLAG_FOUT | PARAMFLAG_FRETVAL)});
  }
  checks.Equal<long>(f->cParams, static_cast<long>(expected.size()), where + " parameter count");
  for (std::size_t j = 0; j < expected.size() && j < static_cast<std::size_t>(f->cParams); ++j) {
    const ELEMDESC& e = f->lprgelemdescParam[j];
    const std::string p = where + " parameter " + std::to_string(j);
    checks.Equal(TypeText(vtable, e.tdesc), expected[j].type, p + " type");
    checks.Equal<long>(e.paramdesc.wParamFlags, expected[j].flags, p + " direction");
  }
  vtable->ReleaseFuncDesc(f);

  // Names: the member's, then the named parameters (property values and results have
  // none). Entries sharing a dispatch id are told apart by position only, so the names
  // of the first entry with each id are read.
  if (first_with_id) {
    BSTR names[8] = {};
    UINT count = 0;
    vtable->GetNames(m.dispid, names, 8, &count);
    std::vector<std::string> got;
    for (UINT i = 0; i < count; ++i) {
      const std::wstring w = TakeBstr(names[i]);
      got.emplace_back(w.begin(), w.end());
    }
    std::vector<std::string> want{std::string(m.name)};
    for (const auto& p : m.parameters) {
      if (!p.name.empty()) want.emplace_back(p.name);
    }
    std::string got_text, want_text;
    for (const auto& s : got) got_text += s + " ";
    for (const auto& s : want) want_text += s + " ";
    checks.Equal(got_text, want_text, where + " names");
  }
  checks.Equal(Name(vtable, m.dispid), std::string(m.name), where + " name");

  BSTR doc = nullptr;
  vtable->GetDocumentation(m.dispid, nullptr, &doc, nullptr, nullptr);
  const std::wstring help = TakeBstr(doc);
  checks.Equal(std::u16string(help.begin(), help.end()), std::u16string(m.help),
               where + " help string");
}

void CheckClass(Checks& checks, ITypeLib* library, UINT index, const contract::ClassInfo& c) {
  const std::string where = std::string(c.name);
  // The interface: its dispatch view first, as the library lists a dual interface.
  ITypeInfo* info = nullptr;
  if (FAILED(library->GetTypeInfo(2 * index, &info))) {
    checks.Expect(false, where + " interface present");
    return;
  }
  TYPEATTR* a = nullptr;
  info->GetTypeAttr(&a);
  checks.Equal(Name(info), std::string(c.interface_name), where + " interface name");
  checks.Expect(IsEqualGUID(a->guid, ToGuid(c.iid)), where + " interface IID");
  checks.Equal<long>(a->typekind, TKIND_DISPATCH, where + " interface is dispatchable");
  // The library stores the interface with the flags below; the loader reports the
  // dispatch view of a dual interface without "OLE-Automation compatible", which
  // describes the vtable view.
  checks.Equal<long>(a->wTypeFlags | TYPEFLAG_FOLEAUTOMATION,
                     TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                         TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE,
                     where + " interface flags (dispatch view)");
  checks.Expect(a->wMajorVerNum == 1 && a->wMinorVerNum == 0, where + " interface version 1.0");
  info->ReleaseTypeAttr(a);
  BSTR doc = nullptr;
  info->GetDocumentation(MEMBERID_NIL, nullptr, &doc, nullptr, nullptr);
  checks.Expect(TakeBstr(doc).empty(), where + " interface has no help string");

  // Its vtable view: IDispatch, then the members in the table's order.
  HREFTYPE ref = 0;
  ITypeInfo* vtable = nullptr;
  if (FAILED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) ||
      FAILED(info->GetRefTypeInfo(ref, &vtable))) {
    checks.Expect(false, where + " has a vtable interface");
    info->Release();
    return;
  }
  vtable->GetTypeAttr(&a);
  checks.Equal<long>(a->typekind, TKIND_INTERFACE, where + " vtable kind");
  checks.Equal<long>(a->wTypeFlags,
                     TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                         TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE,
                     where + " interface flags (vtable view)");
  checks.Equal<long>(a->cFuncs, static_cast<long>(c.members.size()), where + " member count");
  const UINT funcs = a->cFuncs;
  vtable->ReleaseTypeAttr(a);
  HREFTYPE base_ref = 0;
  ITypeInfo* base = nullptr;
  if (SUCCEEDED(vtable->GetRefTypeOfImplType(0, &base_ref)) &&
      SUCCEEDED(vtable->GetRefTypeInfo(base_ref, &base))) {
    checks.Equal(Name(base), std::string("IDispatch"), where + " derives from IDispatch");
    base->Release();
  }
  for (UINT i = 0; i < funcs && i < c.members.size(); ++i) {
    const bool first_with_id = i == 0 || c.members[i - 1].dispid != c.members[i].dispid;
    CheckMember(checks, vtable, i, c.members[i], first_with_id,
                where + "." + std::string(c.members[i].name) + "#" + std::to_string(i + 1));
  }
  vtable->Release();
  info->Release();

  // The coclass.
  if (FAILED(library->GetTypeInfo(2 * index + 1, &info))) {
    checks.Expect(false, where + " coclass present");
    return;
  }
  info->GetTypeAttr(&a);
  checks.Equal(Name(info), std::string(c.name), where + " coclass name");
  checks.Expect(IsEqualGUID(a->guid, ToGuid(c.clsid)), where + " CLSID");
  checks.Equal<long>(a->typekind, TKIND_COCLASS, where + " coclass kind");
  checks.Equal<long>(a->wTypeFlags, TYPEFLAG_FCANCREATE, where + " creatable, nothing else");
  checks.Equal<long>(a->cImplTypes, 1, where + " one interface");
  info->ReleaseTypeAttr(a);
  INT impl_flags = 0;
  info->GetImplTypeFlags(0, &impl_flags);
  checks.Equal<long>(impl_flags, IMPLTYPEFLAG_FDEFAULT, where + " default, not a source");
  if (SUCCEEDED(info->GetRefTypeOfImplType(0, &ref)) &&
      SUCCEEDED(info->GetRefTypeInfo(ref, &vtable))) {
    checks.Equal(Name(vtable), std::string(c.interface_name), where + " coclass interface");
    vtable->Release();
  }
  info->Release();
}

// The type a collection entry refers to: `_Collection` of the imported collection
// library, a dispatch interface, found through the library's LIBID, version and LCID.
// Where that library is not registered the reference must stay unresolved: nothing may
// stand in for it.
void CheckCollectionType(Checks& checks, ITypeInfo* vtable, const TYPEDESC& type,
                         const std::string& where) {
  const TYPEDESC* t = &type;
  while (t->vt == VT_PTR) t = t->lptdesc;
  ITypeInfo* ref = nullptr;
  const HRESULT resolved =
      t->vt == VT_USERDEFINED ? vtable->GetRefTypeInfo(t->hreftype, &ref) : E_FAIL;
  if (!CollectionLibraryRegistered()) {
    checks.Expect(t->vt == VT_USERDEFINED && FAILED(resolved),
                  where + " refers to the collection library, not registered here");
    if (ref != nullptr) ref->Release();
    return;
  }
  if (FAILED(resolved)) {
    checks.Expect(false, where + " refers to a type that resolves");
    return;
  }
  TYPEATTR* a = nullptr;
  ref->GetTypeAttr(&a);
  checks.Expect(IsEqualGUID(a->guid, ToGuid(contract::kCollectionIid)) &&
                    a->typekind == TKIND_DISPATCH,
                where + " is the collection dispatch interface");
  ref->ReleaseTypeAttr(a);
  ITypeLib* owner = nullptr;
  UINT index = 0;
  if (SUCCEEDED(ref->GetContainingTypeLib(&owner, &index))) {
    TLIBATTR* l = nullptr;
    owner->GetLibAttr(&l);
    const auto& lib = contract::kCollectionLibrary;
    checks.Expect(IsEqualGUID(l->guid, ToGuid(lib.libid)) && l->wMajorVerNum == lib.major &&
                      l->wMinorVerNum == lib.minor && l->lcid == lib.lcid,
                  where + " comes from the collection library " + FormatGuid(lib.libid) +
                      " 5.0, LCID 9");
    owner->ReleaseTLibAttr(l);
    owner->Release();
  }
  ref->Release();
}

void CheckCollectionEntries(Checks& checks, ITypeLib* library, const std::string& which) {
  int entries = 0;
  for (UINT c = 0; c < contract::kClasses.size(); ++c) {
    const auto& info = contract::kClasses[c];
    ITypeInfo* dispatch = nullptr;
    ITypeInfo* vtable = nullptr;
    HREFTYPE ref = 0;
    if (FAILED(library->GetTypeInfo(2 * c, &dispatch))) continue;
    if (SUCCEEDED(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) &&
        SUCCEEDED(dispatch->GetRefTypeInfo(ref, &vtable))) {
      for (UINT i = 0; i < info.members.size(); ++i) {
        const auto& m = info.members[i];
        const bool in = !m.parameters.empty() && m.parameters[0].type == ValueType::kCollection;
        if (!in && m.result != ValueType::kCollection) continue;
        FUNCDESC* f = nullptr;
        if (FAILED(vtable->GetFuncDesc(i, &f))) continue;
        if (f->cParams == 1) {
          CheckCollectionType(checks, vtable, f->lprgelemdescParam[0].tdesc,
                              which + " " + std::string(info.name) + "." + std::string(m.name) +
                                  "#" + std::to_string(i + 1));
          ++entries;
        }
        vtable->ReleaseFuncDesc(f);
      }
      vtable->Release();
    }
    dispatch->Release();
  }
  checks.Equal<long>(entries, 4, which + ": PingRules and FilesName, read and write");
}

void CheckLibrary(Checks& checks, ITypeLib* library, const std::string& which) {
  const auto& lib = contract::kLibrary;
  TLIBATTR* a = nullptr;
  library->GetLibAttr(&a);
  checks.Expect(IsEqualGUID(a->guid, ToGuid(lib.libid)), which + " LIBID");
  checks.Equal<long>(static_cast<long>(a->lcid), static_cast<long>(lib.lcid), which + " LCID");
  checks.Expect(a->wMajorVerNum == lib.major && a->wMinorVerNum == lib.minor,
                which + " version 1.1");
  checks.Equal<long>(a->syskind, kSysKind, which + " target system");
  // LIBFLAG_FHASDISKIMAGE only says that the library was loaded from a file.
  checks.Equal<long>(a->wLibFlags & ~LIBFLAG_FHASDISKIMAGE, 0,
                     which + " not restricted, hidden or a control library");
  library->ReleaseTLibAttr(a);
  BSTR name = nullptr;
  BSTR doc = nullptr;
  BSTR help = nullptr;
  library->GetDocumentation(-1, &name, &doc, nullptr, &help);
  checks.Equal(TakeBstr(name), Wide(lib.name), which + " name");
  checks.Expect(TakeBstr(doc).empty(), which + " no description");
  checks.Expect(TakeBstr(help).empty(), which + " no help file");
  checks.Equal<long>(static_cast<long>(library->GetTypeInfoCount()),
                     static_cast<long>(2 * contract::kClasses.size()), which + " type info count");
  for (UINT i = 0; i < contract::kClasses.size(); ++i) {
    CheckClass(checks, library, i, contract::kClasses[i]);
  }
  CheckCollectionEntries(checks, library, which);
}

}  // namespace

void CheckTypeLibrary(Checks& checks, const std::wstring& dll_path) {
  const auto& lib = contract::kLibrary;
  ITypeLib* embedded = nullptr;
  checks.Succeeded(LoadTypeLibEx(dll_path.c_str(), REGKIND_NONE, &embedded),
                   "the module's TYPELIB resource loads");
  if (embedded != nullptr) {
    CheckLibrary(checks, embedded, "embedded type library");
    embedded->Release();
  }
  ITypeLib* registered = nullptr;
  checks.Succeeded(LoadRegTypeLib(ToGuid(lib.libid), lib.major, lib.minor, lib.lcid, &registered),
                   "the registered type library loads");
  if (registered != nullptr) {
    TLIBATTR* a = nullptr;
    registered->GetLibAttr(&a);
    checks.Expect(IsEqualGUID(a->guid, ToGuid(lib.libid)),
                  "registered type library is the library's");
    registered->ReleaseTLibAttr(a);
    registered->Release();
  }
}

}  // namespace vexmar::wine_tests
