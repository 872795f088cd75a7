#pragma once
// A string list of names with a hash index beside it: "is this name listed, ignoring
// case" is answered in expected constant time, with the answer ContainsItem would give
// (items 1..upper, compared after upper-casing). Used wherever names are gathered once
// each: the required worksheets of a sheet rule and the file names of a naming rule.
//
// Names come from candidates' files and directories, so they may be crafted to collide.
// The hash is keyed with a per-process random key (polynomial hashing over two prime
// fields at random points, then multiply-shift by a random odd number): two distinct
// names share a bucket with probability about 2 / buckets whatever they are, so no list
// of names can be prepared that makes the chains long. Chains keep the index small: a
// hash and a link per name, no copy of any name.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vexmar/component/string_list.hpp"

namespace vexmar {

class IndexedNameList {
 public:
  // Takes over `list`, resetting it to the single empty item 0.
  explicit IndexedNameList(StringList& list);

  struct Lookup {
    bool listed;
    std::uint64_t hash;  // for Append, when the name was not listed
  };
  Lookup Find(std::u16string_view name) const;
  bool Contains(std::u16string_view name) const { return Find(name).listed; }

  // Appends a name, listed or not (plain names stand as written, repeats included).
  void Append(std::u16string name);
  // Appends a name that Find() has just not found, reusing the hash it computed.
  void Append(std::u16string name, const Lookup& lookup);

  // The keyed hash of the upper-cased name; equal for names equal but for case.
  static std::uint64_t HashIgnoringCase(std::u16string_view name) noexcept;

 private:
  struct Entry {
    std::uint64_t hash;
    std::int32_t next;  // list index of the next name in the chain; 0 ends it
  };

  std::size_t BucketOf(std::uint64_t hash) const noexcept;
  void Link(std::int32_t index) noexcept;
  void Grow();

  StringList& list_;
  std::vector<std::int32_t> heads_;  // per bucket: list index of the chain's first name, 0 none
  std::vector<Entry> entries_;       // entries_[i - 1] belongs to list item i
  static constexpr unsigned kInitialBucketBits = 4;
  unsigned bucket_bits_ = kInitialBucketBits;
};

// Chain entries examined by look-ups on the calling thread since it started: lets tests
// assert bounded work by counting instead of timing.
std::uint64_t NameLookupStepsOnThisThread() noexcept;

}  // namespace vexmar
