#include "vexmar/workbook/xml/xml_token_filter.hpp"

#include <algorithm>
#include <string>
#include <string_view>

namespace vexmar::workbook {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

bool IsUtf16Start(std::span<const std::byte> head) {
  if (head.size() < 2) return false;
  const auto a = std::to_integer<unsigned>(head[0]);
  const auto b = std::to_integer<unsigned>(head[1]);
  return (a == 0xFF && b == 0xFE) || (a == 0xFE && b == 0xFF) || (a == '<' && b == 0) ||
         (a == 0 && b == '<');
}

// Whether the XML declaration at the start of `head` names an encoding other than UTF-8.
bool DeclaresOtherEncoding(std::span<const std::byte> head) {
  const std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
  if (!text.starts_with("<?xml")) return false;
  const std::string_view declaration = text.substr(0, text.find("?>"));
  const std::size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return false;
  const std::size_t quote = declaration.find_first_of("\"'", at);
  if (quote == std::string_view::npos) return false;
  const std::size_t end = declaration.find(declaration[quote], quote + 1);
  std::string value(declaration.substr(quote + 1, end == std::string_view::npos ? 0 : end - quote - 1));
  std::transform(value.begin(), value.end(), value.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
  return value != "UTF-8" && value != "UTF8";
}

// Whether a code point is a character XML allows.
bool IsXmlChar(std::uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

}  // namespace

XmlTokenFilter::XmlTokenFilter(ByteStream& inner, std::uint64_t max_token_bytes)
    : inner_(inner), max_token_(max_token_bytes) {}

std::size_t XmlTokenFilter::Read(std::span<std::byte> out) {
  while (output_pos_ == output_.size()) {
    output_.clear();
    output_pos_ = 0;
    if (ended_) return 0;
    input_.resize(kChunk);
    const std::size_t got = inner_.Read(input_);
    if (got == 0) {
      ended_ = true;
      if (!passthrough_ && (state_ != State::kText || depth_ > 0)) EndEarly();
      if (output_.empty()) return 0;
      break;
    }
    const std::span<const std::byte> chunk(input_.data(), got);
    if (!started_) {
      started_ = true;
      passthrough_ = IsUtf16Start(chunk);
      // Bytes above ASCII mean other characters in another encoding: the parser judges them.
      utf8_ = !DeclaresOtherEncoding(chunk);
    }
    if (passthrough_) {
      output_.assign(chunk.begin(), chunk.end());
      break;
    }
    for (const std::byte b : chunk) {
      Step(b);
      if (ended_) break;
    }
  }
  const std::size_t n = std::min(out.size(), output_.size() - output_pos_);
  std::copy_n(output_.begin() + static_cast<std::ptrdiff_t>(output_pos_), n, out.begin());
  output_pos_ += n;
  return n;
}

void XmlTokenFilter::EndEarly() {
  ended_early_ = true;
  problem_line_ = state_ == State::kText ? line_ : token_line_;
  switch (state_) {
    case State::kComment:
      EmitText("-->");
      break;
    case State::kCData:
      EmitText("]]>");
      break;
    case State::kInstruction:
      EmitText("?>");
      break;
    case State::kText:
      break;
    default:
      return;  // inside a tag or declaration the parser sees the cut by itself
  }
  EmitText("</>");  // an end tag without a name: never well-formed
}

void XmlTokenFilter::EmitText(const char* text) {
  for (; *text != '\0'; ++text) Emit(static_cast<std::byte>(*text));
}

// Inside an element, character data beyond its first bytes is trimmed of what cannot
// decide its well-formedness: printable ASCII other than "&", "]" and ">" (a reference
// is kept whole, and so are the two bytes after a "]", so that no "]]>" is made by
// trimming); line breaks, other bytes and anything unusual are kept. True when `c` is
// dropped.
bool XmlTokenFilter::TrimText(char c) noexcept {
  bool keep = text_kept_ < kKeptTextStart;
  if (keep) ++text_kept_;
  if (in_reference_) {
    in_reference_ = c != ';';
    keep = true;
  } else if (c == '&') {
    in_reference_ = true;
    keep = true;
  } else if (c == ']') {
    after_bracket_ = 2;
    keep = true;
  } else if (after_bracket_ > 0) {
    --after_bracket_;
    keep = true;
  }
  return !keep && c >= 0x20 && c <= 0x7E && c != '>';
}

void XmlTokenFilter::Step(std::byte b) {
  const char c = std::to_integer<char>(b);
  if (c == '\n') ++line_;
  if (state_ != State::kText && state_ != State::kCData && ++token_ > max_token_) {
    too_long_ = true;
    ended_ = true;
    EndEarly();
    return;
  }
  if (state_ == State::kComment) {
    StepComment(b);
    return;
  }
  if (state_ == State::kText && depth_ > 0 && c != '<' && TrimText(c)) return;
  Emit(b);
  switch (state_) {
    case State::kText:
      if (c == '<') {
        state_ = State::kOpen;
        StartToken();
        text_kept_ = 0;
      }
      break;
    case State::kOpen:
      if (c == '!') {
        state_ = State::kBang;
      } else if (c == '?') {
        state_ = State::kInstruction;
        run_ = 0;
      } else {
        state_ = c == '>' ? State::kText : State::kTag;
        quote_ = 0;
        end_tag_ = c == '/';
        slash_ = false;
      }
      break;
    case State::kBang:
      if (c == '-') {
        state_ = State::kBangDash;
      } else if (c == '[') {
        state_ = State::kCDataHead;
      } else {
        state_ = c == '>' ? State::kText : State::kDeclaration;
        quote_ = 0;
        brackets_ = 0;
      }
      break;
    case State::kBangDash:
      if (c == '-') {
        state_ = State::kComment;
        comment_kept_ = 0;
        dashes_ = 0;
        utf8_left_ = 0;
        utf8_bytes_.clear();
      } else {
        state_ = c == '>' ? State::kText : State::kDeclaration;
        quote_ = 0;
        brackets_ = 0;
      }
      break;
    case State::kCDataHead:
      if (c == '[') {
        state_ = State::kCData;
        run_ = 0;
      } else if (c == '>') {
        state_ = State::kText;
      }
      break;
    case State::kCData:
      if (c == ']') {
        ++run_;
      } else {
        if (c == '>' && run_ >= 2) state_ = State::kText;
        run_ = 0;
      }
      break;
    case State::kInstruction:
      if (c == '>' && run_ > 0) state_ = State::kText;
      run_ = c == '?' ? 1 : 0;
      break;
    case State::kTag:
    case State::kDeclaration:
      if (quote_ != 0) {
        if (c == quote_) quote_ = 0;
      } else if (c == '"' || c == '\'') {
        quote_ = c;
      } else if (state_ == State::kDeclaration && c == '[') {
        ++brackets_;
      } else if (state_ == State::kDeclaration && c == ']') {
        brackets_ = std::max(0, brackets_ - 1);
      } else if (c == '>' && (state_ == State::kTag || brackets_ == 0)) {
        if (state_ == State::kTag) {
          if (end_tag_) {
            if (depth_ > 0) --depth_;
          } else if (!slash_) {
            ++depth_;
          }
        }
        state_ = State::kText;
      }
      if (quote_ == 0 && c != '>') slash_ = c == '/';
      break;
    case State::kComment:
      break;
  }
}

void XmlTokenFilter::StepComment(std::byte b) {
  const char c = std::to_integer<char>(b);
  const auto v = std::to_integer<unsigned>(b);
  if (comment_kept_ < kKeptCommentStart) {  // the start passes as it is
    Emit(b);
    ++comment_kept_;
    if (c == '-') {
      ++dashes_;
    } else {
      if (c == '>' && dashes_ >= 2) state_ = State::kText;
      dashes_ = 0;
    }
    return;
  }
  if (c == '-') {  // held back until it is known whether the comment ends
    ++dashes_;
    return;
  }
  if (dashes_ > 0) {
    if (c == '>' && dashes_ >= 2) {
      for (int i = 0; i < dashes_; ++i) Emit(std::byte{'-'});
      Emit(b);
      dashes_ = 0;
      state_ = State::kText;
      return;
    }
    if (dashes_ >= 2) EmitText("--");  // not allowed inside a comment: the parser says so
    dashes_ = 0;
  }
  const bool room = comment_kept_ < kMaxKeptComment;
  const auto keep = [&](std::span<const std::byte> bytes) {
    if (!room) return;
    for (const std::byte k : bytes) Emit(k);
    comment_kept_ += bytes.size();
  };
  if (utf8_left_ > 0) {
    if ((v & 0xC0) == 0x80) {
      utf8_bytes_.push_back(b);
      utf8_value_ = (utf8_value_ << 6) | (v & 0x3F);
      if (--utf8_left_ == 0) {
        if (utf8_value_ < utf8_min_ || !IsXmlChar(utf8_value_)) keep(utf8_bytes_);
        utf8_bytes_.clear();
      }
      return;
    }
    keep(utf8_bytes_);  // a sequence cut short
    utf8_bytes_.clear();
    utf8_left_ = 0;
  }
  if (v < 0x80) {
    // Line breaks keep the parser's line count; other control characters are errors.
    if (c == '\n' || c == '\r' || (v < 0x20 && c != '\t')) keep(std::span(&b, 1));
    return;
  }
  if (!utf8_) {
    keep(std::span(&b, 1));
    return;
  }
  utf8_bytes_.assign(1, b);
  const auto start = [&](int left, unsigned bits, std::uint32_t min) {
    utf8_left_ = left;
    utf8_value_ = v & bits;
    utf8_min_ = min;
  };
  if (v >= 0xC2 && v <= 0xDF) {
    start(1, 0x1F, 0x80);
  } else if (v >= 0xE0 && v <= 0xEF) {
    start(2, 0x0F, 0x800);
  } else if (v >= 0xF0 && v <= 0xF4) {
    start(3, 0x07, 0x10000);
  } else {
    keep(utf8_bytes_);  // no UTF-8 lead byte: the parser judges it by the document's encoding
    utf8_bytes_.clear();
  }
}

}  // namespace vexmar::workbook
