// The module's entry point and its unloading and class-object exports (registration is in
// registration.cpp). Kept apart from the module's state, which every object uses.
#include "vexmar/com/windows_com.hpp"

#include "vexmar/com/class_factory.hpp"
#include "vexmar/com/module.hpp"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) vexmar::com::SetModuleHandle(instance);
  return TRUE;
}

STDAPI DllCanUnloadNow() { return vexmar::com::ModuleIdle() ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  return vexmar::com::GetClassObject(clsid, iid, object);
}

}  // extern "C"
