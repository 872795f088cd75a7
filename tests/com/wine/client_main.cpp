// vexmar_com_client check <path of VexmarExt.dll>: every check of the registered module.
// vexmar_com_client absent: nothing of the library is left in the registry.
// vexmar_com_client register-collection-library | unregister-collection-library <tlb>:
// the collection library's stand-in for the run.
#include <cstring>

#include "client.hpp"
#include "coercion_checks.hpp"

int main(int argc, char** argv) {
  using namespace vexmar::wine_tests;
  if (argc < 2) {
    std::printf(
        "usage: vexmar_com_client check <dll> | absent | register-collection-library <tlb> | "
        "unregister-collection-library <tlb>\n");
    return 2;
  }
  CoInitialize(nullptr);
  Checks checks;
  if (std::strcmp(argv[1], "absent") == 0) {
    CheckNothingRegistered(checks);
  } else if (std::strcmp(argv[1], "check") == 0 && argc == 3) {
    const std::wstring dll = Wide(argv[2]);
    std::printf("# the collection library is %s\n",
                CollectionLibraryRegistered() ? "registered" : "not registered");
    CheckUnwindTables(checks, dll);
    CheckRegistration(checks, dll);
    CheckTypeLibrary(checks, dll);
    CheckModule(checks, dll);
    CheckBinding(checks);
    CheckCoercionTable(checks);
    CheckUnregistration(checks, dll);
  } else if (std::strcmp(argv[1], "register-collection-library") == 0 && argc == 3) {
    RegisterCollectionLibrary(checks, Wide(argv[2]));
  } else if (std::strcmp(argv[1], "unregister-collection-library") == 0 && argc == 3) {
    UnregisterCollectionLibrary(checks, Wide(argv[2]));
  } else {
    std::printf("unknown arguments\n");
    return 2;
  }
  CoUninitialize();
  return checks.Finish();
}
