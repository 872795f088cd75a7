// vexmar_finish_type_library <in.tlb> <out.tlb>: the type library as the IDL compiler
// wrote it, with the placeholder parameter names removed and every imported library
// recorded with the LCID the class table gives it.
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <vector>

#include "tools/com_server/type_library_file.hpp"
#include "vexmar/component/class_table.hpp"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <in.tlb> <out.tlb>\n", argv[0]);
    return 2;
  }
  try {
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) throw std::runtime_error("cannot read the type library");
    const std::size_t cleared =
        vexmar::com::ClearParameterNames(bytes, vexmar::com::kUnnamedParameter);
    if (cleared == 0) throw std::runtime_error("no placeholder parameter names found");
    for (const auto& imported : vexmar::contract::kImportedLibraries) {
      if (vexmar::com::SetImportLcid(bytes, imported.libid, imported.lcid) == 0) {
        throw std::runtime_error("an imported library is not recorded");
      }
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write the type library");
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
    return 1;
  }
}
