#include "vexmar/platform/collection.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vexmar/component/error.hpp"
#include "support/error_number.hpp"

namespace vexmar {
namespace {

using vexmar::testing::ErrorNumberOf;

std::vector<std::u16string> Strings(const Collection& c) {
  std::vector<std::u16string> out;
  for (const Variant& v : c) out.push_back(std::get<std::u16string>(v));
  return out;
}

TEST(CollectionTest, AddAppendsKeepingEqualValues) {
  Collection c;
  EXPECT_EQ(c.Count(), 0);
  c.Add(std::u16string(u"a.xls"));
  c.Add(std::u16string(u"b.xls"));
  c.Add(std::u16string(u"a.xls"));
  EXPECT_EQ(c.Count(), 3);
  EXPECT_EQ(std::get<std::u16string>(c.Item(1)), u"a.xls");
  EXPECT_EQ(std::get<std::u16string>(c.Item(3)), u"a.xls");
  EXPECT_EQ(Strings(c), (std::vector<std::u16string>{u"a.xls", u"b.xls", u"a.xls"}));
}

TEST(CollectionTest, IndexOutsideOneToCountIsSubscriptError) {
  Collection c;
  EXPECT_EQ(ErrorNumberOf([&] { (void)c.Item(1); }), 9);
  c.Add(std::u16string(u"x"));
  for (std::int32_t index : {0, -1, 2, 2147483647, -2147483647 - 1}) {
    EXPECT_EQ(ErrorNumberOf([&] { (void)c.Item(index); }), 9) << index;
    EXPECT_EQ(ErrorNumberOf([&] { c.Remove(index); }), 9) << index;
  }
  EXPECT_EQ(c.Count(), 1);
}

TEST(CollectionTest, RemoveClosesTheGap) {
  Collection c;
  for (const char16_t* s : {u"1", u"2", u"3"}) c.Add(std::u16string(s));
  c.Remove(2);
  EXPECT_EQ(Strings(c), (std::vector<std::u16string>{u"1", u"3"}));
  c.Remove(1);
  c.Remove(1);
  EXPECT_EQ(c.Count(), 0);
}

}  // namespace
}  // namespace vexmar
