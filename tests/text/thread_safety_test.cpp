// The text routines keep no state: many threads may use them at once.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "vexmar/text/letter_case.hpp"
#include "vexmar/text/split_and_match.hpp"
#include "vexmar/text/matcher_classes.hpp"

namespace vexmar {
namespace {

TEST(TextThreadSafetyTest, RoutinesRunConcurrently) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      ClsPatternMatchStr matcher;
      StringList items;
      for (int i = 0; i < 2000; ++i) {
        std::int32_t length = 0;
        if (matcher.MatchString(u"MySheet" + std::u16string(1, static_cast<char16_t>(u'0' + t)),
                                u"sheet?", 1, length) != 3 ||
            length != 6) {
          ++failures[static_cast<std::size_t>(t)];
        }
        SplitString(u"a|b|c", u"|", items, -1, kCompareText);
        if (items.UpperBound() != 2 || ToUpper(u"σ") != u"Σ") ++failures[static_cast<std::size_t>(t)];
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace
}  // namespace vexmar
