#include "vexmar/text/split_and_match.hpp"

#include "vexmar/component/checked.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/text/letter_case.hpp"

namespace vexmar {
namespace {

std::int32_t FindWithMode(std::u16string_view text, std::u16string_view what, std::int32_t start,
                          std::int32_t mode) {
  return mode == kCompareBinary ? FindExact(text, what, start) : FindIgnoreCase(text, what, start);
}

}  // namespace

void SplitString(std::u16string_view source, std::u16string_view delimiter, StringList& items,
                 std::int32_t nLimit, std::int32_t nCompare) {
  if (delimiter.empty()) {
    // An empty delimiter is found at the start of every rest and never consumes text.
    Raise(ErrorNumber::kInvalidProcedureCall);
  }
  if (nCompare != kCompareBinary && nCompare != kCompareText) {
    Raise(ErrorNumber::kInvalidProcedureCall);
  }
  (void)ToInt32(source.size());
  items.ResetToPlaceholder();

  // `rest` is source[rest_begin..]; positions found in it are 1-based from rest_begin.
  std::size_t rest_begin = 0;
  std::int32_t n = -1;
  std::int32_t p = FindWithMode(source, delimiter, 1, nCompare);
  while (p > 0) {
    n = CheckedAdd(n, 1);
    if (nLimit != -1 && CheckedAdd(n, 1) > nLimit) return;
    const auto piece_end = static_cast<std::size_t>(p) - 1;
    if (n == 0) {
      items.Set(0, std::u16string(source.substr(rest_begin, piece_end - rest_begin)));
    } else {
      items.Append(std::u16string(source.substr(rest_begin, piece_end - rest_begin)));
    }
    rest_begin = piece_end + delimiter.size();
    if (rest_begin >= source.size()) break;
    p = FindWithMode(source, delimiter, static_cast<std::int32_t>(rest_begin) + 1, nCompare);
  }
  n = CheckedAdd(n, 1);
  std::u16string last(source.substr(rest_begin < source.size() ? rest_begin : source.size()));
  if (n == 0) {
    items.Set(0, std::move(last));
  } else {
    items.Append(std::move(last));
  }
}

bool ContainsItem(std::u16string_view item, const StringList& list) {
  const std::int32_t upper = list.UpperBound();
  for (std::int32_t i = 1; i <= upper; ++i) {
    if (EqualsIgnoreCase(item, list.At(i))) return true;
  }
  return false;
}

bool HasWildcard(std::u16string_view text) noexcept {
  return text.find_first_of(u"*?") != std::u16string_view::npos;
}

void ParsePattern(std::u16string_view strPattern, std::vector<PatternSegment>& Segments) {
  Segments.assign(1, PatternSegment{});
  std::size_t s = 0;
  while (true) {
    const std::size_t w = strPattern.find_first_of(u"*?", s);
    if (w == std::u16string_view::npos) break;
    if (w > s) {
      Segments.push_back({std::u16string(strPattern.substr(s, w - s)), 0, PatternSegment::kLiteral});
    }
    const char16_t c = strPattern[w];
    PatternSegment& last = Segments.back();
    if (last.Text.size() == 1 && last.Text[0] == c) {
      if (c == u'?') last.Count = CheckedAdd(last.Count, 1);
    } else if (c == u'*') {
      Segments.push_back({u"*", 0, PatternSegment::kStar});
    } else {
      Segments.push_back({u"?", 1, PatternSegment::kQuestion});
    }
    s = w + 1;
  }
  if (s < strPattern.size()) {
    Segments.push_back({std::u16string(strPattern.substr(s)), 0, PatternSegment::kLiteral});
  }
}

std::int32_t MatchWildcard(std::u16string_view strSource, std::u16string_view strFind,
                           std::int32_t nStart, std::int32_t& nLength) {
  nLength = 0;
  if (strSource.empty() || strFind.empty()) return -1;
  if (nStart < 1) Raise(ErrorNumber::kInvalidProcedureCall);
  const std::int32_t source_length = ToInt32(strSource.size());

  if (!HasWildcard(strFind)) {
    const std::int32_t found = FindIgnoreCase(strSource, strFind, nStart);
    if (found > 0) nLength = ToInt32(strFind.size());
    return found;
  }

  // Walks the pattern's segments in place, as ParsePattern would cut them: literal
  // runs, a star (consecutive stars are one), and runs of question marks.
  std::int32_t result = -1;
  std::int32_t cur = nStart;
  bool first = true;
  bool last_is_star = false;
  std::size_t s = 0;
  while (s < strFind.size()) {
    const char16_t c = strFind[s];
    if (c == u'*') {
      if (first) result = cur;
      while (s < strFind.size() && strFind[s] == u'*') ++s;
      last_is_star = true;
    } else if (c == u'?') {
      if (first) result = cur;
      std::int32_t count = 0;
      while (s < strFind.size() && strFind[s] == u'?') ++s, ++count;
      cur = CheckedAdd(cur, count);
      if (cur - 1 > source_length) return -1;
      last_is_star = false;
    } else {
      const std::size_t end = std::min(strFind.find_first_of(u"*?", s), strFind.size());
      const std::int32_t p = FindIgnoreCase(strSource, strFind.substr(s, end - s), cur);
      if (p == 0) return -1;
      if (first) result = p;
      cur = p + static_cast<std::int32_t>(end - s);
      s = end;
      last_is_star = false;
    }
    first = false;
  }
  if (last_is_star) {
    // A pattern of stars alone, started beyond the end of the source, has no stretch
    // to give: report nothing found rather than a negative length.
    if (result > source_length + 1) return -1;
    cur = source_length + 1;
  }
  nLength = cur - result;
  return result;
}

}  // namespace vexmar
