// vexmar_write_server_sources <directory>: writes VexmarExt.idl and iid_resources.rc
// from the class table, for committing beside the Windows server.
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
  std::printf("wrote %s\n", path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const bool ok = WriteFile(dir + "/VexmarExt.idl", vexmar::com::TypeLibraryIdl()) &&
                  WriteFile(dir + "/iid_resources.rc", vexmar::com::InterfaceIdResources());
  return ok ? 0 : 1;
}
