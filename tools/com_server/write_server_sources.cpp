// vexmar_write_server_sources <dir>: writes the type library's IDL, the interface-id
// resources and the collection library's stand-in from the class table into <dir>, for
// the Windows server's build.
#include <cstdio>
#include <fstream>
#include <string>

#include "tools/com_server/server_sources.hpp"

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
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <dir>\n", argv[0]);
    return 2;
  }
  using namespace vexmar::com;
  const std::string dir = std::string(argv[1]) + "/";
  const bool ok = WriteFile(dir + "VexmarExt.utf8.idl", TypeLibraryIdl()) &&
                  WriteFile(dir + "iid_resources.rc", InterfaceIdResources()) &&
                  WriteFile(dir + kCollectionInterfaceIdl, CollectionInterfaceIdl()) &&
                  WriteFile(dir + "CollectionLibrary.idl", CollectionLibraryIdl());
  return ok ? 0 : 1;
}
