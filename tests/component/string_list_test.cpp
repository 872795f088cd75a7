#include "vexmar/component/string_list.hpp"

#include <gtest/gtest.h>

#include "vexmar/component/error.hpp"
#include "support/error_number.hpp"

namespace vexmar {
namespace {

using vexmar::testing::ErrorNumberOf;

TEST(StringListTest, AbsentListHasNoBounds) {
  StringList list;
  EXPECT_FALSE(list.HasBounds());
  EXPECT_EQ(ErrorNumberOf([&] { (void)list.UpperBound(); }), 9);
  EXPECT_EQ(ErrorNumberOf([&] { (void)list.LowerBound(); }), 9);
  EXPECT_EQ(ErrorNumberOf([&] { (void)list.At(0); }), 9);
  EXPECT_EQ(ErrorNumberOf([&] { list.Append(u"x"); }), 9);
}

TEST(StringListTest, ReadsOutsideBoundsAreSubscriptErrors) {
  StringList list{u"a", u"b"};
  EXPECT_EQ(list.UpperBound(), 1);
  for (std::int32_t index : {-1, 2, 2147483647, -2147483647 - 1}) {
    EXPECT_EQ(ErrorNumberOf([&] { (void)list.At(index); }), 9) << index;
    EXPECT_EQ(ErrorNumberOf([&] { list.Set(index, u"x"); }), 9) << index;
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
