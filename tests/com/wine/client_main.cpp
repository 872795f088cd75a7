// vexmar_com_client check <path of VexmarExt.dll>: every check of the registered module.
// vexmar_com_client absent: nothing of the library is left in the registry.
#include <cstring>

#include "client.hpp"
#include "coercion_checks.hpp"

int main(int argc, char** argv) {
  using namespace vexmar::wine_tests;
  if (argc < 2) {
    std::printf("usage: vexmar_com_client check <dll> | absent\n");
    return 2;
  }
  CoInitialize(nullptr);
  Checks checks;
  if (std::strcmp(argv[1], "absent") == 0) {
    CheckNothingRegistered(checks);
  } else if (std::strcmp(argv[1], "check") == 0 && argc == 3) {
    const std::wstring dll = Wide(argv[2]);
    CheckRegistration(checks, dll);
    CheckTypeLibrary(checks, dll);
    CheckModule(checks, dll);
    CheckBinding(checks);
    CheckCoercionTable(checks);
    CheckUnregistration(checks, dll);
  } else {
    std::printf("unknown arguments\n");
    return 2;
  }
  CoUninitialize();
  return checks.Finish();
}
