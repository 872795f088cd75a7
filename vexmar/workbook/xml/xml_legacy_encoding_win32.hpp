#pragma once
// XML documents in a legacy encoding (GBK, windows-1252, Shift_JIS, ...) for the Windows
// parser, which reads only UTF-8 and UTF-16: the document is decoded with the system's
// code-page tables and handed on in UTF-8, its declaration naming UTF-8. The labels are
// those the Linux reader accepts; a byte sequence that forms no character becomes a byte
// that is never valid UTF-8, so the parser refuses the document there as on Linux.
#include <cstddef>
#include <string>
#include <vector>

#include "vexmar/workbook/byte_stream.hpp"

namespace vexmar::workbook {

class LegacyEncodingStream final : public ByteStream {
 public:
  explicit LegacyEncodingStream(ByteStream& inner) : inner_(inner) {}
  std::size_t Read(std::span<std::byte> out) override;

 private:
  bool Fill();
  void Decode(const unsigned char* bytes, std::size_t size, bool last);

  ByteStream& inner_;
  bool started_ = false;
  bool ended_ = false;
  unsigned code_page_ = 0;  // 0: passed on unchanged
  std::vector<unsigned char> carry_;  // the start of a character cut by a chunk's end
  std::string output_;
  std::size_t output_pos_ = 0;
};

}  // namespace vexmar::workbook
