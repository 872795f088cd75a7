#include "vexmar/workbook/xml/xml_skeleton_stream.hpp"

#include <algorithm>
#include <cstring>

namespace vexmar::workbook {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

bool LooksUtf16(const char* p, std::size_t n) noexcept {
  if (n < 2) return false;
  const auto a = static_cast<unsigned char>(p[0]);
  const auto b = static_cast<unsigned char>(p[1]);
  return (a == 0xFE && b == 0xFF) || (a == 0xFF && b == 0xFE) || (a == 0 && b != 0) ||
         (a != 0 && b == 0);
}

}  // namespace

XmlSkeletonStream::XmlSkeletonStream(ByteStream& inner, std::size_t keep_depth)
    : inner_(inner), keep_(keep_depth), input_(std::make_unique_for_overwrite<char[]>(kChunk)) {}

bool XmlSkeletonStream::Fill() {
  if (ended_) return false;
  length_ = inner_.Read(std::as_writable_bytes(std::span(input_.get(), kChunk)));
  pos_ = 0;
  if (length_ == 0) {
    ended_ = true;
    return false;
  }
  if (!started_) {
    started_ = true;
    passthrough_ = LooksUtf16(input_.get(), length_);
  }
  return true;
}

std::size_t XmlSkeletonStream::Read(std::span<std::byte> out) {
  char* dest = reinterpret_cast<char*>(out.data());
  std::size_t produced = 0;
  while (produced < out.size()) {
    if (pending_length_ > 0) {
      FlushPending(dest, out.size(), &produced);
      continue;
    }
    if (pos_ == length_ && !Fill()) break;
    if (passthrough_) {
      const std::size_t n = std::min(out.size() - produced, length_ - pos_);
      std::memcpy(dest + produced, input_.get() + pos_, n);
      produced += n;
      pos_ += n;
      continue;
    }
    Scan(dest, out.size(), &produced);
  }
  return produced;
}

void XmlSkeletonStream::FlushPending(char* out, std::size_t capacity,
                                     std::size_t* produced) noexcept {
  while (pending_start_ < pending_length_ && *produced < capacity) {
    out[(*produced)++] = pending_[pending_start_++];
  }
  if (pending_start_ == pending_length_) pending_start_ = pending_length_ = 0;
}

void XmlSkeletonStream::EndToken(std::uint64_t new_depth) noexcept {
  depth_ = new_depth;
  state_ = State::kText;
  emit_ = depth_ < keep_;
}

void XmlSkeletonStream::SkipDeep(const char* in, std::size_t* pos_in) noexcept {
  std::size_t pos = *pos_in;
  const std::size_t end = length_;
  State state = state_;
  std::uint64_t depth = depth_;
  char quote = quote_;
  bool slash = slash_;
  while (pos < end) {
    if (state == State::kText) {
      const void* lt = std::memchr(in + pos, '<', end - pos);
      if (lt == nullptr) {
        pos = end;
        break;
      }
      pos = static_cast<std::size_t>(static_cast<const char*>(lt) - in) + 1;
      state = State::kOpen;
      continue;
    }
    const char c = in[pos];
    if (state == State::kOpen) {
      // Comments, instructions and an end tag that closes a kept element go to the
      // general scanner, which decides what is written.
      if (c == '!' || c == '?' || (c == '/' && depth <= keep_)) break;
      state = c == '/' ? State::kEndTag : State::kStartTag;
      quote = 0;
      slash = false;
      ++pos;
      continue;
    }
    ++pos;
    if (state == State::kStartTag) {
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        if (!slash) ++depth;
        state = State::kText;
      } else {
        slash = c == '/';
      }
    } else if (c == '>') {  // end tag
      depth = depth > 0 ? depth - 1 : 0;
      state = State::kText;
      if (depth < keep_) break;  // back among the kept levels
    }
  }
  *pos_in = pos;
  state_ = state;
  depth_ = depth;
  quote_ = quote;
  slash_ = slash;
  emit_ = state == State::kText ? depth < keep_ : false;
  if (state == State::kOpen) {
    run_ = 0;
    brackets_ = 0;
  }
}

void XmlSkeletonStream::Scan(char* out, std::size_t capacity, std::size_t* produced) {
  const char* in = input_.get();
  std::size_t pos = pos_;
  std::size_t made = *produced;
  FlushPending(out, capacity, &made);
  while (pos < length_ && made < capacity) {
    if (!emit_ &&
        (state_ == State::kText || state_ == State::kStartTag || state_ == State::kEndTag)) {
      SkipDeep(in, &pos);  // always consumes input
      continue;
    }
    if (state_ == State::kStartTag && quote_ != 0 &&
        CopyAttributeValue(in, &pos, out, capacity, &made)) {
      continue;
    }
    if (state_ == State::kText) {
      PassText(in, &pos, out, capacity, &made);
      continue;
    }
    const char c = in[pos++];
    if (state_ == State::kOpen) {
      OpenMarkup(c, out, capacity, &made);
      continue;
    }
    if (emit_) out[made++] = c;
    StepMarkup(c);
  }
  pos_ = pos;
  *produced = made;
}

bool XmlSkeletonStream::CopyAttributeValue(const char* in, std::size_t* pos, char* out,
                                           std::size_t capacity, std::size_t* made) noexcept {
  // A kept attribute value runs up to its closing quote: copied in one go (namespace
  // URIs and style values are most of the bytes kept). The quote itself is scanned.
  const void* q = std::memchr(in + *pos, quote_, length_ - *pos);
  const std::size_t end =
      q != nullptr ? static_cast<std::size_t>(static_cast<const char*>(q) - in) : length_;
  if (end == *pos) return false;
  const std::size_t n = std::min(end - *pos, capacity - *made);
  std::memcpy(out + *made, in + *pos, n);
  *made += n;
  *pos += n;
  return true;
}

void XmlSkeletonStream::PassText(const char* in, std::size_t* pos, char* out,
                                 std::size_t capacity, std::size_t* made) noexcept {
  // Text runs up to the next "<": copied or skipped in one go.
  const void* lt = std::memchr(in + *pos, '<', length_ - *pos);
  const std::size_t end =
      lt != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lt) - in) : length_;
  if (emit_) {
    const std::size_t n = std::min(end - *pos, capacity - *made);
    std::memcpy(out + *made, in + *pos, n);
    *made += n;
    *pos += n;
    if (*pos < end) return;  // the output is full
  } else {
    *pos = end;
  }
  if (*pos < length_) {
    state_ = State::kOpen;
    ++*pos;  // the "<" is written once the kind of markup is known
  }
}

void XmlSkeletonStream::OpenMarkup(char c, char* out, std::size_t capacity,
                                   std::size_t* made) noexcept {
  // Start tags go one level deeper; an end tag closes the current level.
  const bool end_tag = c == '/';
  emit_ = end_tag ? depth_ <= keep_ : depth_ < keep_;
  state_ = end_tag    ? State::kEndTag
           : c == '!' ? State::kBang
           : c == '?' ? State::kInstruction
                      : State::kStartTag;
  quote_ = 0;
  slash_ = false;
  run_ = 0;
  brackets_ = 0;
  if (emit_) {
    pending_[0] = '<';
    pending_[1] = c;
    pending_length_ = 2;
    FlushPending(out, capacity, made);
  }
}

void XmlSkeletonStream::StepMarkup(char c) noexcept {
  switch (state_) {
    case State::kStartTag:
      if (quote_ != 0) {
        if (c == quote_) quote_ = 0;
      } else if (c == '"' || c == '\'') {
        quote_ = c;
      } else if (c == '>') {
        EndToken(slash_ ? depth_ : depth_ + 1);
      } else {
        slash_ = c == '/';
      }
      break;
    case State::kEndTag:
      if (c == '>') EndToken(depth_ > 0 ? depth_ - 1 : 0);
      break;
    case State::kBang:
      state_ = c == '-' ? State::kBangDash : c == '[' ? State::kCData : State::kDeclaration;
      if (c == '>') EndToken(depth_);
      break;
    case State::kBangDash:
      state_ = State::kComment;
      break;
    case State::kComment:
      if (c == '>' && run_ >= 2) {
        EndToken(depth_);
      } else {
        run_ = c == '-' ? run_ + 1 : 0;
      }
      break;
    case State::kCData:
      if (c == '>' && run_ >= 2) {
        EndToken(depth_);
      } else {
        run_ = c == ']' ? run_ + 1 : 0;
      }
      break;
    case State::kInstruction:
      if (c == '>' && run_ >= 1) {
        EndToken(depth_);
      } else {
        run_ = c == '?' ? 1 : 0;
      }
      break;
    case State::kDeclaration:
      if (c == '[') {
        ++brackets_;
      } else if (c == ']') {
        --brackets_;
      } else if (c == '>' && brackets_ <= 0) {
        EndToken(depth_);
      }
      break;
    case State::kText:
    case State::kOpen:
      break;
  }
}

}  // namespace vexmar::workbook
