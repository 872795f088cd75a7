#pragma once
// XML documents declared in a legacy encoding (windows-1252, GBK, GB18030, Big5,
// Shift_JIS, KOI8-R, ...), decoded with the C library's iconv. Encodings whose ASCII
// range is plain ASCII are read; others (EBCDIC, UTF-7, the stateful ISO-2022 family)
// stay unknown to the parser, and the document is malformed.
#include <expat.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "vexmar/workbook/byte_stream.hpp"

namespace vexmar::workbook {

// Converts a document declared in a legacy encoding to UTF-8 in blocks, its declaration
// rewritten to name UTF-8, so that the parser reads it at UTF-8 speed (one iconv call per
// 64 KiB instead of several per character) and multi-byte forms of any length (GB18030's
// four bytes) are decoded. A byte sequence that forms no character becomes a byte that is
// never valid UTF-8, so the parser refuses the document there. Any other document is
// passed on unchanged.
class LegacyEncodingStream final : public ByteStream {
 public:
  explicit LegacyEncodingStream(ByteStream& inner) : inner_(inner) {}
  ~LegacyEncodingStream() override;
  LegacyEncodingStream(const LegacyEncodingStream&) = delete;
  LegacyEncodingStream& operator=(const LegacyEncodingStream&) = delete;
  std::size_t Read(std::span<std::byte> out) override;

  // Calls into iconv for document bytes on this thread so far (for tests and benchmarks).
  static std::uint64_t ConverterCalls() noexcept;

 private:
  bool Fill();
  void Start();
  void Convert();

  ByteStream& inner_;
  void* converter_ = nullptr;  // iconv_t; none when the bytes pass unchanged
  bool started_ = false;
  bool ended_ = false;
  std::vector<char> input_;  // read, not yet converted (a character cut by a chunk's end)
  std::vector<char> output_;
  std::size_t output_pos_ = 0;
};

// The expat unknown-encoding handler, for documents the stream above leaves unchanged
// (single-byte encodings only reach it then); `data` is unused.
int XMLCALL LegacyEncodingHandler(void* data, const XML_Char* name, XML_Encoding* info);

}  // namespace vexmar::workbook
