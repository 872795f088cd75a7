#pragma once
// Fixture paths and scratch files for the workbook tests.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace vexmar::workbook::testing {

inline std::filesystem::path FixtureDir() { return VEXMAR_ZIP_XML_FIXTURES; }

// A file holding `bytes`, removed when the object goes.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& bytes, const std::string& suffix = ".bin") {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("vexmar-zx-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + suffix);
    std::ofstream(path_, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  ~ScratchFile() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace vexmar::workbook::testing
