#include "vexmar/component/score_state.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>

namespace vexmar {
namespace {

TEST(ScoreStateTest, NewObjectIsEmpty) {
  ClsScoreState s;
  EXPECT_EQ(std::bit_cast<std::uint32_t>(s.CurScore()), 0u);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(s.TotalScore()), 0u);
  EXPECT_EQ(s.ErrMsg(), u"");
  EXPECT_EQ(s.ErrMsgXml(), u"");
}

TEST(ScoreStateTest, NumbersReadBackBitForBit) {
  const std::uint32_t patterns[] = {
      0x40F00000u,  // 7.5
      0x80000000u,  // -0
      0x7F800000u,  // +inf
      0xFF800000u,  // -inf
      0x7FC00001u,  // quiet NaN with payload
      0x7F800001u,  // signalling NaN
      0xFFFFFFFFu,  // negative NaN, all payload bits
      0x00000001u,  // smallest subnormal
      0xC2C80000u,  // -100
  };
  for (std::uint32_t bits : patterns) {
    ClsScoreState s;
    s.SetCurScore(std::bit_cast<float>(bits));
    s.SetTotalScore(std::bit_cast<float>(bits ^ 0x80000000u));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(s.CurScore()), bits);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(s.TotalScore()), bits ^ 0x80000000u);
  }
}

TEST(ScoreStateTest, MessagesAreIndependentCopies) {
  ClsScoreState s;
  std::u16string text = u"第一项错误\r\n第二项";
  s.SetErrMsg(text);
  text[0] = u'X';
  EXPECT_EQ(s.ErrMsg(), u"第一项错误\r\n第二项");
  EXPECT_EQ(s.ErrMsgXml(), u"");
  s.SetErrMsgXml(u"<e/>");
  s.SetErrMsg(u"");
  EXPECT_EQ(s.ErrMsg(), u"");
  EXPECT_EQ(s.ErrMsgXml(), u"<e/>");
  s.SetCurScore(7.5f);
  s.SetTotalScore(5.0f);
  EXPECT_EQ(s.CurScore(), 7.5f);
  EXPECT_EQ(s.TotalScore(), 5.0f);
}

}  // namespace
}  // namespace vexmar
