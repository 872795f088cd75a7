// DllRegisterServer and DllUnregisterServer. Registration writes the type library and,
// for each class, its CLSID (in-process server, apartment threading, ProgID, type
// library) and its ProgID. Unregistration removes exactly those values and the keys
// that they leave empty, and only where they still name this module, so that another
// copy's registration or another program's additions stay.
#include "vexmar/com/windows_com.hpp"

#include <string>

#include "vexmar/com/com_ptr.hpp"
#include "vexmar/com/module.hpp"
#include "vexmar/com/windows_guid.hpp"
#include "vexmar/component/class_table.hpp"
#include "vexmar/component/utf.hpp"

namespace vexmar::com {
namespace {

#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
#endif

std::wstring Wide(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring GuidText(const Guid& guid) { return Wide(FormatGuid(guid)); }

std::wstring ClsidKey(const contract::ClassInfo& c) { return L"CLSID\\" + GuidText(c.clsid); }

LSTATUS SetText(HKEY root, const std::wstring& key, const wchar_t* name,
                const std::wstring& value) {
  HKEY handle = nullptr;
  LSTATUS status = RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_SET_VALUE, nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return status;
}

// The text value, or nothing when the key or the value is missing or not text.
bool GetText(HKEY root, const std::wstring& key, const wchar_t* name, std::wstring& out) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, &type, nullptr, &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, &type, value.data(), &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  value.resize(wcsnlen(value.c_str(), value.size()));
  out = std::move(value);
  return true;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Removes the value when it still reads `expected`.
void RemoveValueIf(HKEY root, const std::wstring& key, const wchar_t* name,
                   const std::wstring& expected) {
  std::wstring current;
  if (!GetText(root, key, name, current) || !SameText(current, expected)) return;
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS) return;
  RegDeleteValueW(handle, name);
  RegCloseKey(handle);
}

// Removes the key when it has neither values nor subkeys left.
void RemoveKeyIfEmpty(HKEY root, const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return;
  DWORD subkeys = 0;
  DWORD values = 0;
  const LSTATUS status = RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                          nullptr, &values, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(handle);
  if (status == ERROR_SUCCESS && subkeys == 0 && values == 0) RegDeleteKeyW(root, key.c_str());
}

HRESULT FromStatus(LSTATUS status) {
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

HRESULT RegisterClass(const contract::ClassInfo& c, const std::wstring& module) {
  const std::wstring clsid = ClsidKey(c);
  const std::wstring prog_id = Wide(c.prog_id);
  const std::wstring libid = GuidText(contract::kLibrary.libid);
  LSTATUS status = SetText(HKEY_CLASSES_ROOT, clsid + L"\\InprocServer32", nullptr, module);
  if (status == ERROR_SUCCESS) {
    status =
        SetText(HKEY_CLASSES_ROOT, clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
  }
  if (status == ERROR_SUCCESS)
    status = SetText(HKEY_CLASSES_ROOT, clsid + L"\\ProgID", nullptr, prog_id);
  if (status == ERROR_SUCCESS)
    status = SetText(HKEY_CLASSES_ROOT, clsid + L"\\TypeLib", nullptr, libid);
  if (status == ERROR_SUCCESS) {
    status = SetText(HKEY_CLASSES_ROOT, prog_id + L"\\CLSID", nullptr, GuidText(c.clsid));
  }
  return FromStatus(status);
}

void UnregisterClass(const contract::ClassInfo& c, const std::wstring& module) {
  const std::wstring clsid = ClsidKey(c);
  const std::wstring server = clsid + L"\\InprocServer32";
  std::wstring registered;
  // A class served by another copy of the module is that copy's registration.
  if (GetText(HKEY_CLASSES_ROOT, server, nullptr, registered) && !SameText(registered, module)) {
    return;
  }
  RemoveValueIf(HKEY_CLASSES_ROOT, server, L"ThreadingModel", L"Apartment");
  RemoveValueIf(HKEY_CLASSES_ROOT, server, nullptr, module);
  RemoveKeyIfEmpty(HKEY_CLASSES_ROOT, server);
  RemoveValueIf(HKEY_CLASSES_ROOT, clsid + L"\\ProgID", nullptr, Wide(c.prog_id));
  RemoveKeyIfEmpty(HKEY_CLASSES_ROOT, clsid + L"\\ProgID");
  RemoveValueIf(HKEY_CLASSES_ROOT, clsid + L"\\TypeLib", nullptr,
                GuidText(contract::kLibrary.libid));
  RemoveKeyIfEmpty(HKEY_CLASSES_ROOT, clsid + L"\\TypeLib");
  RemoveKeyIfEmpty(HKEY_CLASSES_ROOT, clsid);

  const std::wstring prog_id = Wide(c.prog_id);
  RemoveValueIf(HKEY_CLASSES_ROOT, prog_id + L"\\CLSID", nullptr, GuidText(c.clsid));
  RemoveKeyIfEmpty(HKEY_CLASSES_ROOT, prog_id + L"\\CLSID");
  RemoveKeyIfEmpty(HKEY_CLASSES_ROOT, prog_id);
}

void UnregisterTypeLibrary(const std::wstring& module) {
  const auto& lib = contract::kLibrary;
  const GUID libid = ToGuid(lib.libid);
  BSTR registered = nullptr;
  if (FAILED(QueryPathOfRegTypeLib(libid, lib.major, lib.minor, lib.lcid, &registered))) return;
  const bool ours = SameText(std::wstring(registered, SysStringLen(registered)), module);
  SysFreeString(registered);
  if (ours) UnRegisterTypeLib(libid, lib.major, lib.minor, lib.lcid, kSysKind);
}

void UnregisterAll(const std::wstring& module) {
  for (const auto& c : contract::kClasses) UnregisterClass(c, module);
  UnregisterTypeLibrary(module);
}

}  // namespace
}  // namespace vexmar::com

extern "C" {

STDAPI DllRegisterServer() {
  using namespace vexmar::com;
  try {
    std::wstring module = ModulePath();
    if (module.empty()) return SELFREG_E_CLASS;
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(module.c_str(), REGKIND_NONE, library.Put());
    if (SUCCEEDED(hr)) {
      std::wstring help_dir;  // no help directory
      hr = RegisterTypeLib(library.Get(), module.data(), help_dir.data());
    }
    for (const auto& c : vexmar::contract::kClasses) {
      if (FAILED(hr)) break;
      hr = RegisterClass(c, module);
    }
    // A registration that stopped half way is taken back.
    if (FAILED(hr)) UnregisterAll(module);
    return hr;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

STDAPI DllUnregisterServer() {
  using namespace vexmar::com;
  try {
    const std::wstring module = ModulePath();
    if (module.empty()) return SELFREG_E_CLASS;
    UnregisterAll(module);
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // extern "C"
