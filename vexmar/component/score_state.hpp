#pragma once
// ClsScoreState: a holder for one grading result that the host fills and reads.
#include <bit>
#include <cstdint>
#include <string>

#include "vexmar/component/export.hpp"
#include "vexmar/component/value.hpp"

namespace vexmar {

class VEXMAR_API ClsScoreState : public Object {
 public:
  // Numbers are kept as their bit pattern, so every float32 (NaN payloads and
  // negative zero included) reads back identical to what was written.
  float CurScore() const noexcept { return std::bit_cast<float>(cur_score_); }
  void SetCurScore(float value) noexcept { cur_score_ = std::bit_cast<std::uint32_t>(value); }
  float TotalScore() const noexcept { return std::bit_cast<float>(total_score_); }
  void SetTotalScore(float value) noexcept { total_score_ = std::bit_cast<std::uint32_t>(value); }

  std::u16string ErrMsg() const { return err_msg_; }
  void SetErrMsg(std::u16string value) { err_msg_ = std::move(value); }
  std::u16string ErrMsgXml() const { return err_msg_xml_; }
  void SetErrMsgXml(std::u16string value) { err_msg_xml_ = std::move(value); }

 private:
  std::u16string err_msg_xml_;
  std::u16string err_msg_;
  std::uint32_t total_score_ = 0;
  std::uint32_t cur_score_ = 0;
};

}  // namespace vexmar
