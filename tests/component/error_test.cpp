#include "vexmar/component/error.hpp"

#include <gtest/gtest.h>

#include "vexmar/component/checked.hpp"

namespace vexmar {
namespace {

struct ErrorCase {
  ErrorNumber number;
  std::u16string description;
  std::uint32_t hresult;
};

TEST(ErrorTest, ConventionalNumbersCarryChineseDescriptionAndHResult) {
  const ErrorCase cases[] = {
      {ErrorNumber::kInvalidProcedureCall, u"无效的过程调用或参数", 0x800A0005u},
      {ErrorNumber::kOverflow, u"溢出", 0x800A0006u},
      {ErrorNumber::kOutOfMemory, u"内存不足", 0x800A0007u},
      {ErrorNumber::kSubscriptOutOfRange, u"下标越界", 0x800A0009u},
      {ErrorNumber::kTypeMismatch, u"类型不匹配", 0x800A000Du},
      {ErrorNumber::kObjectDoesNotSupport, u"对象不支持该属性或方法", 0x800A01B6u},
      {ErrorNumber::kWrongArgumentCount, u"错误的参数号或无效的属性赋值", 0x800A01C2u},
  };
  for (const auto& c : cases) {
    const Error e(c.number);
    EXPECT_EQ(e.Number(), static_cast<std::int32_t>(c.number));
    EXPECT_EQ(e.Description(), c.description);
    EXPECT_EQ(static_cast<std::uint32_t>(e.HResult()), c.hresult);
  }
}

TEST(ErrorTest, WhatIsUtf8OfDescription) {
  const Error e(ErrorNumber::kOverflow);
  EXPECT_STREQ(e.what(), "溢出");
}

TEST(CheckedTest, OverflowRaisesInsteadOfWrapping) {
  EXPECT_EQ(CheckedAdd(2147483646, 1), 2147483647);
  EXPECT_EQ(CheckedSub(-2147483647, 1), -2147483647 - 1);
  try {
    CheckedAdd(2147483647, 1);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 6);
  }
  EXPECT_THROW(CheckedSub(-2147483647 - 1, 1), Error);
  EXPECT_THROW(ToInt32(std::size_t{1} << 31), Error);
  EXPECT_EQ(ToInt32((std::size_t{1} << 31) - 1), 2147483647);
}

}  // namespace
}  // namespace vexmar
