#pragma once
// Keeps only the top levels of an XML document on its way to the parser.
//
// OpenDocument and SpreadsheetML hold their sheet names at a fixed, shallow depth, while
// nearly all of their bytes are cell data below it. This stream tracks element depth with
// a small byte-level scanner (tags, quoted attribute values, comments, CDATA sections,
// processing instructions) and passes on only the markup and text of elements up to
// `keep_depth`, so the namespace-aware parser sees a skeleton such as
// <office:spreadsheet><table:table table:name="T1"></table:table>...</office:spreadsheet>.
// Everything the parser sees stays checked for well-formedness; inside dropped content
// only the nesting is followed, so a document cut short there still fails.
//
// Input that is not ASCII-compatible (UTF-16 by byte-order mark or by its first bytes)
// passes through unchanged and is parsed in full.
//
// The token filter (xml_token_filter.hpp) follows the same markup with a scanner of its
// own, on purpose. This one is on the path of every OpenDocument and SpreadsheetML file:
// it jumps over text, attribute values and dropped levels with memchr, and needs only
// where each piece of markup ends (the parser behind it judges what is kept). The filter
// looks at every byte, counting lines and token lengths, trimming text and checking
// comments, and reads more of the grammar; one lexer for both would cost this one its
// jumps.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "vexmar/workbook/byte_stream.hpp"

namespace vexmar::workbook {

class XmlSkeletonStream final : public ByteStream {
 public:
  XmlSkeletonStream(ByteStream& inner, std::size_t keep_depth);
  std::size_t Read(std::span<std::byte> out) override;

 private:
  enum class State : std::uint8_t {
    kText,
    kOpen,      // after "<"
    kBang,      // after "<!"
    kBangDash,  // after "<!-"
    kStartTag,
    kEndTag,
    kComment,
    kCData,
    kInstruction,
    kDeclaration,
  };
  bool Fill();
  // Scans input from pos_, writing kept bytes to out[*produced...]; stops when either
  // runs out.
  void Scan(char* out, std::size_t capacity, std::size_t* produced);
  // Tags and text below the kept levels, with nothing to write: only the nesting is
  // followed, in locals, until the depth comes back or other markup starts.
  void SkipDeep(const char* in, std::size_t* pos) noexcept;
  // The steps of Scan, each on kept content: the rest of a quoted attribute value (false
  // when the quote is next), a text run, the character after "<", one character of other
  // markup (already written when kept). Inline, so that the hot loop keeps its positions
  // in registers.
  inline bool CopyAttributeValue(const char* in, std::size_t* pos, char* out, std::size_t capacity,
                          std::size_t* made) noexcept;
  inline void PassText(const char* in, std::size_t* pos, char* out, std::size_t capacity,
                       std::size_t* made) noexcept;
  inline void OpenMarkup(char c, char* out, std::size_t capacity, std::size_t* made) noexcept;
  inline void StepMarkup(char c) noexcept;
  void EndToken(std::uint64_t new_depth) noexcept;
  void FlushPending(char* out, std::size_t capacity, std::size_t* produced) noexcept;

  ByteStream& inner_;
  std::uint64_t keep_;
  std::unique_ptr<char[]> input_;  // kChunk bytes, never zero-filled
  std::size_t pos_ = 0;
  std::size_t length_ = 0;
  bool started_ = false;
  bool passthrough_ = false;
  bool ended_ = false;

  State state_ = State::kText;
  std::uint64_t depth_ = 0;
  bool emit_ = true;  // whether the bytes of the current token are kept
  char quote_ = 0;    // inside a quoted attribute value
  bool slash_ = false;
  int run_ = 0;           // closing characters seen: '-' of "-->", ']' of "]]>", '?' of "?>"
  int brackets_ = 0;      // internal subset of a declaration
  char pending_[2] = {};  // "<" and the character after it, once known to be kept
  int pending_start_ = 0;
  int pending_length_ = 0;
};

}  // namespace vexmar::workbook
