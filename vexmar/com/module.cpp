// The module entry point and the unloading and class-object exports.
#include "vexmar/com/module.hpp"

#include "vexmar/com/windows_com.hpp"

#include <atomic>

#include "vexmar/com/class_factory.hpp"

namespace vexmar::com {
namespace {

// Set once by the loader before any other entry point runs.
HMODULE g_module = nullptr;
std::atomic<long> g_live_objects{0};
std::atomic<long> g_locks{0};

}  // namespace

HMODULE ModuleHandle() noexcept { return g_module; }

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(path.size());
    const DWORD n = GetModuleFileNameW(g_module, path.data(), size);
    if (n == 0) return {};
    if (n < size) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

LiveObject::LiveObject() noexcept { ++g_live_objects; }
LiveObject::~LiveObject() { --g_live_objects; }

void LockModule() noexcept { ++g_locks; }
void UnlockModule() noexcept { --g_locks; }

bool ModuleIdle() noexcept { return g_live_objects.load() == 0 && g_locks.load() == 0; }

}  // namespace vexmar::com

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) vexmar::com::g_module = instance;
  return TRUE;
}

STDAPI DllCanUnloadNow() { return vexmar::com::ModuleIdle() ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  return vexmar::com::GetClassObject(clsid, iid, object);
}

}  // extern "C"
