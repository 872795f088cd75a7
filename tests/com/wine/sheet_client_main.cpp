// vexmar_sheet_client <directory> <rules file> <workbook>...: the worksheet-check table
// through the registered server by early-less, name-bound automation, as a C++ host
// without the type library's header drives it. One line per workbook and rule in UTF-8
// (workbook, rule, result, message, per-sheet rules as <...><...>), the same table that
// vexmar_sheet_check prints on Linux.
#include <windows.h>  // first: the other platform headers rely on its types

#include <ole2.h>
#include <oleauto.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "vexmar/component/utf.hpp"

namespace {

std::wstring Wide(const std::string& utf8) {
  const std::u16string text = vexmar::Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

std::string Utf8(const wchar_t* text, UINT length) {
  return vexmar::Utf16ToUtf8(std::u16string(text, text + length));
}

// A member call by name; the result, or a failure printed and VT_EMPTY.
HRESULT Call(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* args, UINT count,
             VARIANT* result) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{args, flags == DISPATCH_PROPERTYPUT ? &put : nullptr, count,
                    flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
  EXCEPINFO info{};
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &info, nullptr);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  return hr;
}

HRESULT PutText(IDispatch* object, const wchar_t* name, const std::wstring& text) {
  VARIANT value;
  VariantInit(&value);
  V_VT(&value) = VT_BSTR;
  V_BSTR(&value) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  const HRESULT hr = Call(object, name, DISPATCH_PROPERTYPUT, &value, 1, nullptr);
  VariantClear(&value);
  return hr;
}

// The collection's items as <...><...>, by For Each.
std::string Items(IDispatch* collection) {
  VARIANT enumerator;
  VariantInit(&enumerator);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  std::string out;
  if (FAILED(collection->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                                DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &enumerator,
                                nullptr, nullptr))) {
    return "#no enumerator";
  }
  IEnumVARIANT* items = nullptr;
  if (V_VT(&enumerator) == VT_UNKNOWN || V_VT(&enumerator) == VT_DISPATCH) {
    V_UNKNOWN(&enumerator)->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&items));
  }
  VariantClear(&enumerator);
  if (items == nullptr) return "#no enumerator";
  VARIANT item;
  VariantInit(&item);
  ULONG fetched = 0;
  while (items->Next(1, &item, &fetched) == S_OK && fetched == 1) {
    if (V_VT(&item) == VT_BSTR) {
      out += "<" + Utf8(V_BSTR(&item), SysStringLen(V_BSTR(&item))) + ">";
    } else {
      out += "<#not text>";
    }
    VariantClear(&item);
  }
  items->Release();
  return out;
}

std::string CheckOne(const CLSID& clsid, const std::string& dir, const std::string& book,
                     const std::string& rule) {
  IDispatch* check = nullptr;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&check));
  if (FAILED(hr)) return "#cannot create the class";
  std::string line;
  if (FAILED(PutText(check, L"Rule", Wide(rule))) || FAILED(PutText(check, L"TestPath", Wide(dir))) ||
      FAILED(PutText(check, L"FileName", Wide(book)))) {
    line = "#property write failed";
  } else {
    BSTR message = SysAllocString(L"");
    VARIANT argument;
    VariantInit(&argument);
    V_VT(&argument) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&argument) = &message;
    VARIANT result;
    VariantInit(&result);
    hr = Call(check, L"ParseRule", DISPATCH_METHOD, &argument, 1, &result);
    VARIANT rules;
    VariantInit(&rules);
    const HRESULT rules_hr = Call(check, L"PingRules", DISPATCH_PROPERTYGET, nullptr, 0, &rules);
    std::string items;
    if (SUCCEEDED(rules_hr) && V_VT(&rules) == VT_DISPATCH && V_DISPATCH(&rules) != nullptr) {
      items = Items(V_DISPATCH(&rules));
    } else {
      char detail[64];
      std::snprintf(detail, sizeof detail, "#PingRules 0x%08lX vt %u",
                    static_cast<unsigned long>(rules_hr), static_cast<unsigned>(V_VT(&rules)));
      items = detail;
    }
    if (FAILED(hr) || V_VT(&result) != VT_BOOL) {
      line = "#ParseRule failed";
    } else {
      line = std::string(V_BOOL(&result) ? "True" : "False") + "\t" +
             Utf8(message, SysStringLen(message)) + "\t" + items;
    }
    VariantClear(&rules);
    VariantClear(&result);
    SysFreeString(message);
  }
  check->Release();
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf("usage: vexmar_sheet_client <directory> <rules file> <workbook>...\n");
    return 2;
  }
  CoInitialize(nullptr);
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(L"VexmarExt.ClsExcelMultiSheets", &clsid))) {
    std::printf("#VexmarExt.ClsExcelMultiSheets is not registered\n");
    return 1;
  }
  std::vector<std::string> rules;
  std::ifstream in(argv[2]);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) rules.push_back(line);
  }
  for (int i = 3; i < argc; ++i) {
    for (const std::string& rule : rules) {
      std::printf("%s\t%s\t%s\n", argv[i], rule.c_str(), CheckOne(clsid, argv[1], argv[i], rule).c_str());
    }
  }
  CoUninitialize();
  return 0;
}
