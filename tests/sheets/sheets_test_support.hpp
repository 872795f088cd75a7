#pragma once
// Helpers of the worksheet-check tests: a real temporary test directory, the entries
// of a collection as strings, readable test names.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "vexmar/component/utf.hpp"
#include "vexmar/platform/collection.hpp"

namespace vexmar::testing {

inline std::vector<std::u16string> Entries(const Collection& collection) {
  std::vector<std::u16string> entries;
  for (const Variant& item : collection) entries.push_back(std::get<std::u16string>(item));
  return entries;
}

// UTF-8 with CR and LF spelled out, for test output.
inline std::string Readable(std::u16string_view text) {
  std::string out;
  for (const char c : Utf16ToUtf8(text)) {
    if (c == '\r') {
      out += "<CR>";
    } else if (c == '\n') {
      out += "<LF>";
    } else {
      out += c;
    }
  }
  return out;
}

// A fresh directory under the system's temporary directory, removed with its files.
class TempDirectory {
 public:
  TempDirectory() {
    static std::atomic<int> serial{0};
    const auto base = std::filesystem::temp_directory_path();
    const unsigned run = std::random_device{}();
    for (;;) {
      path_ = base / ("vexmar-sheets-" + std::to_string(run) + "-" + std::to_string(serial++));
      if (std::filesystem::create_directory(path_)) break;
    }
  }
  ~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The directory as a host gives it: a plain path text.
  std::u16string HostPath() const { return Utf8ToUtf16Escaped(path_.string()); }

  void AddFile(const std::string& name, const std::string& content = "content") const {
    std::ofstream(path_ / name, std::ios::binary) << content;
  }
  void AddDirectory(const std::string& name) const {
    std::filesystem::create_directory(path_ / name);
  }

 private:
  std::filesystem::path path_;
};

}  // namespace vexmar::testing
