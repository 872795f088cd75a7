#pragma once
// The directory listing of answer files: a search text in the host's path form
// (directory + "\" + pattern) gives the bare names of the ordinary files in that
// directory whose names match the pattern ("*" any run, "?" one UTF-16 unit, letters
// ignoring case), in a deterministic order.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vexmar {

// Directory text, "\" unless it already ends in "\", then `name`.
std::u16string JoinHostPath(std::u16string_view directory, std::u16string_view name);

// A host path ("\" separators) as a file-system path of this platform; names that were
// not valid UTF-8 (lone surrogates U+DC80..U+DCFF) turn back into their bytes.
// A path that cannot be expressed (an embedded NUL) is an error naming the path.
std::filesystem::path HostPathToFileSystem(std::u16string_view host_path);

// The first-call / next-call listing. First() starts a new search (ending any previous
// one) and gives the first matching name, or the empty text when there is none;
// Next() gives the following names and then the empty text.
class DirectoryListing {
 public:
  std::u16string First(std::u16string_view search_text);
  std::u16string Next();

 private:
  std::vector<std::u16string> names_;
  std::size_t next_ = 0;
};

// All names a search text gives, in listing order.
std::vector<std::u16string> ListMatchingFiles(std::u16string_view search_text);

}  // namespace vexmar
