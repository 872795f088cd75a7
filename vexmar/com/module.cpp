// The module's instance handle and the counts that decide whether it may be unloaded.
#include "vexmar/com/module.hpp"

#include "vexmar/com/windows_com.hpp"

#include <atomic>

namespace vexmar::com {
namespace {

// Set once by the loader before any other entry point runs.
HMODULE g_module = nullptr;
std::atomic<long> g_live_objects{0};
std::atomic<long> g_locks{0};

}  // namespace

HMODULE ModuleHandle() noexcept { return g_module; }

void SetModuleHandle(HMODULE module) noexcept { g_module = module; }

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
