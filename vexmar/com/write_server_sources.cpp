// vexmar_write_server_sources <idl> <rc>: writes the type library's IDL and the
// interface-id resources from the class table, for the Windows server's build.
#include <cstdio>
#include <fstream>
#include <string>

#include "vexmar/com/server_sources.hpp"

namespace {

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <idl> <rc>\n", argv[0]);
    return 2;
  }
  const bool ok = WriteFile(argv[1], vexmar::com::TypeLibraryIdl()) &&
                  WriteFile(argv[2], vexmar::com::InterfaceIdResources());
  return ok ? 0 : 1;
}
