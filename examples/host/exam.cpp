#include "examples/host/exam.hpp"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "vexmar/component/utf.hpp"
#include "vexmar/platform/directory_listing.hpp"

namespace vexmar::example {
namespace {

// An item file is a few kilobytes; anything near this is not one.
constexpr std::uintmax_t kMaxItemFileBytes = 16u << 20;

std::string ReadItemFile(const std::filesystem::path& file) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error) throw ExamError("cannot read the item file " + file.string() + ": " + error.message());
  if (size > kMaxItemFileBytes) throw ExamError("the item file " + file.string() + " is too large");
  std::string content(static_cast<std::size_t>(size), '\0');
  std::ifstream in(file, std::ios::binary);
  in.read(content.data(), static_cast<std::streamsize>(size));
  if (!in) throw ExamError("cannot read the item file " + file.string());
  return content;
}

std::vector<ExamItem> LoadItems(const std::filesystem::path& file) {
  try {
    std::vector<ExamItem> items = ParseItemFile(ReadItemFile(file));
    if (items.empty()) throw ExamError(file.string() + ": no items");
    return items;
  } catch (const ItemFileError& e) {
    throw ExamError(file.string() + ", " + e.what());
  }
}

std::u16string TestPathOf(const std::filesystem::path& directory, const std::u16string& name) {
  std::u16string path = Utf8ToUtf16Escaped(directory.native());
  if (!path.empty() && path.back() != u'/') path.push_back(u'/');
  return path + name;
}

}  // namespace

Exam LoadExam(const std::filesystem::path& directory, const std::filesystem::path& item_file) {
  std::error_code error;
  if (!std::filesystem::is_directory(directory, error)) {
    throw ExamError(directory.string() + " is not an exam directory");
  }
  Exam exam;
  exam.items = LoadItems(item_file);

  std::filesystem::directory_iterator entries(directory, error);
  if (error) throw ExamError("cannot list " + directory.string() + ": " + error.message());
  std::vector<std::u16string> names;
  for (; entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    const std::filesystem::directory_entry& entry = *entries;
    std::error_code kind_error;
    if (!entry.is_directory(kind_error)) continue;
    const std::u16string name = Utf8ToUtf16Escaped(entry.path().filename().native());
    if (name.starts_with(u'.')) continue;
    // The library reads "\" in a path as a separator.
    if (name.find(u'\\') != std::u16string::npos) {
      exam.skipped.emplace_back(name, "a \"\\\" in the name cannot stand in a test path");
      continue;
    }
    names.push_back(name);
  }
  if (error) throw ExamError("cannot list " + directory.string() + ": " + error.message());

  SortInListingOrder(names);
  std::sort(exam.skipped.begin(), exam.skipped.end());
  for (std::u16string& name : names) {
    exam.candidates.push_back({name, TestPathOf(directory, name)});
  }
  return exam;
}

}  // namespace vexmar::example
