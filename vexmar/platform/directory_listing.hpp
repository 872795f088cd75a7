#pragma once
// The directory listing of answer files: a search text in the host's path form
// (directory + "\" + pattern) gives the bare names of the ordinary files in that
// directory whose names match the pattern ("*" any run, "?" one UTF-16 unit, letters
// ignoring case), in a deterministic order. See docs/directory-listing.md.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "vexmar/component/export.hpp"

namespace vexmar {

// Directory text, "\" unless it already ends in "\", then `name`.
VEXMAR_API std::u16string JoinHostPath(std::u16string_view directory, std::u16string_view name);

// A host path ("\" separators) as a file-system path of this platform; names that were
// not valid UTF-8 (lone surrogates U+DC80..U+DCFF) turn back into their bytes.
// A path that cannot be expressed (an embedded NUL) is an error naming the path.
VEXMAR_API std::filesystem::path HostPathToFileSystem(std::u16string_view host_path);

// The first-call / next-call listing. First() starts a new search (ending any previous
// one) and gives the first matching name, or the empty text when there is none;
// Next() gives the following names and then the empty text. The search reads the whole
// directory at First(), so nothing else can list a directory in the middle of it.
class VEXMAR_API DirectoryListing {
 public:
  std::u16string First(std::u16string_view search_text);
  std::u16string Next();

 private:
  std::vector<std::u16string> names_;
  std::size_t next_ = 0;
};

// All names a search text gives, in listing order. A directory that does not exist
// gives none; one that exists but cannot be read is an error naming it.
VEXMAR_API std::vector<std::u16string> ListMatchingFiles(std::u16string_view search_text);

// ---- Pieces shared by the listings of the different platforms ----

// A search text cut at its last separator ("\" or "/"): the directory part keeps its
// trailing separator ("" when the text has none), the pattern is the rest.
struct SearchTextParts {
  std::u16string_view directory;
  std::u16string_view pattern;
};
VEXMAR_API SearchTextParts SplitSearchText(std::u16string_view search_text) noexcept;

// Whether a host path starts with a drive letter ("D:").
VEXMAR_API bool StartsWithDriveLetter(std::u16string_view host_path) noexcept;

// Puts names in listing order: ordinal order of their upper-cased UTF-16 forms, equal
// forms by the exact names, so the order is total and the same on every platform.
VEXMAR_API void SortInListingOrder(std::vector<std::u16string>& names);

}  // namespace vexmar
