// The name index: ContainsItem's answers, and look-ups that stay short whatever the names.
#include "vexmar/text/indexed_name_list.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vexmar/component/utf.hpp"
#include "vexmar/text/split_and_match.hpp"

namespace vexmar {
namespace {

TEST(IndexedNameListTest, AnswersAsContainsItemDoes) {
  const std::vector<std::u16string> names = {u"Sheet1", u"", u"成绩", u"ΣΊΣΥΦΟΣ", u"Ａ", u"a\rb"};
  const std::u16string probes[] = {u"sheet1", u"SHEET1", u"Sheet1 ", u"", u"成绩", u"σίσυφος",
                                   u"ａ",      u"A",      u"A\rB",    u"a\nb", u"ß", u"Sheet"};
  StringList plain;
  StringList indexed_list{u"old", u"x"};
  IndexedNameList indexed(indexed_list);
  EXPECT_EQ(indexed_list, StringList{u""});  // taken over as the placeholder alone
  plain.ResetToPlaceholder();
  for (const std::u16string& name : names) {
    plain.Append(name);
    indexed.Append(name);
  }
  EXPECT_EQ(indexed_list, plain);
  for (const std::u16string& probe : probes) {
    EXPECT_EQ(indexed.Contains(probe), ContainsItem(probe, plain)) << Utf16ToUtf8(probe);
  }
  // The placeholder is no entry: an empty list contains not even the empty name.
  StringList empty;
  EXPECT_FALSE(IndexedNameList(empty).Contains(u""));
}

// Families of names a candidate could prepare: long shared beginnings, one unit apart,
// permutations, case twins. Whatever the family, a look-up examines about one entry.
TEST(IndexedNameListTest, LookUpsStayShortForAnyFamilyOfNames) {
  constexpr int kNames = 20'000;
  const auto families = std::vector<std::u16string (*)(int)>{
      [](int i) { return std::u16string(100, u'x') + Utf8ToUtf16(std::to_string(i)); },
      [](int i) { return Utf8ToUtf16(std::to_string(i)) + std::u16string(100, u'x'); },
      [](int i) {
        std::u16string name(16, u'a');
        for (int bit = 0; bit < 16; ++bit) {
          if ((i >> bit) & 1) name[static_cast<std::size_t>(bit)] = u'b';
        }
        return name;
      },
      [](int i) {  // two units whose sum is constant: equal under additive hashes
        std::u16string name;
        for (int k = 0; k < 4; ++k) {
          const int digit = (i >> (4 * k)) & 15;
          name.push_back(static_cast<char16_t>(u'A' + digit));
          name.push_back(static_cast<char16_t>(u'A' + 15 - digit));
        }
        return name;
      },
  };
  for (std::size_t f = 0; f < families.size(); ++f) {
    StringList list;
    IndexedNameList indexed(list);
    const std::uint64_t before = NameLookupStepsOnThisThread();
    for (int i = 0; i < kNames; ++i) {
      const std::u16string name = families[f](i);
      const IndexedNameList::Lookup lookup = indexed.Find(name);
      ASSERT_FALSE(lookup.listed) << "family " << f << " name " << i;
      indexed.Append(name, lookup);
    }
    for (int i = 0; i < kNames; i += 7) ASSERT_TRUE(indexed.Contains(families[f](i)));
    const std::uint64_t steps = NameLookupStepsOnThisThread() - before;
    // Expected about 1.5 per look-up at the highest load; four is far out of reach.
    EXPECT_LE(steps, 4u * kNames) << "family " << f;
  }
}

}  // namespace
}  // namespace vexmar
