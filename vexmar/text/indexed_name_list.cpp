#include "vexmar/text/indexed_name_list.hpp"

#include <chrono>
#include <random>
#include <utility>

#include "vexmar/text/letter_case.hpp"

namespace vexmar {
namespace {

constexpr std::uint64_t kPrime = (std::uint64_t{1} << 31) - 1;

struct HashKey {
  std::uint64_t point_a;  // in [1, kPrime)
  std::uint64_t point_b;
  std::uint64_t spread;  // odd
};

HashKey MakeKey() {
  std::uint64_t words[3];
  try {
    std::random_device device;
    for (std::uint64_t& word : words) word = (std::uint64_t{device()} << 32) ^ device();
  } catch (const std::exception&) {
    // No random source on this system: a key from the clock and the stack's address
    // (randomised per process) still differs between runs, which is what defeats
    // names prepared in advance.
    const auto now = static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    const auto place = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&words));
    std::seed_seq seed{now, now >> 32, place, place >> 32};
    std::mt19937_64 fallback(seed);
    for (std::uint64_t& word : words) word = fallback();
  }
  return {1 + words[0] % (kPrime - 1), 1 + words[1] % (kPrime - 1), words[2] | 1};
}

// Made once per process, on first use; immutable afterwards.
const HashKey& ProcessKey() {
  static const HashKey key = MakeKey();
  return key;
}

// x mod (2^31 - 1) for x < 2^63.
std::uint64_t Reduce(std::uint64_t x) noexcept {
  x = (x & kPrime) + (x >> 31);
  x = (x & kPrime) + (x >> 31);
  return x >= kPrime ? x - kPrime : x;
}

thread_local std::uint64_t lookup_steps = 0;

}  // namespace

std::uint64_t NameLookupStepsOnThisThread() noexcept { return lookup_steps; }

std::uint64_t IndexedNameList::HashIgnoringCase(std::u16string_view name) noexcept {
  const HashKey& key = ProcessKey();
  // The length first, then every upper-cased unit: names that differ give polynomials
  // that differ, which agree at a random point with probability length / prime.
  std::uint64_t a = Reduce(name.size());
  std::uint64_t b = a;
  for (const char16_t unit : name) {
    const std::uint64_t value = ToUpperUnit(unit);
    a = Reduce(a * key.point_a + value);
    b = Reduce(b * key.point_b + value);
  }
  return (a << 31) | b;
}

IndexedNameList::IndexedNameList(StringList& list)
    : list_(list), heads_(std::size_t{1} << kInitialBucketBits) {
  list_.ResetToPlaceholder();
}

std::size_t IndexedNameList::BucketOf(std::uint64_t hash) const noexcept {
  return static_cast<std::size_t>((hash * ProcessKey().spread) >> (64 - bucket_bits_));
}

IndexedNameList::Lookup IndexedNameList::Find(std::u16string_view name) const {
  const std::uint64_t hash = HashIgnoringCase(name);
  for (std::int32_t at = heads_[BucketOf(hash)]; at != 0;) {
    ++lookup_steps;
    const Entry& entry = entries_[static_cast<std::size_t>(at) - 1];
    if (entry.hash == hash && EqualsIgnoreCase(list_.At(at), name)) return {true, hash};
    at = entry.next;
  }
  return {false, hash};
}

void IndexedNameList::Append(std::u16string name) {
  const std::uint64_t hash = HashIgnoringCase(name);
  Append(std::move(name), Lookup{false, hash});
}

void IndexedNameList::Append(std::u16string name, const Lookup& lookup) {
  // At most one name per bucket on average keeps the chains short.
  if (entries_.size() >= heads_.size()) Grow();
  entries_.push_back({lookup.hash, 0});
  try {
    list_.Append(std::move(name));
  } catch (...) {
    entries_.pop_back();  // the list is unchanged, so the index must be too
    throw;
  }
  Link(list_.UpperBound());
}

void IndexedNameList::Link(std::int32_t index) noexcept {
  Entry& entry = entries_[static_cast<std::size_t>(index) - 1];
  std::int32_t& head = heads_[BucketOf(entry.hash)];
  entry.next = head;
  head = index;
}

void IndexedNameList::Grow() {
  std::vector<std::int32_t> heads(heads_.size() * 2);
  heads_.swap(heads);
  ++bucket_bits_;
  // Linked oldest first, each chain ends up newest first, as Link() leaves it.
  for (std::size_t i = 1; i <= entries_.size(); ++i) Link(static_cast<std::int32_t>(i));
}

}  // namespace vexmar
