#include <cwchar>
#include <string>

#include "client.hpp"
#include "vexmar/component/class_table.hpp"

namespace vexmar::wine_tests {
namespace {

#ifdef _WIN64
constexpr const wchar_t* kSysKey = L"win64";
#else
constexpr const wchar_t* kSysKey = L"win32";
#endif

// The key of the type library's version.
std::wstring VersionKey() {
  const auto& lib = contract::kLibrary;
  return L"TypeLib\\" + GuidText(lib.libid) + L"\\" + std::to_wstring(lib.major) + L"." +
         std::to_wstring(lib.minor);
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

void ExpectText(Checks& checks, const std::wstring& key, const wchar_t* name,
                const std::wstring& expected, bool ignore_case = false) {
  std::wstring got;
  const bool found = ReadRegistryText(key, name, got);
  const std::string label =
      "registry " + Shown(key) + (name ? " " + Shown(std::wstring(name)) : "");
  checks.Expect(found && (ignore_case ? SameText(got, expected) : got == expected), label,
                found ? "got " + Shown(got) + ", expected " + Shown(expected) : "missing");
}

}  // namespace

bool ReadRegistryText(const std::wstring& key, const wchar_t* name, std::wstring& out) {
  wchar_t buffer[1024];
  DWORD size = sizeof buffer;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  out = buffer;
  return true;
}

bool RegistryKeyExists(const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(handle);
  return true;
}

void CheckRegistration(Checks& checks, const std::wstring& dll_path) {
  const std::wstring libid = GuidText(contract::kLibrary.libid);
  for (const auto& c : contract::kClasses) {
    const std::wstring clsid = L"CLSID\\" + GuidText(c.clsid);
    ExpectText(checks, clsid + L"\\InprocServer32", nullptr, dll_path, true);
    ExpectText(checks, clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    ExpectText(checks, clsid + L"\\ProgID", nullptr, Wide(c.prog_id));
    ExpectText(checks, clsid + L"\\TypeLib", nullptr, libid);
    ExpectText(checks, Wide(c.prog_id) + L"\\CLSID", nullptr, GuidText(c.clsid));
    // The interface, registered with the type library for the automation marshaler.
    const std::wstring iface = L"Interface\\" + GuidText(c.iid);
    ExpectText(checks, iface, nullptr, Wide(c.interface_name));
    ExpectText(checks, iface + L"\\TypeLib", nullptr, libid);
  }
  ExpectText(checks, VersionKey() + L"\\0\\" + kSysKey, nullptr, dll_path, true);
  // The flags as a number; 8 (loaded from a file) is written by some platforms.
  std::wstring flags;
  checks.Expect(ReadRegistryText(VersionKey() + L"\\FLAGS", nullptr, flags) &&
                    (std::wcstol(flags.c_str(), nullptr, 16) & ~LIBFLAG_FHASDISKIMAGE) == 0,
                "registry type library FLAGS not restricted, hidden or control", Shown(flags));
  ExpectText(checks, VersionKey() + L"\\HELPDIR", nullptr, L"");
}

void CheckNothingRegistered(Checks& checks) {
  for (const auto& c : contract::kClasses) {
    const std::wstring clsid = L"CLSID\\" + GuidText(c.clsid);
    checks.Expect(!RegistryKeyExists(clsid), "no key " + Shown(clsid));
    checks.Expect(!RegistryKeyExists(Wide(c.prog_id)), "no key " + Shown(Wide(c.prog_id)));
    const std::wstring iface = L"Interface\\" + GuidText(c.iid);
    checks.Expect(!RegistryKeyExists(iface), "no key " + Shown(iface));
  }
  const std::wstring lib = L"TypeLib\\" + GuidText(contract::kLibrary.libid);
  checks.Expect(!RegistryKeyExists(lib), "no key " + Shown(lib));
}

}  // namespace vexmar::wine_tests
