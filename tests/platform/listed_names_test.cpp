#include "vexmar/platform/listed_names.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "vexmar/platform/directory_listing.hpp"
#include "vexmar/text/letter_case.hpp"

namespace vexmar {
namespace {

using Names = std::vector<std::u16string>;

// The listing order stated plainly: upper-cased forms, then the exact names.
Names ReferenceOrder(Names names) {
  std::sort(names.begin(), names.end(), [](const std::u16string& a, const std::u16string& b) {
    const std::u16string ua = ToUpper(a), ub = ToUpper(b);
    return ua != ub ? ua < ub : a < b;
  });
  return names;
}

TEST(ListedNamesTest, OrderOfUpperCasedFormsThenExactNames) {
  const Names cases[] = {
      {},
      {u"only"},
      {u"b.xls", u"成绩.xls", u"a.xls", u"[1].xls", u"A.XLS", u"_x", u"B.xls"},
      // Long shared beginnings, names that are beginnings of others, ties in case.
      {u"candidate_2024_0001_a.xls", u"candidate_2024_0001.xls", u"CANDIDATE_2024_0001_A.XLS",
       u"candidate_2024_0001_b.xls", u"candidate_2024_00", u"candidate_2024_0001_a.xlsx"},
      // Beyond ASCII: é (U+00E9) upper-cases to É (U+00C9), below "Z" no more.
      {u"\u00e9t\u00e9.doc", u"Zeta.doc", u"\u00c9T\u00c9.doc", u"eta.doc"},
      // Units above the surrogates and escaped bytes sort by their values.
      {u"x\uFF21", u"x\xDCFF", u"x\uFF41", u"x\U0001F600"},
  };
  for (const Names& names : cases) {
    ListedNames listed;
    for (const auto& name : names) listed.Add(name);
    EXPECT_EQ(listed.Count(), names.size());
    EXPECT_EQ(listed.TakeInListingOrder(), ReferenceOrder(names));
    EXPECT_EQ(listed.Count(), 0u);
  }
}

TEST(ListedNamesTest, AgreesWithThePlainOrderOnRandomNames) {
  // Few letters in both cases and shared beginnings of every length exercise the
  // comparison of the cached units and of what follows them.
  std::mt19937 random(7);
  const std::u16string alphabet = u"aAbB.0_";
  for (int round = 0; round < 200; ++round) {
    const std::u16string shared(random() % 12, u'k');
    Names names;
    const int count = 1 + static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) {
      std::u16string name = shared;
      const std::size_t extra = random() % 14;
      for (std::size_t j = 0; j < extra; ++j) name.push_back(alphabet[random() % alphabet.size()]);
      names.push_back(name);
    }
    Names sorted = names;
    SortInListingOrder(sorted);
    ASSERT_EQ(sorted, ReferenceOrder(names)) << "round " << round;
  }
}

TEST(ListedNamesTest, AgreesWithThePlainOrderOnLargeListings) {
  // Enough names for the large-listing path; letters beyond ASCII vary every byte.
  std::mt19937 random(3);
  const std::u16string alphabet = u"aAbB0\u00e9\u00c9\u4e00\u0100\u0101";
  for (int round = 0; round < 4; ++round) {
    const std::u16string shared(static_cast<std::size_t>(round) * 3, u'p');
    Names names;
    for (int i = 0; i < 3000; ++i) {
      std::u16string name = shared;
      const std::size_t extra = 1 + random() % 12;
      for (std::size_t j = 0; j < extra; ++j) name.push_back(alphabet[random() % alphabet.size()]);
      names.push_back(name);
    }
    Names sorted = names;
    SortInListingOrder(sorted);
    ASSERT_EQ(sorted, ReferenceOrder(names)) << "round " << round;
  }
}

}  // namespace
}  // namespace vexmar
