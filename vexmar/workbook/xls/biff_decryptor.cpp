#include "vexmar/workbook/xls/biff_decryptor.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

#include "vexmar/workbook/crypto/crypto_primitives.hpp"
#include "vexmar/workbook/crypto/default_password.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/little_endian.hpp"
#include "vexmar/workbook/xls/biff_record_types.hpp"

namespace vexmar::workbook {
namespace {

using crypto::HashAlgorithm;

// Records that stay plain in an encrypted stream (besides FILEPASS itself).
constexpr std::uint16_t kUsrExcl = 0x0194;
constexpr std::uint16_t kFileLock = 0x0195;
constexpr std::uint16_t kInterfaceHdr = 0x00E1;
constexpr std::uint16_t kRrdInfo = 0x0196;
constexpr std::uint16_t kRrdHead = 0x0138;
// The sheet's stream position at the start of a BOUNDSHEET record stays plain too.
constexpr std::size_t kBoundSheetPlainBytes = 4;

// How many leading bytes of a record body are not encrypted.
std::size_t PlainPrefix(std::uint16_t type, std::size_t size) {
  switch (type) {
    case biff::kBof:
    case biff::kFilePass:
    case kUsrExcl:
    case kFileLock:
    case kInterfaceHdr:
    case kRrdInfo:
    case kRrdHead:
      return size;
    case biff::kBoundSheet:
      return std::min(size, kBoundSheetPlainBytes);
    default:
      return 0;
  }
}

// --- XOR obfuscation (the password's 16-byte array, applied by stream position) ---

constexpr std::array<std::uint16_t, 15> kXorInitialCode = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C,
                                                           0x0E10, 0xF1CE, 0x313E, 0x1872, 0xE139,
                                                           0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};
constexpr std::array<std::uint16_t, 105> kXorMatrix = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7,
    0x9DCF, 0x2BBF, 0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4,
    0x1BA8, 0x3750, 0x6EA0, 0xDD40, 0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45,
    0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A, 0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC,
    0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0, 0xB861, 0x60E3, 0xC1C6, 0x93AD,
    0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10, 0xAA51, 0x4483,
    0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373,
    0x06E6, 0x0DCC, 0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};
constexpr std::array<std::uint8_t, 15> kXorPad = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80,
                                                  0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};

constexpr std::uint16_t XorKey(std::string_view password) {
  std::uint16_t key = kXorInitialCode[password.size() - 1];
  std::size_t element = kXorMatrix.size() - 1;
  for (auto it = password.rbegin(); it != password.rend(); ++it) {
    auto c = static_cast<std::uint8_t>(*it);
    for (int bit = 0; bit < 7; ++bit, --element) {
      if ((c & 0x40) != 0) key ^= kXorMatrix[element];
      c = static_cast<std::uint8_t>(c << 1);
    }
  }
  return key;
}

constexpr std::uint16_t XorVerifier(std::string_view password) {
  std::uint16_t verifier = 0;
  auto step = [&](std::uint8_t byte) {
    const std::uint16_t carry = (verifier & 0x4000) != 0 ? 1 : 0;
    verifier = static_cast<std::uint16_t>((((verifier << 1) & 0x7FFF) | carry) ^ byte);
  };
  for (auto it = password.rbegin(); it != password.rend(); ++it)
    step(static_cast<std::uint8_t>(*it));
  step(static_cast<std::uint8_t>(password.size()));
  return verifier ^ 0xCE4B;
}

constexpr std::uint8_t XorRor(std::uint8_t value, std::uint8_t key) {
  const auto x = static_cast<std::uint8_t>(value ^ key);
  return static_cast<std::uint8_t>((x >> 1) | (x << 7));
}

constexpr std::array<std::uint8_t, 16> XorArray(std::string_view password) {
  const std::uint16_t key = XorKey(password);
  const auto high = static_cast<std::uint8_t>(key >> 8);
  const auto low = static_cast<std::uint8_t>(key & 0xFF);
  std::array<std::uint8_t, 16> out{};
  std::size_t index = password.size();
  if (index % 2 == 1) {
    out[index] = XorRor(kXorPad[0], high);
    --index;
    out[index] = XorRor(static_cast<std::uint8_t>(password.back()), low);
  }
  while (index > 0) {
    --index;
    out[index] = XorRor(static_cast<std::uint8_t>(password[index]), high);
    --index;
    out[index] = XorRor(static_cast<std::uint8_t>(password[index]), low);
  }
  // The pad bytes fill the rest from the end, in pairs; an even-length password ends
  // the pairs one below the pad array's start.
  index = 15;
  for (int pad = 15 - static_cast<int>(password.size()); pad > 0; pad -= 2, index -= 2) {
    out[index] = XorRor(kXorPad[static_cast<std::size_t>(pad)], high);
    out[index - 1] = XorRor(kXorPad[static_cast<std::size_t>(pad - 1)], low);
  }
  return out;
}

class XorDecryptor final : public BiffBodyDecryptor {
 public:
  void Decrypt(std::uint16_t type, std::uint64_t offset, std::span<std::byte> body) override {
    // The array position runs with the stream position of the record's end.
    const std::size_t plain = PlainPrefix(type, body.size());
    std::size_t index = static_cast<std::size_t>((offset + body.size()) % 16);
    for (std::size_t i = 0; i < body.size(); ++i, index = (index + 1) % 16) {
      if (i < plain) continue;
      const auto x =
          static_cast<std::uint8_t>(std::to_integer<std::uint8_t>(body[i]) ^ array_[index]);
      body[i] = static_cast<std::byte>(static_cast<std::uint8_t>((x >> 5) | (x << 3)));
    }
  }

 private:
  static constexpr std::array<std::uint8_t, 16> array_ = XorArray(kDefaultPassword);
};

// --- RC4: a key per 1024-byte block of the stream, headers included in the count ---

constexpr std::uint64_t kRc4BlockSize = 1024;

class Rc4BlockDecryptor : public BiffBodyDecryptor {
 public:
  void Decrypt(std::uint16_t type, std::uint64_t offset, std::span<std::byte> body) override {
    const std::size_t plain = PlainPrefix(type, body.size());
    std::uint64_t at = offset + plain;
    std::span<std::byte> rest = body.subspan(plain);
    while (!rest.empty()) {
      const std::uint64_t block = at / kRc4BlockSize;
      const std::uint64_t within = at % kRc4BlockSize;
      if (!keyed_ || block != block_ || within < position_) {
        if (block > UINT32_MAX) RaiseFailure(FailureKind::kRc4BlockOutOfRange);
        rc4_.SetKey(BlockKey(static_cast<std::uint32_t>(block)));
        keyed_ = true;
        block_ = block;
        position_ = 0;
      }
      rc4_.Skip(static_cast<std::size_t>(within - position_));
      const std::size_t n =
          static_cast<std::size_t>(std::min<std::uint64_t>(rest.size(), kRc4BlockSize - within));
      rc4_.Apply(rest.first(n));
      position_ = within + n;
      at += n;
      rest = rest.subspan(n);
    }
  }

 protected:
  virtual std::vector<std::byte> BlockKey(std::uint32_t block) = 0;
  crypto::Rc4 rc4_;

 private:
  bool keyed_ = false;
  std::uint64_t block_ = 0;
  std::uint64_t position_ = 0;  // key-stream bytes used in the current block
};

// RC4 with MD5 and a 40-bit intermediate key (FILEPASS version 1.1).
class Rc4Md5Decryptor final : public Rc4BlockDecryptor {
 public:
  explicit Rc4Md5Decryptor(std::span<const std::byte> salt) {
    const auto password = DefaultPasswordUtf16();
    const std::vector<std::byte> h0 = crypto::Digest(HashAlgorithm::kMd5, {password});
    crypto::Hasher md5(HashAlgorithm::kMd5);
    for (int i = 0; i < 16; ++i) md5.Update(std::span(h0).first(5)).Update(salt);
    const std::vector<std::byte> h1 = md5.Finish();
    std::copy_n(h1.begin(), truncated_.size(), truncated_.begin());
  }
  // Whether the verifier decrypts to the hash it carries: the password is the default.
  bool Verifies(std::span<const std::byte> verifier, std::span<const std::byte> verifier_hash) {
    std::array<std::byte, 32> buffer{};
    std::copy(verifier.begin(), verifier.end(), buffer.begin());
    std::copy(verifier_hash.begin(), verifier_hash.end(), buffer.begin() + 16);
    rc4_.SetKey(BlockKey(0));
    rc4_.Apply(buffer);
    const auto hash = crypto::Digest(HashAlgorithm::kMd5, {std::span(buffer).first(16)});
    return std::equal(hash.begin(), hash.end(), buffer.begin() + 16);
  }

 protected:
  std::vector<std::byte> BlockKey(std::uint32_t block) override {
    const auto number = crypto::LittleEndian32(block);
    return crypto::Digest(HashAlgorithm::kMd5, {truncated_, number});
  }

 private:
  std::array<std::byte, 5> truncated_{};
};

// RC4 CryptoAPI: SHA-1, keys of 40 to 128 bits (FILEPASS versions 2.2, 3.2, 4.2).
class Rc4CryptoApiDecryptor final : public Rc4BlockDecryptor {
 public:
  Rc4CryptoApiDecryptor(std::span<const std::byte> salt, std::size_t key_bytes)
      : key_bytes_(key_bytes) {
    const auto password = DefaultPasswordUtf16();
    h0_ = crypto::Digest(HashAlgorithm::kSha1, {salt, password});
  }
  bool Verifies(std::span<const std::byte> verifier, std::span<const std::byte> verifier_hash) {
    std::array<std::byte, 36> buffer{};
    std::copy(verifier.begin(), verifier.end(), buffer.begin());
    std::copy(verifier_hash.begin(), verifier_hash.end(), buffer.begin() + 16);
    rc4_.SetKey(BlockKey(0));
    rc4_.Apply(buffer);
    const auto hash = crypto::Digest(HashAlgorithm::kSha1, {std::span(buffer).first(16)});
    return std::equal(hash.begin(), hash.end(), buffer.begin() + 16);
  }

 protected:
  std::vector<std::byte> BlockKey(std::uint32_t block) override {
    const auto number = crypto::LittleEndian32(block);
    std::vector<std::byte> key = crypto::Digest(HashAlgorithm::kSha1, {h0_, number});
    key.resize(key_bytes_);
    // A 40-bit key is used as 128 bits whose last 88 are zero.
    if (key_bytes_ == 5) key.resize(16, std::byte{0});
    return key;
  }

 private:
  std::vector<std::byte> h0_;
  std::size_t key_bytes_;
};

std::unique_ptr<BiffBodyDecryptor> OpenXor(std::span<const std::byte> fields) {
  if (fields.size() < 4) RaiseFailure(FailureKind::kFilePassTooShort);
  constexpr std::uint16_t kKey = XorKey(kDefaultPassword);
  constexpr std::uint16_t kVerifier = XorVerifier(kDefaultPassword);
  if (LoadU16(fields, 0) != kKey || LoadU16(fields, 2) != kVerifier)
    RaiseFailure(FailureKind::kEncrypted);
  return std::make_unique<XorDecryptor>();
}

// RC4 CryptoAPI: flags, header size, header (key size at 16), then the verifier.
std::unique_ptr<BiffBodyDecryptor> OpenRc4CryptoApi(std::span<const std::byte> info) {
  if (info.size() < 8) RaiseFailure(FailureKind::kFilePassTooShort);
  const std::uint32_t header_size = LoadU32(info, 4);
  if (header_size < 32 || header_size > info.size() - 8)
    RaiseFailure(FailureKind::kFilePassHeaderSizeInvalid);
  const std::span<const std::byte> header = info.subspan(8, header_size);
  constexpr std::uint32_t kRc4 = 0x6801;
  constexpr std::uint32_t kSha1 = 0x8004;
  const std::uint32_t algorithm = LoadU32(header, 8);
  const std::uint32_t hash = LoadU32(header, 12);
  std::uint32_t key_bits = LoadU32(header, 16);
  if (key_bits == 0) key_bits = 40;  // CryptoAPI's default RC4 key length
  if ((algorithm != kRc4 && algorithm != 0) || (hash != kSha1 && hash != 0) || key_bits < 40 ||
      key_bits > 128 || key_bits % 8 != 0) {
    RaiseFailure(FailureKind::kEncrypted);
  }
  const std::span<const std::byte> verifier = info.subspan(8 + header_size);
  if (verifier.size() < 4 + 16 + 16 + 4 + 20) RaiseFailure(FailureKind::kFilePassVerifierTooShort);
  if (LoadU32(verifier, 0) != 16 || LoadU32(verifier, 36) != 20)
    RaiseFailure(FailureKind::kEncrypted);
  auto decryptor = std::make_unique<Rc4CryptoApiDecryptor>(verifier.subspan(4, 16), key_bits / 8);
  if (!decryptor->Verifies(verifier.subspan(20, 16), verifier.subspan(40, 20)))
    RaiseFailure(FailureKind::kEncrypted);
  return decryptor;
}

}  // namespace

std::unique_ptr<BiffBodyDecryptor> OpenBiffDecryptor(std::span<const std::byte> filepass,
                                                     bool biff8) {
  // BIFF5 knows only XOR obfuscation and has no method field.
  if (!biff8) return OpenXor(filepass);
  if (filepass.size() < 2) RaiseFailure(FailureKind::kFilePassTooShort);
  const std::uint16_t method = LoadU16(filepass, 0);
  if (method == 0) return OpenXor(filepass.subspan(2));
  if (method != 1) RaiseFailure(FailureKind::kEncrypted);
  if (filepass.size() < 6) RaiseFailure(FailureKind::kFilePassTooShort);
  const std::uint16_t major = LoadU16(filepass, 2);
  const std::uint16_t minor = LoadU16(filepass, 4);
  const std::span<const std::byte> info = filepass.subspan(6);
  if (major == 1 && minor == 1) {
    if (info.size() < 48) RaiseFailure(FailureKind::kFilePassTooShort);
    auto decryptor = std::make_unique<Rc4Md5Decryptor>(info.first(16));
    if (!decryptor->Verifies(info.subspan(16, 16), info.subspan(32, 16)))
      RaiseFailure(FailureKind::kEncrypted);
    return decryptor;
  }
  if (major >= 2 && major <= 4 && minor == 2) return OpenRc4CryptoApi(info);
  RaiseFailure(FailureKind::kEncrypted);
}

}  // namespace vexmar::workbook
