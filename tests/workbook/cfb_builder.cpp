#include "workbook/cfb_builder.hpp"

#include <fstream>

#include <unistd.h>

#include <gtest/gtest.h>

namespace vexmar::testing_support {

std::filesystem::path FixtureDir() { return VEXMAR_WORKBOOK_FIXTURES; }

namespace {

std::filesystem::path ProcessTempDir() {
  return std::filesystem::temp_directory_path() / ("vexmar-wb-" + std::to_string(::getpid()));
}

// Removes the files the tests wrote once all tests have run.
class TempCleanup : public ::testing::Environment {
 public:
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(ProcessTempDir(), ignored);
  }
};

[[maybe_unused]] ::testing::Environment* const kCleanup =
    ::testing::AddGlobalTestEnvironment(new TempCleanup);

}  // namespace

std::filesystem::path WriteTemp(const std::string& name, const Bytes& bytes) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string test = info ? std::string(info->test_suite_name()) + "." + info->name() : "x";
  for (char& c : test) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  const auto dir = ProcessTempDir() / test;
  std::filesystem::create_directories(dir);
  const auto path = dir / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return path;
}

}  // namespace vexmar::testing_support
