// The module itself: resources, version record, exports by ordinal, class objects,
// unloading, and what unregistration removes.
#include <cstring>
#include <string>
#include <vector>

#include "client.hpp"
#include "vexmar/component/class_table.hpp"

namespace vexmar::wine_tests {
namespace {

#ifdef _WIN64
constexpr const wchar_t* kSysKey = L"win64";
#else
constexpr const wchar_t* kSysKey = L"win32";
#endif

using CanUnloadNow = HRESULT(WINAPI*)();
using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, LPVOID*);
using RegisterServer = HRESULT(WINAPI*)();

template <typename F>
F Export(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
template <typename F>
F ExportByOrdinal(HMODULE module, WORD ordinal) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(
      GetProcAddress(module, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(ordinal)))));
}

void CheckResources(Checks& checks, HMODULE module) {
  for (const auto& c : contract::kClasses) {
    const std::wstring type = Wide(c.iid_resource);
    HRSRC found = FindResourceExW(module, type.c_str(), MAKEINTRESOURCEW(1),
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    const std::string where = "resource " + std::string(c.iid_resource);
    if (found == nullptr) {
      checks.Expect(false, where + " present, language neutral");
      continue;
    }
    const DWORD size = SizeofResource(module, found);
    const auto* bytes =
        static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    checks.Equal<long>(static_cast<long>(size), 20, where + " size");
    if (size != 20 || bytes == nullptr) continue;
    DWORD length = 0;
    std::memcpy(&length, bytes, 4);
    checks.Equal<long>(static_cast<long>(length), 16, where + " length field");
    const GUID iid = ToGuid(c.iid);
    checks.Expect(std::memcmp(bytes + 4, &iid, 16) == 0, where + " holds the interface IID");
  }
  checks.Expect(FindResourceExW(module, L"TYPELIB", MAKEINTRESOURCEW(1),
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)) != nullptr,
                "resource TYPELIB 1, language neutral");
  checks.Expect(FindResourceExW(module, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1),
                                MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)) != nullptr,
                "version record 1 in Chinese (PRC)");
}

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name, bool& present) {
  const std::wstring path = std::wstring(L"\\StringFileInfo\\080404B0\\") + name;
  void* value = nullptr;
  UINT length = 0;
  present = VerQueryValueW(block.data(), path.c_str(), &value, &length) != 0;
  if (!present || value == nullptr || length == 0) return {};
  return std::wstring(static_cast<const wchar_t*>(value));
}

void CheckVersion(Checks& checks, const std::wstring& dll_path) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(dll_path.c_str(), &handle);
  std::vector<BYTE> block(size);
  if (size == 0 || !GetFileVersionInfoW(dll_path.c_str(), 0, size, block.data())) {
    checks.Expect(false, "version record readable");
    return;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length);
  checks.Expect(fixed != nullptr && fixed->dwFileVersionMS == 0x00010000 &&
                    fixed->dwFileVersionLS == 0x00000003 &&
                    fixed->dwProductVersionMS == 0x00010000 &&
                    fixed->dwProductVersionLS == 0x00000003,
                "version 1.0.0.3");
  checks.Expect(fixed != nullptr && fixed->dwFileType == VFT_DLL &&
                    fixed->dwFileOS == VOS__WINDOWS32 && fixed->dwFileFlags == 0,
                "a DLL for 32-bit Windows, no file flags");
  WORD* translation = nullptr;
  VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                 reinterpret_cast<void**>(&translation), &length);
  checks.Expect(
      translation != nullptr && length == 4 && translation[0] == 0x0804 && translation[1] == 1200,
      "translation 0x0804, code page 1200");
  const struct {
    const wchar_t* name;
    const wchar_t* value;
  } strings[] = {{L"FileVersion", L"1.00.0003"},
                 {L"ProductVersion", L"1.00.0003"},
                 {L"InternalName", L"VexmarExt"},
                 {L"OriginalFilename", L"VexmarExt.dll"},
                 {L"OLESelfRegister", L""}};
  for (const auto& s : strings) {
    bool present = false;
    const std::wstring value = VersionString(block, s.name, present);
    checks.Expect(present && value == s.value, "version string " + Shown(std::wstring(s.name)),
                  present ? "got " + Shown(value) : "missing");
  }
  for (const wchar_t* name : {L"CompanyName", L"ProductName"}) {
    bool present = false;
    VersionString(block, name, present);
    checks.Expect(present, "version string " + Shown(std::wstring(name)));
  }
}

void CheckExports(Checks& checks, HMODULE module) {
  const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                         "DllUnregisterServer"};
  for (WORD ordinal = 1; ordinal <= 4; ++ordinal) {
    void* by_ordinal = ExportByOrdinal<void*>(module, ordinal);
    void* by_name = Export<void*>(module, names[ordinal - 1]);
    checks.Expect(by_ordinal != nullptr && by_ordinal == by_name,
                  "export " + std::to_string(ordinal) + " is " + names[ordinal - 1]);
  }
}

void CheckClassObjects(Checks& checks, HMODULE module) {
  auto get = Export<GetClassObject>(module, "DllGetClassObject");
  auto can_unload = Export<CanUnloadNow>(module, "DllCanUnloadNow");
  if (get == nullptr || can_unload == nullptr) return;

  IClassFactory* factory = nullptr;
  const GUID unknown_clsid = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  checks.Status(get(unknown_clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
                CLASS_E_CLASSNOTAVAILABLE, "unknown CLSID refused");
  checks.Status(can_unload(), S_OK, "unloadable with nothing alive");

  for (const auto& c : contract::kClasses) {
    const std::string where = std::string(c.name);
    factory = nullptr;
    if (FAILED(get(ToGuid(c.clsid), IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
      checks.Expect(false, where + " class object");
      continue;
    }
    IUnknown* object = nullptr;
    IUnknown* outer = factory;  // any object will do: aggregation is refused
    checks.Status(factory->CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(&object)),
                  CLASS_E_NOAGGREGATION, where + " refuses aggregation");
    checks.Succeeded(
        factory->CreateInstance(nullptr, ToGuid(c.iid), reinterpret_cast<void**>(&object)),
        where + " created through its interface");
    checks.Status(can_unload(), S_FALSE, where + " alive keeps the module");
    IDispatch* dispatch = nullptr;
    if (object != nullptr) {
      checks.Succeeded(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)),
                       where + " answers IDispatch");
      IUnknown* a = nullptr;
      IUnknown* b = nullptr;
      object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
      if (dispatch != nullptr) dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
      checks.Expect(a != nullptr && a == b, where + " has one identity");
      if (a) a->Release();
      if (b) b->Release();
      ISupportErrorInfo* support = nullptr;
      object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support));
      checks.Expect(
          support != nullptr && support->InterfaceSupportsErrorInfo(ToGuid(c.iid)) == S_OK,
          where + " supports error info");
      if (support) support->Release();
      if (dispatch) dispatch->Release();
      object->Release();
    }
    checks.Status(can_unload(), S_OK, where + " released lets the module go");
    checks.Succeeded(factory->LockServer(TRUE), where + " factory lock");
    checks.Status(can_unload(), S_FALSE, where + " locked factory keeps the module");
    factory->LockServer(FALSE);
    checks.Status(can_unload(), S_OK, where + " unlocked factory lets the module go");
    factory->Release();
  }
}

// Invokes a member by name; for the collection checks below.
HRESULT CallByName(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* result) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &none, result, nullptr, nullptr);
}

void CheckCollectionLifetime(Checks& checks, HMODULE module) {
  auto can_unload = Export<CanUnloadNow>(module, "DllCanUnloadNow");
  if (can_unload == nullptr) return;
  const auto& c = contract::kClasses[2];  // ClsExcelMultiFiles
  IDispatch* files = nullptr;
  if (FAILED(CoCreateInstance(ToGuid(c.clsid), nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&files)))) {
    checks.Expect(false, "ClsExcelMultiFiles created by CLSID");
    return;
  }
  VARIANT collection;
  VariantInit(&collection);
  checks.Succeeded(CallByName(files, L"FilesName", DISPATCH_PROPERTYGET, &collection),
                   "FilesName read");
  files->Release();
  checks.Status(can_unload(), S_FALSE, "a collection alive keeps the module");
  VARIANT enumerator;
  VariantInit(&enumerator);
  if (V_VT(&collection) == VT_DISPATCH && V_DISPATCH(&collection) != nullptr) {
    checks.Succeeded(CallByName(V_DISPATCH(&collection), L"_NewEnum",
                                DISPATCH_METHOD | DISPATCH_PROPERTYGET, &enumerator),
                     "collection enumerator");
  }
  VariantClear(&collection);
  checks.Status(can_unload(), S_FALSE, "an enumerator alive keeps the module");
  VariantClear(&enumerator);
  checks.Status(can_unload(), S_OK, "all released lets the module go");
}

}  // namespace

void CheckModule(Checks& checks, const std::wstring& dll_path) {
  HMODULE module = LoadLibraryW(dll_path.c_str());
  if (module == nullptr) {
    checks.Expect(false, "module loads");
    return;
  }
  CheckResources(checks, module);
  CheckVersion(checks, dll_path);
  CheckExports(checks, module);
  CheckClassObjects(checks, module);
  CheckCollectionLifetime(checks, module);
  FreeLibrary(module);
}

void CheckUnregistration(Checks& checks, const std::wstring& dll_path) {
  HMODULE module = LoadLibraryW(dll_path.c_str());
  if (module == nullptr) return;
  auto unregister = Export<RegisterServer>(module, "DllUnregisterServer");
  auto do_register = Export<RegisterServer>(module, "DllRegisterServer");

  // Another program's additions to the library's keys must stay.
  const auto& first = contract::kClasses[0];
  const std::wstring clsid_key = L"CLSID\\" + GuidText(first.clsid);
  const std::wstring foreign_key = clsid_key + L"\\Implemented Categories";
  const std::wstring prog_key = Wide(contract::kClasses[1].prog_id);
  HKEY handle = nullptr;
  RegCreateKeyExW(HKEY_CLASSES_ROOT, foreign_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                  &handle, nullptr);
  RegCloseKey(handle);
  RegCreateKeyExW(HKEY_CLASSES_ROOT, prog_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                  &handle, nullptr);
  const wchar_t note[] = L"kept";
  RegSetValueExW(handle, L"Foreign", 0, REG_SZ, reinterpret_cast<const BYTE*>(note), sizeof note);
  RegCloseKey(handle);

  checks.Status(unregister(), S_OK, "DllUnregisterServer");
  checks.Expect(RegistryKeyExists(foreign_key), "another program's subkey stays");
  std::wstring kept;
  checks.Expect(ReadRegistryText(prog_key, L"Foreign", kept) && kept == L"kept",
                "another program's value stays");
  checks.Expect(!RegistryKeyExists(clsid_key + L"\\InprocServer32"), "InprocServer32 removed");
  checks.Expect(!RegistryKeyExists(prog_key + L"\\CLSID"), "ProgID's CLSID removed");
  RegDeleteKeyW(HKEY_CLASSES_ROOT, foreign_key.c_str());
  RegDeleteKeyW(HKEY_CLASSES_ROOT, clsid_key.c_str());
  RegDeleteKeyW(HKEY_CLASSES_ROOT, prog_key.c_str());
  // What this module wrote is gone; the other bitness's module may still be registered.
  for (const auto& c : contract::kClasses) {
    const std::wstring clsid = L"CLSID\\" + GuidText(c.clsid);
    checks.Expect(!RegistryKeyExists(clsid), "no key " + Shown(clsid));
    checks.Expect(!RegistryKeyExists(Wide(c.prog_id) + L"\\CLSID"),
                  "no key " + Shown(Wide(c.prog_id) + L"\\CLSID"));
  }
  const auto& lib = contract::kLibrary;
  const std::wstring typelib = L"TypeLib\\" + GuidText(lib.libid) + L"\\1.1\\0\\" + kSysKey;
  checks.Expect(!RegistryKeyExists(typelib), "no key " + Shown(typelib));

  checks.Status(do_register(), S_OK, "DllRegisterServer again");
  checks.Status(do_register(), S_OK, "DllRegisterServer once more");
  CheckRegistration(checks, dll_path);
  FreeLibrary(module);
}

}  // namespace vexmar::wine_tests
