// Encrypted Office Open XML packages. The first byte picks what the rest is:
//   0: an EncryptionInfo stream (header parsing, caps, key derivation, verification);
//   1: an EncryptedPackage stream (size field, then the package) read through the
//      decrypting stream with a stand-in cipher, so that the zip reader behind it sees
//      structured input;
//   2: a whole compound file, listed as a host would.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "fuzz/memory_file.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/workbook/detection/zip_workbook.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/list_worksheets.hpp"
#include "vexmar/workbook/ooxml/encryption/decrypted_package_stream.hpp"
#include "vexmar/workbook/ooxml/encryption/package_cipher.hpp"

namespace {

class MemoryStream final : public vexmar::workbook::RandomAccessStream {
 public:
  explicit MemoryStream(std::string_view data) : data_(data) {}
  std::uint64_t Size() const override { return data_.size(); }
  void Read(std::uint64_t offset, std::span<std::byte> out) override {
    if (offset > data_.size() || out.size() > data_.size() - offset) {
      vexmar::workbook::RaiseFailure(vexmar::workbook::FailureKind::kReadBeyondStream);
    }
    if (!out.empty()) std::memcpy(out.data(), data_.data() + offset, out.size());
  }

 private:
  std::string_view data_;
};

class PlainCipher final : public vexmar::workbook::PackageCipher {
 public:
  void DecryptSegment(std::uint64_t, std::span<std::byte>) override {}
};

// The cap allows ten million hash rounds, seconds of work: fine for one file, too slow
// for a fuzzer's every input. Inputs that ask for more than 100,000 are skipped.
bool AsksForManyRounds(std::string_view input) {
  constexpr std::string_view kSpin = "spinCount=\"";
  for (std::size_t at = input.find(kSpin); at != std::string_view::npos;
       at = input.find(kSpin, at + 1)) {
    std::uint64_t value = 0;
    for (std::size_t i = at + kSpin.size(); i < input.size() && input[i] >= '0' && input[i] <= '9';
         ++i) {
      value = value * 10 + static_cast<std::uint64_t>(input[i] - '0');
      if (value > 100'000) return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  if (AsksForManyRounds(rest)) return 0;
  static vexmar::fuzz::MemoryFile file;
  try {
    switch (data[0] % 3) {
      case 0:
        (void)vexmar::workbook::OpenPackageCipher(
            std::as_bytes(std::span(rest.data(), rest.size())));
        break;
      case 1: {
        MemoryStream encrypted(rest);
        PlainCipher cipher;
        vexmar::workbook::DecryptedPackageStream package(encrypted, cipher);
        (void)vexmar::workbook::ListZipWorksheets(package);
        break;
      }
      default:
        (void)vexmar::ListWorksheets(file.Hold(data + 1, size - 1));
    }
  } catch (const vexmar::Error&) {
  }
  return 0;
}
