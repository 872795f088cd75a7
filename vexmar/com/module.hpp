#pragma once
// The module's own state: its instance handle and the counts that decide whether it
// may be unloaded (live objects of the library, class-factory locks).
#include "vexmar/com/windows_com.hpp"

#include <string>

namespace vexmar::com {

HMODULE ModuleHandle() noexcept;
// Called once, by the loader's entry point, before anything else runs.
void SetModuleHandle(HMODULE module) noexcept;
// The module's full path; std::bad_alloc when memory runs out.
std::wstring ModulePath();

// Every COM object of the library counts itself alive from construction to destruction.
class LiveObject {
 public:
  LiveObject() noexcept;
  LiveObject(const LiveObject&) = delete;
  LiveObject& operator=(const LiveObject&) = delete;
  ~LiveObject();
};

void LockModule() noexcept;
void UnlockModule() noexcept;

// True when no object is alive and no factory is locked.
bool ModuleIdle() noexcept;

}  // namespace vexmar::com
