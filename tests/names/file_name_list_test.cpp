// The fast list behind GetFileNames against the plain rule: a found name is appended
// unless ContainsItem finds it among items 1 on.
#include "vexmar/names/file_name_list.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "vexmar/platform/directory_listing.hpp"
#include "vexmar/text/mod_public_functions.hpp"

namespace vexmar {
namespace {

// One item of a rule: a plain name, or the names one search gives.
struct Step {
  bool plain;
  std::vector<std::u16string> names;
};

StringList Reference(const std::vector<Step>& steps) {
  StringList list;
  list.ResetToPlaceholder();
  for (const Step& step : steps) {
    for (const auto& name : step.names) {
      if (step.plain || !ContainsItem(name, list)) list.Append(name);
    }
  }
  return list;
}

StringList Fast(const std::vector<Step>& steps) {
  StringList list{u"stale", u"content"};
  FileNameList names(list);
  for (const Step& step : steps) {
    if (step.plain) {
      for (const auto& name : step.names) names.Append(name);
      continue;
    }
    FileNameSearch search(names);
    for (const auto& name : step.names) {
      if (!search.IsListed(name)) search.Append(name);
    }
  }
  return list;
}

TEST(FileNameListTest, MatchesThePlainRule) {
  const std::vector<std::vector<Step>> cases = {
      {},
      {{true, {u"a.xls", u"A.XLS", u"a.xls"}}},  // plain items always appended
      {{true, {u"a.xls"}}, {false, {u"A.XLS", u"b.xls"}}},
      {{false, {u"A.XLS", u"b.xls"}}, {true, {u"a.xls"}}},
      {{false, {u"A.XLS", u"a.xls", u"B.xls", u"b.XLS", u"b.xls"}}},  // case twins in a row
      {{false, {u"A.XLS", u"b.xls"}}, {false, {u"a.xls", u"ab.xls", u"B.XLS"}}},
      // Out of listing order: twins apart from each other are still found.
      {{false, {u"b.xls", u"A.XLS", u"B.XLS", u"a.xls", u"c"}}},
      {{true, {u"z"}}, {false, {u"y", u"Z", u"x", u"Y"}}},
  };
  for (const auto& steps : cases) EXPECT_EQ(Fast(steps), Reference(steps));
}

TEST(FileNameListTest, AgreesOnRandomRules) {
  std::mt19937 random(11);
  const std::u16string letters = u"aAbBcC";
  auto random_name = [&] {
    std::u16string name;
    const std::size_t length = 1 + random() % 3;
    for (std::size_t i = 0; i < length; ++i) name.push_back(letters[random() % letters.size()]);
    return name;
  };
  for (int round = 0; round < 500; ++round) {
    std::vector<Step> steps;
    const int count = static_cast<int>(random() % 6);
    for (int s = 0; s < count; ++s) {
      Step step{random() % 3 == 0, {}};
      const int names = static_cast<int>(random() % (step.plain ? 2 : 12)) + 1;
      for (int n = 0; n < names; ++n) step.names.push_back(random_name());
      if (!step.plain) {
        // As a listing gives them: distinct names in listing order, now and then not.
        std::sort(step.names.begin(), step.names.end());
        step.names.erase(std::unique(step.names.begin(), step.names.end()), step.names.end());
        if (random() % 4 == 0) {
          std::shuffle(step.names.begin(), step.names.end(), random);
        } else {
          SortInListingOrder(step.names);
        }
      }
      steps.push_back(std::move(step));
    }
    ASSERT_EQ(Fast(steps), Reference(steps)) << "round " << round;
  }
}

}  // namespace
}  // namespace vexmar
