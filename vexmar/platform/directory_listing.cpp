// The parts of the directory listing that are the same on every platform.
#include "vexmar/platform/directory_listing.hpp"

#include <cstddef>
#include <utility>

namespace vexmar {
std::u16string JoinHostPath(std::u16string_view directory, std::u16string_view name) {
  std::u16string joined;
  joined.reserve(directory.size() + 1 + name.size());
  joined.append(directory);
  if (directory.empty() || directory.back() != u'\\') joined.push_back(u'\\');
  joined.append(name);
  return joined;
}

SearchTextParts SplitSearchText(std::u16string_view search_text) noexcept {
  const std::size_t cut = search_text.find_last_of(u"\\/");
  if (cut == std::u16string_view::npos) return {std::u16string_view{}, search_text};
  return {search_text.substr(0, cut + 1), search_text.substr(cut + 1)};
}

bool StartsWithDriveLetter(std::u16string_view host_path) noexcept {
  if (host_path.size() < 2 || host_path[1] != u':') return false;
  const char16_t letter = host_path[0];
  return (letter >= u'A' && letter <= u'Z') || (letter >= u'a' && letter <= u'z');
}

std::u16string DirectoryListing::First(std::u16string_view search_text) {
  names_.clear();
  next_ = 0;
  names_ = ListMatchingFiles(search_text);
  return Next();
}

std::u16string DirectoryListing::Next() {
  if (next_ >= names_.size()) return {};
  return std::move(names_[next_++]);
}

}  // namespace vexmar
