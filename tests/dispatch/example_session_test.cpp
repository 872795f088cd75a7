// The example session of docs/reference.md, run as written there.
#include <gtest/gtest.h>

#include <array>

#include "vexmar/vexmar.hpp"

namespace vexmar {
namespace {

TEST(ExampleSessionTest, RunsAsDocumented) {
  // A sheet rule, set and parsed by name.
  dispatch::DispatchObject sheets = dispatch::CreateObject(u"vexmarext.clsexcelmultisheets");
  sheets.Put(u"Rule", std::u16string(u"K|Sheet1#Sheet2#sheet1|2.5|Wrong sheets"));
  std::array<Variant, 1> message{std::u16string(u"unchanged")};
  Variant parsed = sheets.Call(u"ParseRule", message);  // Bool16 true (-1); message kept
  Variant weight = sheets.Get(u"Weight");               // 2.5f
  dispatch::DispatchObject rules(std::get<ObjectRef>(sheets.Get(u"PingRules")));
  Variant count = rules.Get(u"Count");  // 2
  std::array<Variant, 1> index{1};
  Variant first = rules.Invoke(dispatch::kDispidValue, dispatch::InvokeFlags::kPropertyGet, index);
  // first: u"K|Sheet1|2.5|Wrong sheets", the rule for one worksheet

  EXPECT_EQ(parsed, Variant(kTrue16));
  EXPECT_EQ(message[0], Variant(std::u16string(u"unchanged")));
  EXPECT_EQ(weight, Variant(2.5f));
  EXPECT_EQ(count, Variant(2));
  EXPECT_EQ(first, Variant(std::u16string(u"K|Sheet1|2.5|Wrong sheets")));

  // The same member by name and by dispatch id; an in/out argument.
  dispatch::DispatchObject matcher =
      dispatch::CreateObject(u"{C670563E-A127-465D-BF49-DA8527C0A50D}");
  std::int32_t id = matcher.GetIdOfName(u"MatchString");  // 0x60030000
  std::array<Variant, 4> match{std::u16string(u"MySheet1"), std::u16string(u"Sheet*"), 1, 0};
  Variant position = matcher.Invoke(id, contract::MemberKind::kMethod, match);  // 3; match[3] == 6

  EXPECT_EQ(id, 0x60030000);
  EXPECT_EQ(position, Variant(3));
  EXPECT_EQ(match[3], Variant(6));

  // A failure carries its number.
  bool caught = false;
  try {
    matcher.Put(u"MatchString", 1);
  } catch (const Error& e) {
    // e.Number() == 438, e.HResult() == 0x800A01B6
    caught = e.Number() == 438 && static_cast<std::uint32_t>(e.HResult()) == 0x800A01B6u;
  }
  EXPECT_TRUE(caught);
}

}  // namespace
}  // namespace vexmar
