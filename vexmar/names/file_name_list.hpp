#pragma once
// The list GetFileNames fills, with what makes "is this name listed, ignoring case" fast
// for directories of 100,000 matching files while giving the answers ContainsItem gives:
//
// - a hash index of list positions (no copy of any name), looked up for the names that
//   were listed before a search began;
// - within one search, the listing order: names come sorted by their upper-cased forms,
//   so a name equal to one this search has already given equals the one just before it.
//   Should a listing ever give names out of that order, the search notices and looks
//   every further name up in the index instead.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vexmar/component/string_list.hpp"

namespace vexmar {

class FileNameList {
 public:
  // Takes over `list`, resetting it to the single empty item 0.
  explicit FileNameList(StringList& list);

  // Appends as written (plain items are never checked).
  void Append(std::u16string name);

 private:
  struct Slot {
    std::uint32_t hash = 0;
    std::int32_t index = 0;  // list position; 0, the placeholder's, marks a free slot
  };

  static std::uint32_t HashIgnoringCase(std::u16string_view name) noexcept;
  // Adds the names appended since the last call to the index.
  void IndexAll();
  bool IsIndexed(std::u16string_view name) const;
  void Place(Slot slot) noexcept;
  void Rebuild(std::size_t slot_count);

  friend class FileNameSearch;

  StringList& list_;
  std::vector<Slot> slots_;   // open addressing, linear probing, size a power of two
  std::int32_t indexed_ = 0;  // list items 1..indexed_ are in the index
  bool index_every_append_ = false;
};

// One search of the directory listing adding to a FileNameList, which must outlive it.
class FileNameSearch {
 public:
  explicit FileNameSearch(FileNameList& list);
  // Whether `name` (the search's next name) is in the list, ignoring case.
  bool IsListed(std::u16string_view name);
  // Appends the name IsListed() has just answered false for.
  void Append(std::u16string name);

 private:
  FileNameList& list_;
  std::u16string previous_;  // the name looked at last
  bool has_previous_ = false;
  bool in_order_ = true;
};

}  // namespace vexmar
