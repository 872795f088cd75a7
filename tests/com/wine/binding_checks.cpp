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

// An automation object of another server, for the collection properties.
class Foreign final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
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
};

void CheckCollections(Checks& checks) {
  _ClsExcelMultiFiles* files = Create<_ClsExcelMultiFiles>("ClsExcelMultiFiles");
  _ClsExcelMultiSheets* sheets = Create<_ClsExcelMultiSheets>("ClsExcelMultiSheets");
  IDispatch* collection = nullptr;
  checks.Succeeded(files->get_FilesName(&collection), "FilesName read");
  checks.Expect(collection != nullptr, "a new ClsExcelMultiFiles has a collection");
  IDispatch* again = nullptr;
  files->get_FilesName(&again);
  checks.Expect(again == collection, "reading it twice gives the same object");
  if (again) again->Release();
  IDispatch* none = reinterpret_cast<IDispatch*>(1);
  sheets->get_PingRules(&none);
  checks.Expect(none == nullptr, "a new ClsExcelMultiSheets has no collection");

  // Shared by reference: written into the other object, changed, read back.
  checks.Succeeded(sheets->putref_PingRules(collection), "PingRules written with that collection");
  EXCEPINFO excep;
  VARIANT result;
  VariantInit(&result);
  BSTR item = Text(L"x.xls");
  checks.Succeeded(
      Call(collection, IdOf(collection, L"Add"), DISPATCH_METHOD, {Str(item)}, &result, &excep),
      "Add to the collection");
  IDispatch* through = nullptr;
  sheets->get_PingRules(&through);
  checks.Expect(through == collection, "PingRules gives the caller's collection object");
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
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrSource);
  if (through) through->Release();

  // Another server's collection is kept and given back as it is.
  Foreign foreign;
  checks.Succeeded(files->putref_FilesName(&foreign),
                   "FilesName written with another server's object");
  IDispatch* back = nullptr;
  files->get_FilesName(&back);
  checks.Expect(back == &foreign, "FilesName gives that object back");
  if (back) back->Release();
  BSTR rules = Text(L"#FILE\r\na.xls");
  files->put_Rules(rules);
  LONG count = 0;
  files->ParseRules(&count);
  back = nullptr;
  files->get_FilesName(&back);
  checks.Expect(count == 1 && back != &foreign && back != nullptr,
                "ParseRules puts a collection of its own");
  if (back) back->Release();
  checks.Succeeded(files->putref_FilesName(nullptr), "FilesName set to Nothing");
  back = reinterpret_cast<IDispatch*>(1);
  files->get_FilesName(&back);
  checks.Expect(back == nullptr, "FilesName reads Nothing");
  checks.Equal<long>(static_cast<long>(foreign.refs), 1, "the other server's object is released");
  SysFreeString(rules);
  SysFreeString(item);
  collection->Release();
  sheets->Release();
  files->Release();
}

}  // namespace

void CheckBinding(Checks& checks) {
  CheckDispatchIds(checks);
  CheckInOutAndErrors(checks);
  CheckStringLists(checks);
  CheckCollections(checks);
}

}  // namespace vexmar::wine_tests
