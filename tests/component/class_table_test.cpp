#include "vexmar/component/class_table.hpp"

#include <gtest/gtest.h>

#include <set>

namespace vexmar::contract {
namespace {

TEST(ClassTableTest, GuidsRoundTripThroughText) {
  EXPECT_EQ(FormatGuid(kLibrary.libid), "{1DDDD776-D55E-4101-A7FB-FCDAE7C5771B}");
  for (const auto& c : kClasses) {
    EXPECT_EQ(ParseGuid(FormatGuid(c.clsid)), c.clsid) << c.name;
    EXPECT_EQ(ParseGuid(FormatGuid(c.iid)), c.iid) << c.name;
  }
  EXPECT_EQ(FormatGuid(*ParseGuid("c670563e-a127-465d-bf49-da8527c0a50d")),
            "{C670563E-A127-465D-BF49-DA8527C0A50D}");
  EXPECT_FALSE(ParseGuid("{C670563E-A127-465D-BF49-DA8527C0A50}"));
  EXPECT_FALSE(ParseGuid("{C670563E-A127-465D-BF49-DA8527C0A5G0}"));
}

TEST(ClassTableTest, IdentitiesAreDistinctAndNamesConsistent) {
  std::set<Guid> guids{kLibrary.libid};
  for (const auto& c : kClasses) {
    EXPECT_TRUE(guids.insert(c.clsid).second) << c.name;
    EXPECT_TRUE(guids.insert(c.iid).second) << c.name;
    EXPECT_EQ(c.interface_name, "_" + std::string(c.name));
    EXPECT_EQ(c.prog_id, "VexmarExt." + std::string(c.name));
  }
}

// A property's read and write share one dispatch id; a method's id is its own.
TEST(ClassTableTest, DispatchIdsPairPropertiesAndSeparateMethods) {
  for (const auto& c : kClasses) {
    for (const auto& m : c.members) {
      for (const auto& other : c.members) {
        if (&m == &other || m.dispid != other.dispid) continue;
        EXPECT_EQ(m.name, other.name) << c.name;
        EXPECT_NE(m.kind, MemberKind::kMethod) << c.name << "." << m.name;
        EXPECT_NE(m.kind, other.kind) << c.name << "." << m.name;
      }
      if (m.kind == MemberKind::kPropertyPut || m.kind == MemberKind::kPropertyPutRef) {
        ASSERT_EQ(m.parameters.size(), 1u);
        EXPECT_TRUE(m.parameters[0].name.empty());
        EXPECT_EQ(m.result, ValueType::kNone);
      }
    }
  }
}

}  // namespace
}  // namespace vexmar::contract
