// Workbook streams after a FILEPASS record that opens with the default password, so
// that every input reaches the decryption of record bodies: the first byte picks XOR
// (BIFF8 or BIFF5), RC4 or RC4 CryptoAPI (or a FILEPASS body taken from the input), the
// rest is the encrypted remainder of the globals and the sheets' substreams.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "vexmar/component/error.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/random_access_stream.hpp"
#include "vexmar/workbook/xls/biff_workbook.hpp"

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

std::string FromHex(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

std::string Record(std::uint16_t type, const std::string& body) {
  std::string out(4, '\0');
  out[0] = static_cast<char>(type & 0xFF);
  out[1] = static_cast<char>(type >> 8);
  out[2] = static_cast<char>(body.size() & 0xFF);
  out[3] = static_cast<char>(body.size() >> 8);
  return out + body;
}

// FILEPASS bodies of the enc_*.xls fixtures (make_encrypted.py): default password.
constexpr std::array<std::string_view, 4> kFilePass = {
    "000059b30a9a",  // BIFF8 XOR
    "59b30a9a",      // BIFF5 XOR
    "010001000100e50ffefc7ffb91479197b3892f153f296063ff8c91af78047f2d959de47f6962c2f10c32f3dd1654"
    "5150bdb0ac0bbf26",  // RC4, MD5
    "010004000200040000007e00000004000000000000000168000004800000280000000100000000000000000000004d"
    "006900630072006f0073006f0066007400200045006e00680061006e006300650064002000430072007900700074"
    "006f0067007200610070006800690063002000500072006f00760069006400650072002000760031002e00300000"
    "00100000003a95ad40cc5fd0e3ae59eacae51a470300874211ebc24f21d53e95c510e09c49140000008b9670dc8c"
    "e4e955b99d6052f20b613eedcf4c0f",  // RC4 CryptoAPI, 40-bit
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t mode = data[0] % (kFilePass.size() + 1);
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string filepass;
  if (mode == kFilePass.size()) {
    // The FILEPASS body itself from the input: its length first.
    if (rest.empty()) return 0;
    const std::size_t n =
        std::min<std::size_t>(static_cast<std::uint8_t>(rest[0]), rest.size() - 1);
    filepass = std::string(rest.substr(1, n));
    rest.remove_prefix(1 + n);
  } else {
    filepass = FromHex(kFilePass[mode]);
  }
  const bool biff5 = mode == 1;
  const std::string bof =
      biff5 ? FromHex("0005050000000000") : FromHex("0006050000000000ffffffff06000000");
  const std::string stream = Record(0x0809, bof) + Record(0x002F, filepass) + std::string(rest);
  MemoryStream input(stream);
  try {
    (void)vexmar::workbook::ListBiffWorksheets(
        input,
        biff5 ? vexmar::workbook::BiffVersion::kBiff5 : vexmar::workbook::BiffVersion::kBiff8,
        u"Sheet");
  } catch (const vexmar::Error&) {
  }
  return 0;
}
