#pragma once
// The MinGW client that checks VexmarExt.dll under Wine, one group of checks a file.
#include <string>

#include "checks.hpp"

namespace vexmar::wine_tests {

// Registry entries of a registered module at `dll_path`.
void CheckRegistration(Checks& checks, const std::wstring& dll_path);
// No registry entry of the library is left (after unregistration).
void CheckNothingRegistered(Checks& checks);
// The embedded and the registered type library against the class table, entry by entry.
void CheckTypeLibrary(Checks& checks, const std::wstring& dll_path);
// Resources, version record, exports by ordinal, class objects and unloading.
void CheckModule(Checks& checks, const std::wstring& dll_path);
// Early binding through the interfaces, dispatch ids, errors, collections.
void CheckBinding(Checks& checks);
// Unwind tables without empty or overlapping entries, read from the module file.
void CheckUnwindTables(Checks& checks, const std::wstring& dll_path);
// The collection library's stand-in, registered for the run unless a collection
// library is registered already, and removed again only when it is the stand-in.
void RegisterCollectionLibrary(Checks& checks, const std::wstring& tlb_path);
void UnregisterCollectionLibrary(Checks& checks, const std::wstring& tlb_path);
// Whether the collection library the type library imports loads by LIBID, version and
// LCID. The checks run both where it does and where it does not (a machine that never
// had the platform's runtime): late binding must work the same in both.
bool CollectionLibraryRegistered();
// DllUnregisterServer removes exactly what was written; registers again afterwards.
void CheckUnregistration(Checks& checks, const std::wstring& dll_path);

// Registry helpers.
bool ReadRegistryText(const std::wstring& key, const wchar_t* name, std::wstring& out);
bool RegistryKeyExists(const std::wstring& key);

}  // namespace vexmar::wine_tests
