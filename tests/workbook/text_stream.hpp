#pragma once
// A byte stream over text in memory, handed out `step` bytes at a time at most (all at
// once by default), for the parser and filter tests.
#include <algorithm>
#include <cstring>
#include <limits>
#include <span>
#include <string>

#include "vexmar/workbook/byte_stream.hpp"

namespace vexmar::workbook::testing {

class TextStream final : public ByteStream {
 public:
  explicit TextStream(std::string text, std::size_t step = std::numeric_limits<std::size_t>::max())
      : text_(std::move(text)), step_(step) {}
  std::size_t Read(std::span<std::byte> out) override {
    const std::size_t n = std::min({out.size(), step_, text_.size() - pos_});
    std::memcpy(out.data(), text_.data() + pos_, n);
    pos_ += n;
    return n;
  }

 private:
  std::string text_;
  std::size_t step_;
  std::size_t pos_ = 0;
};

}  // namespace vexmar::workbook::testing
