// The parts of the directory listing that are the same on every platform.
#include "vexmar/platform/directory_listing.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "vexmar/text/letter_case.hpp"

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

void SortInListingOrder(std::vector<std::u16string>& names) {
  // Upper-case each name once rather than in every comparison.
  std::vector<std::pair<std::u16string, std::u16string>> keyed;
  keyed.reserve(names.size());
  for (auto& name : names) {
    std::u16string key = ToUpper(name);
    keyed.emplace_back(std::move(key), std::move(name));
  }
  std::sort(keyed.begin(), keyed.end());
  for (std::size_t i = 0; i < keyed.size(); ++i) names[i] = std::move(keyed[i].second);
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
