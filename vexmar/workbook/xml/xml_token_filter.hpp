#pragma once
// Guards an XML parser that is not built for hostile input (the system parser on
// Windows, and Wine's in particular) while keeping its verdicts those of a strict one:
//  - the body of a long comment is cut down to what decides its well-formedness: the
//    first bytes, every line break (so line numbers stay right), a "--" and any byte
//    that is no valid character; the rest never reaches the parser;
//  - character data inside an element beyond its first kKeptTextStart bytes is trimmed
//    of plain printable ASCII (references, "]" and what follows it, line breaks and every
//    other byte are kept), so that a long text node (base64 data, say) costs the parser
//    nothing however it buffers text;
//  - one tag, comment, processing instruction or declaration longer than the token cap
//    ends the stream and is reported (character data and CDATA sections are never one
//    token, as a streaming parser reports them piece by piece);
//  - a stream that ends inside markup or inside an element is reported, and the parser
//    is given an end that it cannot take for a good one (some builds otherwise wait for
//    more input forever);
//  - lines are counted, for the report of such a token.
// Input that is not ASCII-compatible (UTF-16) passes through unchanged.
//
// The skeleton stream (xml_skeleton_stream.hpp) follows the same markup with a scanner of
// its own, on purpose: it skips whole runs unseen for speed, while this filter steps byte
// by byte, and needs more of the grammar: the exact "<!--" and "<![CDATA[" openings (it
// rewrites what lies inside them) and quoted literals inside declarations (whose length
// it caps).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "vexmar/workbook/byte_stream.hpp"

namespace vexmar::workbook {

class XmlTokenFilter final : public ByteStream {
 public:
  XmlTokenFilter(ByteStream& inner, std::uint64_t max_token_bytes);
  std::size_t Read(std::span<std::byte> out) override;

  // Whether the stream was ended at a token longer than the cap.
  bool TokenTooLong() const noexcept { return too_long_; }
  // Whether the input ended inside markup, or inside an element: a document cut short.
  bool EndedEarly() const noexcept { return ended_early_; }
  // The line where the problem lies: the start of the token that is too long or cut
  // short, else the end of the input.
  std::uint64_t ProblemLine() const noexcept { return problem_line_; }

  // Comment bytes passed on in full before the rest is cut down; a comment with more
  // line breaks than kMaxKeptComment keeps only that many.
  static constexpr std::size_t kKeptCommentStart = 1024;
  static constexpr std::size_t kMaxKeptComment = 64 * 1024;
  static constexpr std::size_t kKeptTextStart = 1024;

 private:
  enum class State : std::uint8_t {
    kText, kOpen, kBang, kBangDash, kCDataHead, kCData, kComment, kInstruction, kTag, kDeclaration,
  };
  void Step(std::byte b);
  void StepComment(std::byte b);
  bool TrimText(char c) noexcept;
  void Emit(std::byte b) { output_.push_back(b); }
  void EmitText(const char* text);
  void StartToken() noexcept {
    token_ = 0;
    token_line_ = line_;
  }
  void EndEarly();

  ByteStream& inner_;
  std::uint64_t max_token_;
  std::vector<std::byte> input_;
  std::vector<std::byte> output_;  // filtered bytes not yet handed out
  std::size_t output_pos_ = 0;
  bool started_ = false;
  bool passthrough_ = false;
  bool utf8_ = true;  // the document declares no encoding but UTF-8
  bool ended_ = false;
  bool too_long_ = false;
  bool ended_early_ = false;
  std::uint64_t problem_line_ = 0;
  std::uint64_t depth_ = 0;     // open elements
  bool end_tag_ = false;        // the tag being read is an end tag
  bool slash_ = false;          // its last character outside quotes was "/"
  std::uint64_t line_ = 1;
  std::uint64_t token_line_ = 1;

  State state_ = State::kText;
  std::uint64_t token_ = 0;     // bytes of the current token so far
  char quote_ = 0;              // inside a quoted value of a tag or declaration
  int run_ = 0;                 // closing characters seen: ']' of "]]>", '?' of "?>"
  int brackets_ = 0;            // open "[" of a declaration's internal subset
  std::size_t comment_kept_ = 0;
  std::size_t text_kept_ = 0;   // bytes of the current text run passed on in full
  bool in_reference_ = false;   // inside "&...;" in trimmed text
  int after_bracket_ = 0;       // bytes still kept after a "]" in trimmed text
  int dashes_ = 0;              // '-' held back inside a cut comment
  int utf8_left_ = 0;           // continuation bytes still due in a cut comment
  std::uint32_t utf8_value_ = 0;
  std::uint32_t utf8_min_ = 0;
  std::vector<std::byte> utf8_bytes_;
};

}  // namespace vexmar::workbook
