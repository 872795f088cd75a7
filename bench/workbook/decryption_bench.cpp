// Listing workbooks saved with the default password, beside their unencrypted twins in
// the same run: an agile-encrypted .xlsx as office programs write it (AES-256, SHA-512,
// spin count 100,000; goal < 50 ms), a 50 MB one (only the segments the listing reads
// are decrypted), and an RC4 CryptoAPI .xls (goal < 100 us). Each reports the peak
// resident memory of one listing above the baseline of a fresh process (goal < 8 MB).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "vexmar/workbook/list_worksheets.hpp"

namespace {

namespace fs = std::filesystem;

fs::path Fixture(const char* name) {
  return fs::path(VEXMAR_SOURCE_DIR) / "tests" / "workbook" / "fixtures" / name;
}

fs::path LargeEncryptedPackage() {
  const char* tmp = std::getenv("TMPDIR");
  const fs::path dir = fs::path(tmp != nullptr ? tmp : "/tmp") / "vexmar-bench-decryption";
  fs::create_directories(dir);
  const fs::path file = dir / "agile-50MB.xlsx";
  if (!fs::exists(file)) {
    const std::string command = "/usr/bin/python3 '" + std::string(VEXMAR_SOURCE_DIR) +
                                "/bench/workbook/peers/make_encrypted_package.py' '" +
                                file.string() + "' 50";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot write " + file.string());
  }
  return file;
}

long StatusKiB(const char* field) {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(field, 0) == 0) return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
  }
  return -1;
}

// This program run again with --peak FILE: one listing in a fresh process.
long PeakAboveBaseline(const fs::path& file) {
  const std::string command =
      fs::read_symlink("/proc/self/exe").string() + " --peak '" + file.string() + "'";
  long kib = -1;
  if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
    if (std::fscanf(pipe, "%ld", &kib) != 1) kib = -1;
    ::pclose(pipe);
  }
  return kib;
}

int MeasurePeak(const char* file) {
  std::ofstream("/proc/self/clear_refs") << "5";  // the peak restarts from the current size
  const long base = StatusKiB("VmRSS:");
  (void)vexmar::ListWorksheets(file);
  std::printf("%ld\n", StatusKiB("VmHWM:") - base);
  return 0;
}

void BM_List(benchmark::State& state, const fs::path& file) {
  std::size_t sheets = 0;
  for (auto _ : state) {
    const auto names = vexmar::ListWorksheets(file);
    if (!names) throw std::runtime_error("not a workbook: " + file.string());
    sheets = names->size();
  }
  state.counters["sheets"] = static_cast<double>(sheets);
  state.counters["file_MB"] = static_cast<double>(fs::file_size(file)) / (1 << 20);
  state.counters["peak_KiB_above_base"] = static_cast<double>(PeakAboveBaseline(file));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--peak") == 0) return MeasurePeak(argv[2]);
  const std::vector<std::pair<std::string, fs::path>> cases = {
      {"agile_spin100000.xlsx", Fixture("enc_agile_sha512_aes256.xlsx")},
      {"agile_spin100000_50MB.xlsx", LargeEncryptedPackage()},
      {"standard_aes128.xlsx", Fixture("enc_standard_aes128.xlsx")},
      {"unencrypted.xlsx", Fixture("ooxml-libreoffice.xlsx")},
      {"rc4_cryptoapi_128.xls", Fixture("enc_cryptoapi_128.xls")},
      {"rc4_md5.xls", Fixture("enc_lo_default.xls")},
      {"xor_biff8.xls", Fixture("enc_xor_biff8.xls")},
      {"unencrypted.xls", Fixture("xlwt_basic.xls")},
  };
  for (const auto& [label, file] : cases) {
    benchmark::RegisterBenchmark(("BM_List/" + label).c_str(), BM_List, file)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
