// The stand-in for the platform's collection library, registered for a test run where
// the platform's own is missing (Wine has none) and removed afterwards. A library that
// is registered already is never replaced, and only the stand-in at the given path is
// ever removed.
#include "client.hpp"
#include "vexmar/component/class_table.hpp"

namespace vexmar::wine_tests {
namespace {

#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
constexpr const wchar_t* kSysKey = L"win64";
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
constexpr const wchar_t* kSysKey = L"win32";
#endif

const auto& kLib = contract::kCollectionLibrary;

// The path the collection library is registered with for this bitness (the look-up by
// LIBID falls back to the other bitness's); empty when it is not.
std::wstring RegisteredPath() {
  const std::wstring key = L"TypeLib\\" + GuidText(kLib.libid) + L"\\" +
                           std::to_wstring(kLib.major) + L"." + std::to_wstring(kLib.minor) +
                           L"\\" + std::to_wstring(kLib.lcid) + L"\\" + kSysKey;
  std::wstring path;
  return ReadRegistryText(key, nullptr, path) ? path : std::wstring();
}

// Paths compared without a long-path prefix (\\?\), which registration may add.
bool SamePath(std::wstring a, std::wstring b) {
  for (std::wstring* p : {&a, &b}) {
    if (p->rfind(L"\\\\?\\", 0) == 0) p->erase(0, 4);
  }
  return !a.empty() && CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

bool CollectionLibraryRegistered() {
  ITypeLib* library = nullptr;
  if (FAILED(LoadRegTypeLib(ToGuid(kLib.libid), kLib.major, kLib.minor, kLib.lcid, &library))) {
    return false;
  }
  library->Release();
  return true;
}

void RegisterCollectionLibrary(Checks& checks, const std::wstring& tlb_path) {
  const std::wstring before = RegisteredPath();
  if (!before.empty() && !SamePath(before, tlb_path)) {
    checks.Expect(true, "a collection library is registered already: " + Shown(before));
    return;
  }
  ITypeLib* library = nullptr;
  checks.Succeeded(LoadTypeLibEx(tlb_path.c_str(), REGKIND_REGISTER, &library),
                   "the collection library's stand-in registers");
  if (library != nullptr) library->Release();
  const std::wstring after = RegisteredPath();
  checks.Expect(SamePath(after, tlb_path), "it is found by LIBID, version and LCID",
                "registered as " + Shown(after));
}

void UnregisterCollectionLibrary(Checks& checks, const std::wstring& tlb_path) {
  const std::wstring registered = RegisteredPath();
  if (!SamePath(registered, tlb_path)) {
    checks.Expect(!registered.empty(), "the collection library registered is not the stand-in",
                  "nothing registered");
    return;
  }
  checks.Succeeded(UnRegisterTypeLib(ToGuid(kLib.libid), kLib.major, kLib.minor, kLib.lcid, kSysKind),
                   "the collection library's stand-in unregisters");
  checks.Expect(!SamePath(RegisteredPath(), tlb_path), "it is no longer registered");
}

}  // namespace vexmar::wine_tests
