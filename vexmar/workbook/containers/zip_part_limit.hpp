#pragma once
// A cap on what a reader takes from one package part before its answer is complete.
//
// Inflating is cheap, parsing is not: 1 GiB of tiny elements inflated from a 2 MB entry
// would hold the parser for twenty seconds. Real parts are small where they are parsed:
// among 700 real packages the largest workbook part is 17 KB, the largest relationships
// part 25 KB, and OpenDocument content above the cells 15 KB; a workbook part listing
// 65,535 sheets of 31 CJK characters is about 10 MB. So the parser is fed at most
// kMaxPartBytesParsed of any part; content that a reader skips without parsing
// (OpenDocument cells) counts only against the archive's inflate cap.
#include <cstdint>
#include <string>

#include "vexmar/workbook/byte_stream.hpp"

namespace vexmar::workbook {

inline constexpr std::uint64_t kMaxPartBytesParsed = std::uint64_t{32} << 20;

class PartReadLimit final : public ByteStream {
 public:
  // `part`: the part's name, for the error's description.
  PartReadLimit(ByteStream& inner, std::string part, std::uint64_t limit = kMaxPartBytesParsed)
      : inner_(inner), part_(std::move(part)), left_(limit) {}
  std::size_t Read(std::span<std::byte> out) override;
  // Bytes handed out so far (for tests and benchmarks).
  std::uint64_t Taken() const noexcept { return taken_; }

 private:
  ByteStream& inner_;
  std::string part_;
  std::uint64_t left_;
  std::uint64_t taken_ = 0;
};

}  // namespace vexmar::workbook
