#include "tools/reference_doc/reference_doc.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "vexmar/component/class_table.hpp"

namespace vexmar::dispatch {
namespace {

std::string Hex(std::int32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<std::uint32_t>(value));
  return buffer;
}

TEST(ReferenceDocTest, CommittedPageIsTheGeneratorsOutput) {
  const char* source_dir = std::getenv("VEXMAR_SOURCE_DIR");
  if (source_dir == nullptr) source_dir = VEXMAR_SOURCE_DIR_DEFAULT;
  std::ifstream file(std::string(source_dir) + "/docs/reference.md", std::ios::binary);
  ASSERT_TRUE(file) << "docs/reference.md is missing";
  std::stringstream committed;
  committed << file.rdbuf();
  EXPECT_TRUE(committed.str() == ReferenceMarkdown())
      << "docs/reference.md is out of date; regenerate it with\n"
         "  build/debug/tools/reference_doc/vexmar_reference_doc > docs/reference.md";
}

TEST(ReferenceDocTest, ListsEveryClassAndMemberRow) {
  const std::string page = ReferenceMarkdown();
  for (const auto& c : contract::kClasses) {
    EXPECT_NE(page.find("### " + std::string(c.name) + "\n"), std::string::npos) << c.name;
    EXPECT_NE(page.find("`" + std::string(c.prog_id) + "`"), std::string::npos) << c.name;
    EXPECT_NE(page.find(FormatGuid(c.clsid)), std::string::npos) << c.name;
    for (const auto& m : c.members) {
      EXPECT_NE(page.find(Hex(m.dispid) + " | "), std::string::npos) << m.name;
      EXPECT_NE(page.find("`" + std::string(m.name) + "`"), std::string::npos) << m.name;
    }
  }
  EXPECT_NE(page.find("| 1 | 0x60030000 | method | `MatchString` |"), std::string::npos);
  EXPECT_NE(page.find("| 2 | 0x68030003 | property read | `CurScore` |"), std::string::npos);
  EXPECT_NE(page.find("当前已得分的权值"), std::string::npos);
}

}  // namespace
}  // namespace vexmar::dispatch
