// GetRuleItem and ChangeRuleFileName: the naming rule's item line read and rewritten.
#include <gtest/gtest.h>

#include <string>

#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/names/repeat_name.hpp"

namespace vexmar {
namespace {

struct RuleItemCase {
  std::u16string rule;
  bool result;
  std::u16string message;  // after the call; "keep" when untouched
  float weight;            // after the call; -1 when untouched
};

TEST(GetRuleItemTest, WeightAndMessageOfTheItemLine) {
  const RuleItemCase cases[] = {
      {u"K|a.xls|2.5|msg", true, u"msg", 2.5f},
      {u"K|a.xls|ten|msg", false, u"msg", -1.0f},
      {u"K|a.xls|5", false, u"keep", -1.0f},
      {u"", false, u"keep", -1.0f},
      {u"\r\nK|a.xls|5|m", false, u"keep", -1.0f},  // first line empty
      {u"K|a.xls| 7 |msg", true, u"msg", 7.0f},
      {u"K|a.xls|1E2|msg", true, u"msg", 100.0f},
      {u"K|a.xls|-0.5|msg", true, u"msg", -0.5f},
      {u"K|a.xls|5|", true, u"", 5.0f},
      {u"K|a.xls|5|m|extra", true, u"m", 5.0f},
      {u"K|a.xls||m", false, u"m", -1.0f},      // empty weight is not numeric
      {u"K|a.xls|   |m", false, u"m", -1.0f},   // nor all-space
      {u"K|a.xls|5 kg|m", false, u"m", -1.0f},  // the whole field must be a number
      {u"K|a.xls|0.1|m", true, u"m", 0.1f},     // rounded to single precision
      // Only CR LF ends the item line; a lone CR or LF is part of the message.
      {u"K|a.xls|3|m\r\nnext|line", true, u"m", 3.0f},
      {u"K|a.xls|3|m\rx", true, u"m\rx", 3.0f},
      {u"K|a.xls|3|m\nx", true, u"m\nx", 3.0f},
      {u"K|a.xls|3\r\n|m", false, u"keep", -1.0f},
  };
  const ClsRepeatName names;
  for (const auto& c : cases) {
    std::u16string message = u"keep";
    float weight = -1.0f;
    EXPECT_EQ(static_cast<bool>(names.GetRuleItem(c.rule, message, weight)), c.result)
        << Utf16ToUtf8(c.rule);
    EXPECT_EQ(message, c.message) << Utf16ToUtf8(c.rule);
    EXPECT_EQ(weight, c.weight) << Utf16ToUtf8(c.rule);
  }
}

TEST(GetRuleItemTest, TrueIsMinusOne) {
  std::u16string message;
  float weight = 0;
  EXPECT_EQ(ClsRepeatName().GetRuleItem(u"K|a|1|m", message, weight).value, -1);
  EXPECT_EQ(ClsRepeatName().GetRuleItem(u"K|a|x|m", message, weight).value, 0);
}

TEST(GetRuleItemTest, WeightBeyondSinglePrecisionIsOverflowAfterMessage) {
  std::u16string message = u"keep";
  float weight = -1.0f;
  try {
    (void)ClsRepeatName().GetRuleItem(u"K|a.xls|1E300|big", message, weight);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 6);
  }
  EXPECT_EQ(message, u"big");
  EXPECT_EQ(weight, -1.0f);
}

TEST(ChangeRuleFileNameTest, ReplacesFieldOneOfTheItemLine) {
  struct Case {
    std::u16string rule, file, expected;
  };
  const Case cases[] = {
      {u"K|*.xls#*.doc|5|Wrong sheet names\r\nSheet1", u"book1.xls",
       u"K|book1.xls|5|Wrong sheet names\r\nSheet1"},
      {u"no fields", u"f.xls", u"no fields"},
      {u"no fields\r\nmore", u"f.xls", u"no fields\r\nmore"},
      {u"\r\nK|x|5|m", u"f.xls", u""},
      {u"", u"f.xls", u""},
      {u"|x|5|m", u"f.xls", u"f.xls|5|m"},  // an empty field 0 loses its separator
      {u"K|x|5|m|a|b", u"f", u"K|f|5|m|a|b"},
      {u"K|x|5|m\r\n", u"f", u"K|f|5|m\r\n"},
      {u"K|x|5|m\r\nA\r\n\r\nB", u"f", u"K|f|5|m\r\nA\r\n\r\nB"},
      {u"K|x|5|m", u"", u"K||5|m"},
      {u"K|x", u"a|b#c", u"K|a|b#c"},  // inserted verbatim
      {u"K|", u"f", u"K|f"},
      {u"||", u"", u""},  // every piece empty: no separator is ever written
      {u"K|x|5|m\rmore|x", u"f", u"K|f|5|m\rmore|x"},  // lone CR is text
      {u"K|x\n|5", u"f", u"K|f|5"},
  };
  const ClsRepeatName names;
  for (const auto& c : cases) {
    EXPECT_EQ(names.ChangeRuleFileName(c.rule, c.file), c.expected) << Utf16ToUtf8(c.rule);
  }
}

}  // namespace
}  // namespace vexmar
