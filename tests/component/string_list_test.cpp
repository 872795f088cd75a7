#include "vexmar/component/string_list.hpp"

#include <gtest/gtest.h>

#include "vexmar/component/error.hpp"

namespace vexmar {
namespace {

int NumberOf(auto&& body) {
  try {
    body();
  } catch (const Error& e) {
    return e.Number();
  }
  return 0;
}

TEST(StringListTest, AbsentListHasNoBounds) {
  StringList list;
  EXPECT_FALSE(list.HasBounds());
  EXPECT_EQ(NumberOf([&] { (void)list.UpperBound(); }), 9);
  EXPECT_EQ(NumberOf([&] { (void)list.LowerBound(); }), 9);
  EXPECT_EQ(NumberOf([&] { (void)list.At(0); }), 9);
  EXPECT_EQ(NumberOf([&] { list.Append(u"x"); }), 9);
}

TEST(StringListTest, ReadsOutsideBoundsAreSubscriptErrors) {
  StringList list{u"a", u"b"};
  EXPECT_EQ(list.UpperBound(), 1);
  for (std::int32_t index : {-1, 2, 2147483647, -2147483647 - 1}) {
    EXPECT_EQ(NumberOf([&] { (void)list.At(index); }), 9) << index;
    EXPECT_EQ(NumberOf([&] { list.Set(index, u"x"); }), 9) << index;
  }
}

TEST(StringListTest, AppendGrowsAtEndKeepingItems) {
  StringList list;
  list.ResetToPlaceholder();
  EXPECT_EQ(list.UpperBound(), 0);
  EXPECT_EQ(list.At(0), u"");
  list.Append(u"x");
  list.Append(u"y");
  EXPECT_EQ(list, (StringList{u"", u"x", u"y"}));
  list.ResetToPlaceholder();
  EXPECT_EQ(list, (StringList{u""}));
  list.Redim(3);
  EXPECT_EQ(list, (StringList{u"", u"", u"", u""}));
  list.Clear();
  EXPECT_FALSE(list.HasBounds());
}

}  // namespace
}  // namespace vexmar
