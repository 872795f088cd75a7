// parse_rule_bench <directory> <workbook> <rule> <calls>: ParseRule of a sheet rule with a
// pattern through the registered server, as a host calls it by automation, timed per call
// (the spreadsheet application that the setting chooses is started, asked and released
// on every call). Prints the mean and the fastest call in microseconds. Google Benchmark
// has no Windows build in Debian; the loop is timed with the performance counter.
#include <windows.h>  // first: the other platform headers rely on its types

#include <ole2.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring Wide(const char* text) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), n);
  return out;
}

HRESULT Invoke(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* arg, VARIANT* result) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  DISPID put = DISPID_PROPERTYPUT;
  const bool is_put = flags == DISPATCH_PROPERTYPUT;
  DISPPARAMS params{arg, is_put ? &put : nullptr, arg != nullptr ? 1u : 0u, is_put ? 1u : 0u};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

bool Put(IDispatch* object, const wchar_t* name, const std::wstring& text) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(text.c_str());
  const HRESULT hr = Invoke(object, name, DISPATCH_PROPERTYPUT, &v, nullptr);
  VariantClear(&v);
  return SUCCEEDED(hr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::printf("usage: parse_rule_bench <directory> <workbook> <rule> <calls>\n");
    return 2;
  }
  const int calls = std::max(1, std::atoi(argv[4]));
  CoInitialize(nullptr);
  CLSID clsid;
  IDispatch* check = nullptr;
  if (FAILED(CLSIDFromProgID(L"VexmarExt.ClsExcelMultiSheets", &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&check)))) {
    std::printf("VexmarExt.ClsExcelMultiSheets cannot be created\n");
    return 1;
  }
  if (!Put(check, L"TestPath", Wide(argv[1])) || !Put(check, L"FileName", Wide(argv[2])) ||
      !Put(check, L"Rule", Wide(argv[3]))) {
    std::printf("the properties cannot be written\n");
    return 1;
  }
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  double total = 0;
  double fastest = 1e300;
  bool all_true = true;
  for (int i = 0; i <= calls; ++i) {
    BSTR message = SysAllocString(L"");
    VARIANT arg;
    VariantInit(&arg);
    V_VT(&arg) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&arg) = &message;
    VARIANT result;
    VariantInit(&result);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const HRESULT hr = Invoke(check, L"ParseRule", DISPATCH_METHOD, &arg, &result);
    QueryPerformanceCounter(&end);
    all_true = all_true && SUCCEEDED(hr) && V_VT(&result) == VT_BOOL && V_BOOL(&result) != 0;
    SysFreeString(message);
    VariantClear(&result);
    if (i == 0) continue;  // the first call loads and warms up
    const double us = 1e6 * static_cast<double>(end.QuadPart - start.QuadPart) /
                      static_cast<double>(frequency.QuadPart);
    total += us;
    fastest = std::min(fastest, us);
  }
  std::printf("%s: %d calls, %.1f us per call, fastest %.1f us, results %s\n", argv[2], calls,
              total / calls, fastest, all_true ? "all true" : "NOT ALL TRUE");
  check->Release();
  CoUninitialize();
  return all_true ? 0 : 1;
}
