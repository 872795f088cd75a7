#include "vexmar/text/rule_numbers.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>

#include "support/error_number.hpp"
#include "vexmar/component/error.hpp"

namespace vexmar {
namespace {

using testing::ErrorNumberOf;

TEST(IsNumericTest, AcceptsOnlyPlainDecimalNumbers) {
  const std::pair<std::u16string, bool> cases[] = {
      {u"5", true},     {u" 7 ", true},    {u"2.5", true},     {u"-3", true},
      {u"+4", true},    {u"05.0", true},   {u"1E2", true},     {u"1e-2", true},
      {u"1E+39", true}, {u".5", true},     {u"5.", true},      {u"", false},
      {u"   ", false},  {u"ten", false},   {u"1,000", false},  {u"$5", false},
      {u"(5)", false},  {u"5-", false},    {u"&H10", false},   {u"1.2.3", false},
      {u"1E", false},   {u"E2", false},    {u".", false},      {u"+", false},
      {u"\t5", false},  {u"5 5", false},   {u"１２", false},  {u"1D2", false},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(IsNumeric(text), expected) << std::string(text.begin(), text.end());
  }
}

TEST(ConvertWholeToFloat32Test, RoundsToNearestAndRaisesOverflow) {
  EXPECT_EQ(ConvertWholeToFloat32(u" 7 "), 7.0f);
  EXPECT_EQ(ConvertWholeToFloat32(u"1E2"), 100.0f);
  EXPECT_EQ(ConvertWholeToFloat32(u"05.0"), 5.0f);
  EXPECT_EQ(ConvertWholeToFloat32(u"2.5"), 2.5f);
  EXPECT_EQ(ConvertWholeToFloat32(u"0.1"), 0.1f);
  EXPECT_EQ(ConvertWholeToFloat32(u"-1.5e3"), -1500.0f);
  EXPECT_EQ(ConvertWholeToFloat32(u"3.4028235E38"), 3.4028235e38f);
  EXPECT_EQ(ConvertWholeToFloat32(u"1E-50"), 0.0f);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(ConvertWholeToFloat32(u"-0")), 0x80000000u);
  for (const char16_t* text : {u"1E39", u"-1E39", u"3.5E38", u"1E400"}) {
    try {
      ConvertWholeToFloat32(text);
      FAIL();
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), 6);
    }
  }
  EXPECT_THROW(ConvertWholeToFloat32(u"ten"), Error);
}

TEST(ReadLeadingNumberTest, ReadsLikeALeadingNumberReader) {
  const std::pair<std::u16string, double> cases[] = {
      {u"2.5", 2.5},  {u" 7 ", 7},     {u"1E2", 100},   {u"1D2", 100},   {u"1e2", 100},
      {u"1 2", 12},   {u"\t-\n3", -3}, {u"5abc", 5},    {u"abc", 0},     {u"", 0},
      {u"1E", 1},     {u"1Ex", 1},     {u".5", 0.5},    {u"-.5", -0.5},  {u"3.", 3},
      {u"1,5", 1},    {u"+8", 8},      {u"05.0", 5},    {u"1.2.3", 1.2}, {u"\r5", 0},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_DOUBLE_EQ(ReadLeadingNumber(text), expected) << std::string(text.begin(), text.end());
  }
  EXPECT_THROW(ReadLeadingNumber(u"1E400"), Error);
  EXPECT_THROW(ToFloat32Checked(1e39), Error);
  EXPECT_EQ(ToFloat32Checked(2.5), 2.5f);
}

// Over- or underflow is told by the value's magnitude, however many digits the text has
// and whatever the exponent's sign; both readers agree on it.
TEST(RuleNumbersTest, HundredsOfDigitsOverflowOrUnderflowByMagnitude) {
  const std::u16string zeros(400, u'0');
  const struct {
    std::u16string text;
    double value;  // -1: the overflow error
  } cases[] = {
      {u"0." + zeros + u"1", 0},
      {u"-0." + zeros + u"1", 0},
      {u"1" + zeros + u"E-10", -1},
      {u"1" + zeros + u"E-395", 1e5},
      {u"0." + zeros + u"1E+402", 10},
      {u"0." + zeros + u"1E+999", -1},
      {u"1E-99999999999999999999999", 0},
      {u"1E+99999999999999999999999", -1},
      {u"0E+99999", 0},
      {u"0." + zeros, 0},
      {u"1" + zeros, -1},
  };
  for (const auto& c : cases) {
    const std::u16string_view head = std::u16string_view(c.text).substr(0, 12);
    SCOPED_TRACE(std::string(head.begin(), head.end()) + " (" + std::to_string(c.text.size()) + ")");
    if (c.value < 0) {
      EXPECT_EQ(ErrorNumberOf([&] { ConvertWholeToFloat32(c.text); }), 6);
      EXPECT_EQ(ErrorNumberOf([&] { ToFloat32Checked(ReadLeadingNumber(c.text)); }), 6);
    } else {
      EXPECT_EQ(ConvertWholeToFloat32(c.text), static_cast<float>(c.value));
      EXPECT_EQ(ToFloat32Checked(ReadLeadingNumber(c.text)), static_cast<float>(c.value));
    }
  }
}

// The whole field rounds once, from the text to float32; the leading-number reader reads
// a double first and rounds that, as its callers do.
TEST(RuleNumbersTest, WholeFieldRoundsOnceStraightToFloat32) {
  const struct {
    std::u16string text;
    std::uint32_t whole_bits;
    std::uint32_t leading_bits;
  } cases[] = {
      // Just above halfway between 1 and the next float32; the double nearest to it is
      // the halfway point itself, which rounds to even.
      {u"1.00000005960464477550", 0x3F800001u, 0x3F800000u},
      {u"1.000000059604644775390625", 0x3F800000u, 0x3F800000u},  // halfway: to even
      {u"0.1", 0x3DCCCCCDu, 0x3DCCCCCDu},
      {u".5", 0x3F000000u, 0x3F000000u},
      {u"3.40282350E38", 0x7F7FFFFFu, 0x7F7FFFFFu},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(ConvertWholeToFloat32(c.text)), c.whole_bits);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(ToFloat32Checked(ReadLeadingNumber(c.text))),
              c.leading_bits);
  }
}

}  // namespace
}  // namespace vexmar
