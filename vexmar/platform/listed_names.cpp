// The listing order, and the gathering of names that serves it.
#include <algorithm>
#include <cstring>

#include "vexmar/platform/directory_listing.hpp"
#include "vexmar/platform/listed_names.hpp"
#include "vexmar/platform/upper_unit.hpp"

namespace vexmar {
namespace {

// Ordinal comparison of two runs of UTF-16 units: <0, 0, >0. Equal stretches are skipped
// four units at a time.
int CompareUnits(std::u16string_view a, std::u16string_view b) noexcept {
  const std::size_t common = std::min(a.size(), b.size());
  std::size_t i = 0;
  for (; i + 4 <= common; i += 4) {
    std::uint64_t x;
    std::uint64_t y;
    std::memcpy(&x, a.data() + i, sizeof x);
    std::memcpy(&y, b.data() + i, sizeof y);
    if (x != y) break;
  }
  for (; i < common; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// Four units from `from` on, packed so that integer order is their ordinal order. Units
// beyond the end count as 0, below every unit a name holds (names have no NUL), so the
// shorter of two runs that agree up to its end sorts first, as it should.
std::uint64_t PackUnits(std::u16string_view key, std::size_t from) noexcept {
  std::uint64_t packed = 0;
  for (std::size_t i = from; i < from + 4; ++i) {
    packed = (packed << 16) | (i < key.size() ? key[i] : 0u);
  }
  return packed;
}

struct Entry {
  std::uint64_t cached_high;  // key units shared+0 .. shared+3
  std::uint64_t cached_low;   // key units shared+4 .. shared+7
  std::size_t span;           // which name
};

}  // namespace

void ListedNames::Add(std::u16string_view name) {
  spans_.push_back({exact_.size(), name.size()});
  exact_.append(name);
  const std::size_t at = upper_.size();
  upper_.resize(at + name.size());
  for (std::size_t i = 0; i < name.size(); ++i) upper_[at + i] = UpperUnitInline(name[i]);
}

std::vector<std::u16string> ListedNames::TakeInListingOrder() {
  const std::u16string_view keys(upper_);
  const std::u16string_view exact(exact_);
  auto key_of = [&](const Span& s) { return keys.substr(s.offset, s.length); };

  // The beginning every key shares; the sort compares what follows it.
  std::size_t shared = spans_.empty() ? 0 : spans_[0].length;
  for (std::size_t i = 1; i < spans_.size() && shared > 0; ++i) {
    const std::u16string_view first = keys.substr(0, shared);
    const std::u16string_view key = key_of(spans_[i]);
    std::size_t same = 0;
    while (same < first.size() && same < key.size() && first[same] == key[same]) ++same;
    shared = same;
  }

  std::vector<Entry> entries;
  entries.reserve(spans_.size());
  for (std::size_t i = 0; i < spans_.size(); ++i) {
    const std::u16string_view key = key_of(spans_[i]);
    entries.push_back({PackUnits(key, shared), PackUnits(key, shared + 4), i});
  }

  const std::size_t compared_from = shared + 8;
  std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
    if (a.cached_high != b.cached_high) return a.cached_high < b.cached_high;
    if (a.cached_low != b.cached_low) return a.cached_low < b.cached_low;
    const Span& span_a = spans_[a.span];
    const Span& span_b = spans_[b.span];
    if (span_a.length > compared_from || span_b.length > compared_from) {
      const std::u16string_view key_a = key_of(span_a);
      const std::u16string_view key_b = key_of(span_b);
      const int by_key = CompareUnits(key_a.substr(std::min(key_a.size(), compared_from)),
                                      key_b.substr(std::min(key_b.size(), compared_from)));
      if (by_key != 0) return by_key < 0;
    }
    return CompareUnits(exact.substr(span_a.offset, span_a.length),
                        exact.substr(span_b.offset, span_b.length)) < 0;
  });

  std::vector<std::u16string> names;
  names.reserve(entries.size());
  for (const Entry& entry : entries) {
    const Span& span = spans_[entry.span];
    names.emplace_back(exact.substr(span.offset, span.length));
  }
  exact_.clear();
  upper_.clear();
  spans_.clear();
  return names;
}

void SortInListingOrder(std::vector<std::u16string>& names) {
  ListedNames listed;
  for (const auto& name : names) listed.Add(name);
  names = listed.TakeInListingOrder();
}

}  // namespace vexmar
