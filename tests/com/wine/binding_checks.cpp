// Calls through the interfaces (early binding) and through IDispatch as a script host
// makes them: dispatch ids, in/out values, errors with their number and description,
// collections shared by reference.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "VexmarExt_h.h"
#include "client.hpp"
#include "vexmar/component/class_table.hpp"
#include "vexmar/component/error.hpp"

namespace vexmar::wine_tests {
namespace {

const contract::ClassInfo& Class(std::string_view name) {
  for (const auto& c : contract::kClasses) {
    if (c.name == name) return c;
  }
  return contract::kClasses[0];
}

template <typename T>
T* Create(std::string_view class_name) {
  const auto& c = Class(class_name);
  T* object = nullptr;
  CoCreateInstance(ToGuid(c.clsid), nullptr, CLSCTX_INPROC_SERVER, ToGuid(c.iid),
                   reinterpret_cast<void**>(&object));
  return object;
}

BSTR Text(const wchar_t* text) { return SysAllocString(text); }

// The thread's error object, taken.
struct ErrorInfo {
  std::wstring description;
  std::wstring source;
  GUID guid{};
  bool present = false;
};
ErrorInfo TakeErrorInfo() {
  ErrorInfo out;
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || info == nullptr) return out;
  BSTR text = nullptr;
  info->GetDescription(&text);
  out.description = TakeBstr(text);
  info->GetSource(&text);
  out.source = TakeBstr(text);
  info->GetGUID(&out.guid);
  info->Release();
  out.present = true;
  return out;
}

std::wstring Description(ErrorNumber n) {
  const std::u16string d = DefaultDescription(static_cast<std::int32_t>(n));
  return std::wstring(d.begin(), d.end());
}

DISPID IdOf(IDispatch* object, const wchar_t* name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

// A dispatch call with arguments in call order; EXCEPINFO starts out as garbage, as a
// caller may hand it in.
HRESULT Call(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result,
             EXCEPINFO* excep) {
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    params.rgdispidNamedArgs = &put;
    params.cNamedArgs = 1;
  }
  std::memset(excep, 0xCD, sizeof *excep);
  UINT arg_error = 0;
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, excep,
                        &arg_error);
}

VARIANT ByRef(VARIANT* target) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&v) = target;
  return v;
}
VARIANT Str(BSTR text) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = text;
  return v;
}
VARIANT Int(LONG n) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = n;
  return v;
}

std::vector<std::wstring> Strings(SAFEARRAY* array, LONG& lower, LONG& upper) {
  std::vector<std::wstring> out;
  lower = upper = -99;
  if (array == nullptr) return out;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  for (LONG i = lower; i <= upper; ++i) {
    BSTR s = nullptr;
    SafeArrayGetElement(array, &i, &s);
    out.push_back(TakeBstr(s));
  }
  return out;
}

void CheckDispatchIds(Checks& checks) {
  _ClsPatternMatchStr* matcher = Create<_ClsPatternMatchStr>("ClsPatternMatchStr");
  _ClsScoreState* score = Create<_ClsScoreState>("ClsScoreState");
  if (matcher == nullptr || score == nullptr) {
    checks.Expect(false, "objects created by CLSID through their interfaces");
    return;
  }
  checks.Equal<long>(IdOf(matcher, L"MatchString"), 0x60030000, "MatchString resolves to its id");
  checks.Equal<long>(IdOf(matcher, L"matchstring"), 0x60030000, "names ignore letter case");
  checks.Equal<long>(IdOf(score, L"CurScore"), 0x68030003, "CurScore resolves to its id");

  // Written by dispatch id, read through the interface, and the other way round.
  VARIANT value;
  VariantInit(&value);
  V_VT(&value) = VT_R4;
  V_R4(&value) = 2.5f;
  EXCEPINFO excep;
  checks.Succeeded(Call(score, 0x68030003, DISPATCH_PROPERTYPUT, {value}, nullptr, &excep),
                   "CurScore written by dispatch id");
  float got = 0;
  score->get_CurScore(&got);
  checks.Expect(got == 2.5f, "CurScore read through the interface");
  score->put_CurScore(-0.0f);
  VARIANT result;
  VariantInit(&result);
  checks.Succeeded(Call(score, 0x68030003, DISPATCH_PROPERTYGET, {}, &result, &excep),
                   "CurScore read by dispatch id");
  checks.Expect(V_VT(&result) == VT_R4 && V_R4(&result) == 0.0f && std::signbit(V_R4(&result)),
                "CurScore keeps negative zero");

  // A second object is independent.
  _ClsScoreState* other = Create<_ClsScoreState>("ClsScoreState");
  BSTR text = Text(L"x");
  score->put_ErrMsg(text);
  SysFreeString(text);
  BSTR read = nullptr;
  other->get_ErrMsg(&read);
  checks.Equal(TakeBstr(read), std::wstring(), "a second object is independent");
  other->Release();
  score->Release();
  matcher->Release();
}

void CheckInOutAndErrors(Checks& checks) {
  _ClsPatternMatchStr* matcher = Create<_ClsPatternMatchStr>("ClsPatternMatchStr");
  BSTR source = Text(L"hello world");
  BSTR find = Text(L"W*D");
  LONG length = 0;
  LONG position = 0;
  checks.Succeeded(matcher->MatchString(source, find, 1, &length, &position), "MatchString");
  checks.Expect(position == 7 && length == 5, "MatchString position 7, length 5 by reference");

  length = 7;
  SetErrorInfo(0, nullptr);
  checks.Status(matcher->MatchString(source, find, 0, &length, &position),
                static_cast<HRESULT>(0x800A0005), "start 0 is error 5 as 0x800A0005");
  checks.Equal<long>(length, 0, "the length written before the error reaches the caller");
  const ErrorInfo info = TakeErrorInfo();
  checks.Expect(info.present, "the error object is set");
  checks.Equal(info.description, Description(ErrorNumber::kInvalidProcedureCall),
               "its description is the Chinese one");
  checks.Equal(info.source, std::wstring(L"VexmarExt.ClsPatternMatchStr"),
               "its source is the ProgID");
  checks.Expect(IsEqualGUID(info.guid, ToGuid(Class("ClsPatternMatchStr").iid)),
                "its GUID is the interface's");

  // The same through dispatch, with a caller's uninitialised EXCEPINFO.
  VARIANT len_value = Int(9);
  EXCEPINFO excep;
  VARIANT result;
  VariantInit(&result);
  const HRESULT hr = Call(matcher, 0x60030000, DISPATCH_METHOD,
                          {Str(source), Str(find), Int(0), ByRef(&len_value)}, &result, &excep);
  checks.Status(hr, DISP_E_EXCEPTION, "dispatch reports the error as an exception");
  if (hr == DISP_E_EXCEPTION) {
    checks.Status(excep.scode, static_cast<HRESULT>(0x800A0005), "EXCEPINFO status 0x800A0005");
    checks.Equal(TakeBstr(excep.bstrDescription), Description(ErrorNumber::kInvalidProcedureCall),
                 "EXCEPINFO description");
    checks.Equal(TakeBstr(excep.bstrSource), std::wstring(L"VexmarExt.ClsPatternMatchStr"),
                 "EXCEPINFO source");
    SysFreeString(excep.bstrHelpFile);
  }
  checks.Expect(V_VT(&len_value) == VT_I4 && V_I4(&len_value) == 0,
                "the by-reference Variant holds the length written before the error");
  SysFreeString(source);
  SysFreeString(find);
  matcher->Release();

  // GetRuleItem writes the message, then fails on the weight.
  _ClsRepeatName* names = Create<_ClsRepeatName>("ClsRepeatName");
  BSTR rule = Text(L"K|a.xls|1e40|msg");
  BSTR message = Text(L"old");
  float weight = 3.0f;
  VARIANT_BOOL found = 0;
  checks.Status(names->GetRuleItem(rule, &message, &weight, &found),
                static_cast<HRESULT>(0x800A0006),
                "a weight beyond float32 is overflow, 0x800A0006");
  checks.Equal(TakeBstr(message), std::wstring(L"msg"), "the message written before it stays");
  checks.Expect(weight == 3.0f, "the weight is untouched");
  TakeErrorInfo();
  SysFreeString(rule);
  names->Release();
}

void CheckStringLists(Checks& checks) {
  _ClsRepeatName* names = Create<_ClsRepeatName>("ClsRepeatName");
  BSTR rule = Text(L"K|a.xls#b.xls|5|m");
  BSTR path = Text(L"C:\\nowhere");
  LONG count = -1;

  // A list passed in is replaced as a whole.
  SAFEARRAYBOUND bound{3, 5};
  SAFEARRAY* list = SafeArrayCreate(VT_BSTR, 1, &bound);
  checks.Succeeded(names->GetFileNames(rule, &list, path, &count), "GetFileNames");
  LONG lower = 0;
  LONG upper = 0;
  std::vector<std::wstring> got = Strings(list, lower, upper);
  checks.Expect(count == 2 && lower == 0 && upper == 2 && got.size() == 3 && got[0].empty() &&
                    got[1] == L"a.xls" && got[2] == L"b.xls",
                "the list comes back as '', a.xls, b.xls with bounds 0..2");
  SafeArrayDestroy(list);

  list = nullptr;
  checks.Succeeded(names->GetFileNames(rule, &list, path, &count), "GetFileNames with no list");
  checks.Expect(list != nullptr && count == 2, "a list is made for the caller");
  SafeArrayDestroy(list);

  // A fixed-size array cannot be replaced: refused, left as it was.
  bound = {2, 0};
  SAFEARRAY* fixed = SafeArrayCreate(VT_BSTR, 1, &bound);
  fixed->fFeatures |= FADF_FIXEDSIZE;
  SAFEARRAY* before = fixed;
  checks.Status(names->GetFileNames(rule, &fixed, path, &count), static_cast<HRESULT>(0x800A000A),
                "a fixed array is refused with error 10");
  checks.Expect(fixed == before, "the fixed array is left in place");
  const ErrorInfo info = TakeErrorInfo();
  checks.Expect(info.description.find(L"strFileNames") != std::wstring::npos,
                "the message names the parameter");
  fixed->fFeatures &= static_cast<USHORT>(~FADF_FIXEDSIZE);
  SafeArrayDestroy(fixed);

  // Through dispatch, a script's fixed array by reference is refused too.
  VARIANT script_array;
  VariantInit(&script_array);
  bound = {2, 0};
  V_VT(&script_array) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&script_array) = SafeArrayCreate(VT_VARIANT, 1, &bound);
  V_ARRAY(&script_array)->fFeatures |= FADF_STATIC;
  EXCEPINFO excep;
  VARIANT result;
  VariantInit(&result);
  const HRESULT hr = Call(names, 0x60030000, DISPATCH_METHOD,
                          {Str(rule), ByRef(&script_array), Str(path)}, &result, &excep);
  checks.Expect(hr == DISP_E_EXCEPTION && excep.scode == static_cast<HRESULT>(0x800A000A),
                "a static script array by reference is refused with error 10");
  if (hr == DISP_E_EXCEPTION) {
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);
  }
  V_ARRAY(&script_array)->fFeatures &= static_cast<USHORT>(~FADF_STATIC);
  VariantClear(&script_array);

  // An Empty Variant by reference receives an array of Variants, as scripts index them.
  VARIANT empty;
  VariantInit(&empty);
  VariantInit(&result);
  checks.Succeeded(Call(names, 0x60030000, DISPATCH_METHOD, {Str(rule), ByRef(&empty), Str(path)},
                        &result, &excep),
                   "GetFileNames by dispatch");
  checks.Expect(
      V_VT(&empty) == (VT_ARRAY | VT_VARIANT) && V_VT(&result) == VT_I4 && V_I4(&result) == 2,
      "the script's variable now holds the list");
  VariantClear(&empty);
  SysFreeString(rule);
  SysFreeString(path);
  names->Release();
}

// A host's own collection object (another server's), for the collection properties; or,
// made with `collection` false, an object of another kind, which they refuse.
class Foreign final : public _Collection {
 public:
  explicit Foreign(bool collection = true) : collection_(collection) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        (collection_ && IsEqualIID(iid, ToGuid(contract::kCollectionIid)))) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
  ULONG refs = 1;

 private:
  bool collection_;
};

void FreeExcepInfo(EXCEPINFO& excep) {
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrHelpFile);
}

// The collection objects are of the platform's collection type: they answer
// QueryInterface for it and serve its members by the ids its type library gives them,
// which is how a host bound early to that type calls them.
void CheckCollectionType(Checks& checks, _Collection* collection) {
  const GUID iid = ToGuid(contract::kCollectionIid);
  void* as_collection = nullptr;
  checks.Succeeded(collection->QueryInterface(iid, &as_collection),
                   "a collection answers QueryInterface for _Collection");
  checks.Expect(as_collection == collection, "as the same object");
  if (as_collection != nullptr) collection->Release();

  ITypeLib* library = nullptr;
  ITypeInfo* type = nullptr;
  const auto& lib = contract::kCollectionLibrary;
  if (CollectionLibraryRegistered() &&
      (FAILED(LoadRegTypeLib(ToGuid(lib.libid), lib.major, lib.minor, lib.lcid, &library)) ||
       FAILED(library->GetTypeInfoOfGuid(iid, &type)))) {
    checks.Expect(false, "the collection library describes _Collection");
    if (library != nullptr) library->Release();
    return;
  }
  // Without the library the ids are the class table's, which are that library's.
  for (const auto& m : contract::kCollectionMembers) {
    const std::wstring name = Wide(m.name);
    if (type != nullptr) {
      BSTR described = nullptr;
      type->GetDocumentation(m.dispid, &described, nullptr, nullptr, nullptr);
      checks.Equal(TakeBstr(described), name,
                   "_Collection describes " + std::to_string(m.dispid) + " as " + Shown(name));
    }
    checks.Equal<long>(IdOf(collection, name.c_str()), m.dispid,
                       "our collection names " + Shown(name) + " by the same id");
  }
  if (type != nullptr) type->Release();
  if (library != nullptr) library->Release();

  // Called by number, as early binding does.
  EXCEPINFO excep;
  VARIANT result;
  BSTR item = Text(L"y.xls");
  const LONG before = [&] {
    VariantInit(&result);
    Call(collection, contract::kCollectionCount.dispid, DISPATCH_PROPERTYGET, {}, &result, &excep);
    return V_VT(&result) == VT_I4 ? V_I4(&result) : -1;
  }();
  struct Step {
    const char* what;
    DISPID id;
    WORD flags;
    std::vector<VARIANT> args;
    LONG count_after;
  };
  const std::vector<Step> steps = {
      {"Add by id 1", contract::kCollectionAdd.dispid, DISPATCH_METHOD, {Str(item)}, before + 1},
      {"Item by id 0", contract::kCollectionItem.dispid, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
       {Int(before + 1)}, before + 1},
      {"Remove by id 3", contract::kCollectionRemove.dispid, DISPATCH_METHOD, {Int(before + 1)},
       before},
  };
  for (const Step& step : steps) {
    VariantInit(&result);
    checks.Succeeded(Call(collection, step.id, step.flags, step.args, &result, &excep), step.what);
    if (step.id == contract::kCollectionItem.dispid) {
      checks.Expect(V_VT(&result) == VT_BSTR && TakeBstr(V_BSTR(&result)) == L"y.xls",
                    "Item by id 0 gives the added item");
    }
    VariantInit(&result);
    Call(collection, contract::kCollectionCount.dispid, DISPATCH_PROPERTYGET, {}, &result, &excep);
    checks.Expect(V_VT(&result) == VT_I4 && V_I4(&result) == step.count_after,
                  std::string(step.what) + ": Count by id 2 follows");
  }
  SysFreeString(item);
}

// A host's own collection written into a property is held and handed back as it is,
// through the interface and through dispatch (where the type library's own dispatch
// passes it as the imported collection type).
void CheckForeignCollections(Checks& checks) {
  _ClsExcelMultiFiles* files = Create<_ClsExcelMultiFiles>("ClsExcelMultiFiles");
  _ClsExcelMultiSheets* sheets = Create<_ClsExcelMultiSheets>("ClsExcelMultiSheets");
  struct Case {
    const char* property;
    IDispatch* object;
    HRESULT (*put)(IDispatch*, _Collection*);
    HRESULT (*get)(IDispatch*, _Collection**);
  };
  const Case cases[] = {
      {"FilesName", files,
       [](IDispatch* o, _Collection* c) {
         return static_cast<_ClsExcelMultiFiles*>(o)->putref_FilesName(c);
       },
       [](IDispatch* o, _Collection** c) {
         return static_cast<_ClsExcelMultiFiles*>(o)->get_FilesName(c);
       }},
      {"PingRules", sheets,
       [](IDispatch* o, _Collection* c) {
         return static_cast<_ClsExcelMultiSheets*>(o)->putref_PingRules(c);
       },
       [](IDispatch* o, _Collection** c) {
         return static_cast<_ClsExcelMultiSheets*>(o)->get_PingRules(c);
       }},
  };
  for (const Case& c : cases) {
    const std::string p = c.property;
    Foreign foreign;
    checks.Succeeded(c.put(c.object, &foreign), p + " written with a host's own collection");
    _Collection* back = nullptr;
    c.get(c.object, &back);
    checks.Expect(back == &foreign, p + " gives it back as it is");
    if (back) back->Release();

    const DISPID id = IdOf(c.object, Wide(p).c_str());
    Foreign by_dispatch;
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_DISPATCH;
    V_DISPATCH(&value) = &by_dispatch;
    EXCEPINFO excep;
    checks.Succeeded(Call(c.object, id, DISPATCH_PROPERTYPUTREF, {value}, nullptr, &excep),
                     p + " written by dispatch (Set)");
    VARIANT result;
    VariantInit(&result);
    checks.Succeeded(Call(c.object, id, DISPATCH_PROPERTYGET, {}, &result, &excep),
                     p + " read by dispatch");
    checks.Expect(V_VT(&result) == VT_DISPATCH && V_DISPATCH(&result) == &by_dispatch,
                  p + " by dispatch gives the host's object back");
    VariantClear(&result);
    checks.Equal<long>(static_cast<long>(foreign.refs), 1, p + ": the replaced object is released");
    c.put(c.object, nullptr);
    checks.Equal<long>(static_cast<long>(by_dispatch.refs), 1, p + ": Nothing releases the other");
  }
  sheets->Release();
  files->Release();
}

// Both collection properties through IDispatch::Invoke in every form script hosts use,
// with or without the collection library: each step's status, then what the property
// holds. `first` holds one item ("x.xls"), `second` none.
void CheckCollectionDispatch(Checks& checks) {
  _ClsExcelMultiFiles* files = Create<_ClsExcelMultiFiles>("ClsExcelMultiFiles");
  _ClsExcelMultiSheets* sheets = Create<_ClsExcelMultiSheets>("ClsExcelMultiSheets");
  _Collection* first = nullptr;
  _Collection* second = nullptr;
  _ClsExcelMultiFiles* maker = Create<_ClsExcelMultiFiles>("ClsExcelMultiFiles");
  files->get_FilesName(&first);
  maker->get_FilesName(&second);
  maker->Release();
  BSTR item = Text(L"x.xls");
  VARIANT result;
  EXCEPINFO excep;
  VariantInit(&result);
  Call(first, contract::kCollectionAdd.dispid, DISPATCH_METHOD, {Str(item)}, &result, &excep);
  Foreign other(false);

  enum Holds { kFirst, kSecond, kNothing };
  VARIANT first_value;
  V_VT(&first_value) = VT_DISPATCH;
  V_DISPATCH(&first_value) = first;
  VARIANT second_value = first_value;
  V_DISPATCH(&second_value) = second;
  VARIANT null_value;
  V_VT(&null_value) = VT_NULL;
  VARIANT nothing = first_value;
  V_DISPATCH(&nothing) = nullptr;
  VARIANT other_value = first_value;
  V_DISPATCH(&other_value) = &other;
  struct Step {
    const char* what;
    WORD flags;
    std::vector<VARIANT> args;
    HRESULT status;
    Holds holds;
  };
  const Step steps[] = {
      {"Set with a collection", DISPATCH_PROPERTYPUTREF, {first_value}, S_OK, kFirst},
      {"a plain write (JScript) with another", DISPATCH_PROPERTYPUT, {second_value}, S_OK, kSecond},
      {"Set with a variable by reference", DISPATCH_PROPERTYPUTREF, {ByRef(&first_value)}, S_OK,
       kFirst},
      {"Set with an object of another kind", DISPATCH_PROPERTYPUTREF, {other_value}, E_NOINTERFACE,
       kFirst},
      {"Set with a string", DISPATCH_PROPERTYPUTREF, {Str(item)}, DISP_E_TYPEMISMATCH, kFirst},
      {"Set with two values", DISPATCH_PROPERTYPUTREF, {first_value, first_value},
       DISP_E_BADPARAMCOUNT, kFirst},
      {"called as a method", DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND, kFirst},
      {"Set to Nothing", DISPATCH_PROPERTYPUTREF, {nothing}, S_OK, kNothing},
      {"a plain write again", DISPATCH_PROPERTYPUT, {first_value}, S_OK, kFirst},
      {"null (JScript)", DISPATCH_PROPERTYPUT, {null_value}, S_OK, kNothing},
      {"Set again", DISPATCH_PROPERTYPUTREF, {first_value}, S_OK, kFirst},
  };
  const struct {
    const char* name;
    IDispatch* object;
  } properties[] = {{"FilesName", files}, {"PingRules", sheets}};
  for (const auto& p : properties) {
    const DISPID id = IdOf(p.object, Wide(p.name).c_str());
    checks.Equal<long>(id, 0x68030000, std::string(p.name) + " resolves to its id");
    for (const Step& step : steps) {
      const std::string where = std::string(p.name) + ": " + step.what;
      VariantInit(&result);
      checks.Status(Call(p.object, id, step.flags, step.args, &result, &excep), step.status, where);
      VariantClear(&result);
      VariantInit(&result);
      const HRESULT read = Call(p.object, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result,
                                &excep);
      IDispatch* want = step.holds == kFirst ? first : step.holds == kSecond ? second : nullptr;
      checks.Expect(read == S_OK && V_VT(&result) == VT_DISPATCH && V_DISPATCH(&result) == want,
                    where + ": read back");
      VariantClear(&result);
    }
    // An index after the property goes to the collection's default member (Item).
    VariantInit(&result);
    checks.Succeeded(Call(p.object, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Int(1)}, &result,
                          &excep),
                     std::string(p.name) + "(1)");
    checks.Expect(V_VT(&result) == VT_BSTR && TakeBstr(V_BSTR(&result)) == L"x.xls",
                  std::string(p.name) + "(1) is the first item");
    checks.Status(Call(p.object, id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Int(2)}, &result,
                       &excep),
                  DISP_E_EXCEPTION, std::string(p.name) + "(2) fails");
    checks.Status(excep.scode, static_cast<HRESULT>(0x800A0009), "with the subscript error 9");
    FreeExcepInfo(excep);
  }
  checks.Equal<long>(static_cast<long>(other.refs), 1, "the refused object is not kept");
  SysFreeString(item);
  sheets->Release();
  files->Release();
  second->Release();
  first->Release();
}

void CheckCollections(Checks& checks) {
  _ClsExcelMultiFiles* files = Create<_ClsExcelMultiFiles>("ClsExcelMultiFiles");
  _ClsExcelMultiSheets* sheets = Create<_ClsExcelMultiSheets>("ClsExcelMultiSheets");
  _Collection* collection = nullptr;
  checks.Succeeded(files->get_FilesName(&collection), "FilesName read");
  checks.Expect(collection != nullptr, "a new ClsExcelMultiFiles has a collection");
  if (collection == nullptr) return;
  _Collection* again = nullptr;
  files->get_FilesName(&again);
  checks.Expect(again == collection, "reading it twice gives the same object");
  if (again) again->Release();
  _Collection* none = reinterpret_cast<_Collection*>(1);
  sheets->get_PingRules(&none);
  checks.Expect(none == nullptr, "a new ClsExcelMultiSheets has no collection");
  CheckCollectionType(checks, collection);

  // Shared by reference: written into the other object, changed, read back.
  checks.Succeeded(sheets->putref_PingRules(collection), "PingRules written with that collection");
  EXCEPINFO excep;
  VARIANT result;
  VariantInit(&result);
  BSTR item = Text(L"x.xls");
  checks.Succeeded(
      Call(collection, IdOf(collection, L"Add"), DISPATCH_METHOD, {Str(item)}, &result, &excep),
      "Add to the collection");
  _Collection* through = nullptr;
  sheets->get_PingRules(&through);
  checks.Expect(through == collection, "PingRules gives the caller's collection object");
  if (through == nullptr) through = collection;
  VariantInit(&result);
  Call(through, IdOf(through, L"Count"), DISPATCH_PROPERTYGET, {}, &result, &excep);
  checks.Expect(V_VT(&result) == VT_I4 && V_I4(&result) == 1,
                "the added item is seen through PingRules");
  VariantInit(&result);
  checks.Succeeded(Call(through, DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Int(1)},
                        &result, &excep),
                   "Item is the default member");
  checks.Expect(V_VT(&result) == VT_BSTR && TakeBstr(V_BSTR(&result)) == L"x.xls",
                "Item(1) is x.xls");
  VariantInit(&result);
  checks.Status(Call(through, DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Int(2)},
                     &result, &excep),
                DISP_E_EXCEPTION, "Item(2) fails");
  checks.Status(excep.scode, static_cast<HRESULT>(0x800A0009), "with the subscript error 9");
  FreeExcepInfo(excep);
  if (through != collection) through->Release();

  // ParseRules replaces a host's collection by one of its own.
  Foreign foreign;
  files->putref_FilesName(&foreign);
  BSTR rules = Text(L"#FILE\r\na.xls");
  files->put_Rules(rules);
  LONG count = 0;
  files->ParseRules(&count);
  _Collection* back = nullptr;
  files->get_FilesName(&back);
  checks.Expect(count == 1 && back != &foreign && back != nullptr,
                "ParseRules puts a collection of its own");
  if (back) back->Release();
  checks.Succeeded(files->putref_FilesName(nullptr), "FilesName set to Nothing");
  back = reinterpret_cast<_Collection*>(1);
  files->get_FilesName(&back);
  checks.Expect(back == nullptr, "FilesName reads Nothing");
  checks.Equal<long>(static_cast<long>(foreign.refs), 1, "the other server's object is released");
  SysFreeString(rules);
  SysFreeString(item);
  collection->Release();
  sheets->Release();
  files->Release();
  CheckForeignCollections(checks);
  CheckCollectionDispatch(checks);
}

}  // namespace

void CheckBinding(Checks& checks) {
  CheckDispatchIds(checks);
  CheckInOutAndErrors(checks);
  CheckStringLists(checks);
  CheckCollections(checks);
}

}  // namespace vexmar::wine_tests
