#include "vexmar/workbook/ooxml/encryption/package_cipher.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vexmar/workbook/crypto/crypto_primitives.hpp"
#include "vexmar/workbook/crypto/default_password.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/little_endian.hpp"
#include "vexmar/workbook/xml/xml_stream.hpp"

namespace vexmar::workbook {
namespace {

using crypto::AesDecryptor;
using crypto::CipherMode;
using crypto::HashAlgorithm;
using Bytes = std::vector<std::byte>;

constexpr std::size_t kAesBlock = AesDecryptor::kBlockSize;

thread_local std::uint64_t key_derivation_rounds = 0;

// ---------------------------------------------------------------- standard encryption

constexpr std::uint32_t kFlagCryptoApi = 0x04;
constexpr std::uint32_t kFlagAes = 0x20;
constexpr std::uint32_t kStandardRounds = 50'000;

class StandardCipher final : public PackageCipher {
 public:
  explicit StandardCipher(std::span<const std::byte> key) : aes_(key, CipherMode::kEcb) {}
  void DecryptSegment(std::uint64_t, std::span<std::byte> data) override { aes_.Decrypt(data); }
  bool Verifies(std::span<const std::byte> verifier, std::span<const std::byte> verifier_hash) {
    std::array<std::byte, 16> plain{};
    std::copy(verifier.begin(), verifier.end(), plain.begin());
    std::array<std::byte, 32> hash{};
    std::copy(verifier_hash.begin(), verifier_hash.end(), hash.begin());
    aes_.Decrypt(plain);
    aes_.Decrypt(hash);
    const Bytes expected = crypto::Digest(HashAlgorithm::kSha1, {plain});
    return std::equal(expected.begin(), expected.end(), hash.begin());
  }

 private:
  AesDecryptor aes_;
};

Bytes StandardKey(std::span<const std::byte> salt, std::size_t key_bytes) {
  const auto password = DefaultPasswordUtf16();
  crypto::Hasher sha1(HashAlgorithm::kSha1);
  std::array<std::byte, 4 + 20> round{};
  sha1.Update(salt).Update(password).Finish(std::span(round).subspan(4));
  key_derivation_rounds += kStandardRounds;
  for (std::uint32_t i = 0; i < kStandardRounds; ++i) {
    const auto number = crypto::LittleEndian32(i);
    std::copy(number.begin(), number.end(), round.begin());
    sha1.Update(round).Finish(std::span(round).subspan(4));
  }
  const auto block = crypto::LittleEndian32(0);
  const Bytes final_hash = sha1.Update(std::span(round).subspan(4)).Update(block).Finish();
  // The CryptoAPI key derivation: hash the final hash XORed into two 64-byte pads.
  std::array<std::byte, 64> pad{};
  Bytes key;
  for (const std::uint8_t fill : {std::uint8_t{0x36}, std::uint8_t{0x5C}}) {
    pad.fill(std::byte{fill});
    for (std::size_t i = 0; i < final_hash.size(); ++i) pad[i] ^= final_hash[i];
    const Bytes half = sha1.Update(pad).Finish();
    key.insert(key.end(), half.begin(), half.end());
  }
  key.resize(key_bytes);
  return key;
}

std::unique_ptr<PackageCipher> OpenStandard(std::span<const std::byte> info) {
  const std::uint32_t flags = LoadU32(info, 4);
  if ((flags & kFlagCryptoApi) == 0 || (flags & kFlagAes) == 0)
    RaiseFailure(FailureKind::kEncrypted);
  if (info.size() < 12) RaiseFailure(FailureKind::kEncryptionInfoTooShort);
  const std::uint32_t header_size = LoadU32(info, 8);
  if (header_size < 32 || header_size > info.size() - 12) {
    RaiseFailure(FailureKind::kEncryptionInfoHeaderSizeInvalid);
  }
  const std::span<const std::byte> header = info.subspan(12, header_size);
  constexpr std::uint32_t kSha1 = 0x8004;
  const std::uint32_t algorithm = LoadU32(header, 8);
  const std::uint32_t hash = LoadU32(header, 12);
  const std::uint32_t key_bits = LoadU32(header, 16);
  const std::uint32_t expected_algorithm = key_bits == 128   ? 0x660E
                                           : key_bits == 192 ? 0x660F
                                           : key_bits == 256 ? 0x6610
                                                             : 0;
  if (expected_algorithm == 0 || (algorithm != expected_algorithm && algorithm != 0) ||
      (hash != kSha1 && hash != 0)) {
    RaiseFailure(FailureKind::kEncrypted);
  }
  // The verifier: salt size, salt, encrypted verifier, hash size, encrypted hash.
  const std::span<const std::byte> verifier = info.subspan(12 + header_size);
  if (verifier.size() < 4 + 16 + 16 + 4 + 32)
    RaiseFailure(FailureKind::kEncryptionInfoVerifierTooShort);
  if (LoadU32(verifier, 0) != 16 || LoadU32(verifier, 36) != 20) {
    RaiseFailure(FailureKind::kEncryptionInfoVerifierSizeInvalid);
  }
  auto cipher =
      std::make_unique<StandardCipher>(StandardKey(verifier.subspan(4, 16), key_bits / 8));
  if (!cipher->Verifies(verifier.subspan(20, 16), verifier.subspan(40, 32)))
    RaiseFailure(FailureKind::kEncrypted);
  return cipher;
}

// ------------------------------------------------------------------- agile encryption

constexpr std::string_view kEncryptionNs = "http://schemas.microsoft.com/office/2006/encryption";
constexpr std::string_view kPasswordNs =
    "http://schemas.microsoft.com/office/2006/keyEncryptor/password";

// The attributes that keyData and the password's encryptedKey share.
struct CipherParams {
  HashAlgorithm hash = HashAlgorithm::kSha1;
  std::size_t key_bytes = 0;
  std::size_t block_size = 0;
  Bytes salt;
};

struct AgileInfo {
  std::optional<CipherParams> data;
  std::optional<CipherParams> password;
  std::uint32_t spin_count = 0;
  Bytes verifier_input;
  Bytes verifier_hash;
  Bytes encrypted_key;
  bool unsupported = false;  // a cipher, chaining or hash this reader does not know
};

std::optional<std::uint32_t> ParseNumber(const char* text) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  std::uint64_t value = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(*c - '0');
    if (value > UINT32_MAX) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Base64 of at most `max_bytes` bytes; whitespace is skipped, "=" ends the value.
std::optional<Bytes> DecodeBase64(const char* text, std::size_t max_bytes) {
  if (text == nullptr) return std::nullopt;
  Bytes out;
  std::uint32_t bits = 0;
  int count = 0;
  for (const char* c = text; *c != '\0' && *c != '='; ++c) {
    if (*c == ' ' || *c == '\t' || *c == '\r' || *c == '\n') continue;
    const int value = Base64Value(*c);
    if (value < 0) return std::nullopt;
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    if (++count == 4) {
      if (out.size() + 3 > max_bytes) return std::nullopt;
      out.push_back(static_cast<std::byte>((bits >> 16) & 0xFF));
      out.push_back(static_cast<std::byte>((bits >> 8) & 0xFF));
      out.push_back(static_cast<std::byte>(bits & 0xFF));
      bits = 0;
      count = 0;
    }
  }
  if (count == 1) return std::nullopt;
  if (count > 1) {
    if (out.size() + static_cast<std::size_t>(count - 1) > max_bytes) return std::nullopt;
    bits <<= 6 * (4 - count);
    out.push_back(static_cast<std::byte>((bits >> 16) & 0xFF));
    if (count == 3) out.push_back(static_cast<std::byte>((bits >> 8) & 0xFF));
  }
  return out;
}

std::optional<HashAlgorithm> ParseHash(std::string_view name) {
  if (name == "SHA1" || name == "SHA-1") return HashAlgorithm::kSha1;
  if (name == "SHA256") return HashAlgorithm::kSha256;
  if (name == "SHA384") return HashAlgorithm::kSha384;
  if (name == "SHA512") return HashAlgorithm::kSha512;
  if (name == "MD5") return HashAlgorithm::kMd5;
  return std::nullopt;
}

// Salts, verifier fields and wrapped keys: at most the salt cap plus one cipher block.
constexpr std::size_t kMaxField = DecryptionLimits::kMaxSaltSize + kAesBlock;

class AgileInfoHandler final : public XmlHandler {
 public:
  explicit AgileInfoHandler(AgileInfo& info) : info_(info) {}

  bool StartElement(const XmlName& name, const XmlAttributes& attributes,
                    std::size_t depth) override {
    if (depth == 2 && name.Is(kEncryptionNs, "keyData") && !info_.data) {
      info_.data = Params(attributes);
    } else if (depth == 3 && name.Is(kEncryptionNs, "keyEncryptor")) {
      const char* uri = attributes.Find("", "uri");
      in_password_ = uri != nullptr && std::string_view(uri) == kPasswordNs;
    } else if (depth == 4 && in_password_ && name.Is(kPasswordNs, "encryptedKey") &&
               !info_.password) {
      info_.password = Params(attributes);
      const std::optional<std::uint32_t> spin = ParseNumber(attributes.Find("", "spinCount"));
      if (!spin) RaiseFailure(FailureKind::kEncryptionInfoSpinCountInvalid);
      if (*spin > DecryptionLimits::kMaxSpinCount)
        RaiseFailure(FailureKind::kEncryptionInfoSpinCountTooLarge);
      info_.spin_count = *spin;
      info_.verifier_input = Field(attributes, "encryptedVerifierHashInput");
      info_.verifier_hash = Field(attributes, "encryptedVerifierHashValue");
      info_.encrypted_key = Field(attributes, "encryptedKeyValue");
    }
    return true;
  }
  bool EndElement(const XmlName& name, std::size_t depth) override {
    if (depth == 3 && name.Is(kEncryptionNs, "keyEncryptor")) in_password_ = false;
    return true;
  }

 private:
  static Bytes Field(const XmlAttributes& attributes, std::string_view name) {
    std::optional<Bytes> value = DecodeBase64(attributes.Find("", name), kMaxField);
    if (!value || value->empty()) RaiseFailure(FailureKind::kEncryptionInfoDataFieldInvalid);
    return std::move(*value);
  }

  CipherParams Params(const XmlAttributes& attributes) {
    CipherParams params;
    const char* cipher = attributes.Find("", "cipherAlgorithm");
    const char* chaining = attributes.Find("", "cipherChaining");
    const char* hash = attributes.Find("", "hashAlgorithm");
    const std::optional<std::uint32_t> key_bits = ParseNumber(attributes.Find("", "keyBits"));
    const std::optional<std::uint32_t> block = ParseNumber(attributes.Find("", "blockSize"));
    const std::optional<std::uint32_t> hash_size = ParseNumber(attributes.Find("", "hashSize"));
    std::optional<Bytes> salt =
        DecodeBase64(attributes.Find("", "saltValue"), DecryptionLimits::kMaxSaltSize);
    if (cipher == nullptr || chaining == nullptr || hash == nullptr || !key_bits || !block ||
        !hash_size || !salt || salt->empty()) {
      RaiseFailure(FailureKind::kEncryptionInfoParameterInvalid);
    }
    const std::optional<HashAlgorithm> algorithm = ParseHash(hash);
    if (std::string_view(cipher) != "AES" || std::string_view(chaining) != "ChainingModeCBC" ||
        !algorithm || (*key_bits != 128 && *key_bits != 192 && *key_bits != 256) ||
        *block != kAesBlock) {
      info_.unsupported = true;
      return params;
    }
    if (*hash_size != crypto::DigestSize(*algorithm))
      RaiseFailure(FailureKind::kEncryptionInfoHashSizeInvalid);
    params.hash = *algorithm;
    params.key_bytes = *key_bits / 8;
    params.block_size = *block;
    params.salt = std::move(*salt);
    return params;
  }

  AgileInfo& info_;
  bool in_password_ = false;
};

class MemoryByteStream final : public ByteStream {
 public:
  explicit MemoryByteStream(std::span<const std::byte> bytes) : bytes_(bytes) {}
  std::size_t Read(std::span<std::byte> out) override {
    const std::size_t n = std::min(out.size(), bytes_.size());
    std::copy_n(bytes_.begin(), n, out.begin());
    bytes_ = bytes_.subspan(n);
    return n;
  }

 private:
  std::span<const std::byte> bytes_;
};

// `bytes` cut or padded with 0x36 to `size`, as agile keys and IVs are.
Bytes Fit(Bytes bytes, std::size_t size) {
  bytes.resize(size, std::byte{0x36});
  return bytes;
}

Bytes DecryptCbc(std::span<const std::byte> key, std::span<const std::byte> iv, Bytes data) {
  AesDecryptor aes(key, CipherMode::kCbc);
  aes.Decrypt(data, iv);
  return data;
}

class AgileCipher final : public PackageCipher {
 public:
  AgileCipher(std::span<const std::byte> key, CipherParams data)
      : aes_(key, CipherMode::kCbc), data_(std::move(data)), hasher_(data_.hash) {}
  void DecryptSegment(std::uint64_t index, std::span<std::byte> data) override {
    if (index > UINT32_MAX) RaiseFailure(FailureKind::kEncryptedPackageTooLong);
    const auto number = crypto::LittleEndian32(static_cast<std::uint32_t>(index));
    const Bytes iv = Fit(hasher_.Update(data_.salt).Update(number).Finish(), data_.block_size);
    aes_.Decrypt(data, iv);
  }

 private:
  AesDecryptor aes_;
  CipherParams data_;
  crypto::Hasher hasher_;
};

std::unique_ptr<PackageCipher> OpenAgile(std::span<const std::byte> info) {
  AgileInfo agile;
  AgileInfoHandler handler(agile);
  XmlStreamParser parser(handler, 4);
  MemoryByteStream xml(info.subspan(8));
  const XmlOutcome outcome = parser.Parse(xml);
  if (outcome == XmlOutcome::kMalformed) {
    RaiseMalformedXml(parser, FailureKind::kEncryptionInfoMalformedXml);
  }
  if (outcome != XmlOutcome::kComplete) RaiseFailure(FailureKind::kEncryptionInfoMalformedXml);
  if (agile.unsupported) RaiseFailure(FailureKind::kEncrypted);
  // No password key encryptor (a certificate only): no password opens it.
  if (!agile.password) RaiseFailure(FailureKind::kEncrypted);
  if (!agile.data) RaiseFailure(FailureKind::kEncryptionInfoWithoutKeyData);
  const CipherParams& password = *agile.password;
  const std::size_t hash_size = crypto::DigestSize(password.hash);
  for (const Bytes* field : {&agile.verifier_input, &agile.verifier_hash, &agile.encrypted_key}) {
    if (field->size() % kAesBlock != 0)
      RaiseFailure(FailureKind::kEncryptionInfoDataFieldSizeInvalid);
  }
  if (agile.verifier_hash.size() < hash_size || agile.encrypted_key.size() < password.key_bytes ||
      agile.data->key_bytes != password.key_bytes) {
    RaiseFailure(FailureKind::kEncryptionInfoKeyFieldSizeInvalid);
  }

  if (agile.spin_count > DecryptionLimits::kMaxDefaultPasswordSpinCount) {
    RaiseFailure(FailureKind::kEncryptedSpinCountBeyondAttempt);
  }

  // Iterated hash of salt and password, then one key per purpose ("block key").
  const auto password_bytes = DefaultPasswordUtf16();
  crypto::Hasher hasher(password.hash);
  std::array<std::byte, 4 + 64> round{};
  const std::span<std::byte> digest = std::span(round).subspan(4, hash_size);
  hasher.Update(password.salt).Update(password_bytes).Finish(digest);
  key_derivation_rounds += agile.spin_count;
  for (std::uint32_t i = 0; i < agile.spin_count; ++i) {
    const auto number = crypto::LittleEndian32(i);
    std::copy(number.begin(), number.end(), round.begin());
    hasher.Update(std::span(round).first(4 + hash_size)).Finish(digest);
  }
  const auto key_for = [&](std::array<std::uint8_t, 8> block_key) {
    std::array<std::byte, 8> bytes{};
    std::transform(block_key.begin(), block_key.end(), bytes.begin(),
                   [](std::uint8_t b) { return std::byte{b}; });
    return Fit(hasher.Update(digest).Update(bytes).Finish(), password.key_bytes);
  };
  const Bytes iv = Fit(password.salt, password.block_size);
  const Bytes input = DecryptCbc(key_for({0xFE, 0xA7, 0xD2, 0x76, 0x3B, 0x4B, 0x9E, 0x79}), iv,
                                 agile.verifier_input);
  const Bytes value = DecryptCbc(key_for({0xD7, 0xAA, 0x0F, 0x6D, 0x30, 0x61, 0x34, 0x4E}), iv,
                                 agile.verifier_hash);
  const std::size_t input_size = std::min(input.size(), password.salt.size());
  const Bytes expected = crypto::Digest(password.hash, {std::span(input).first(input_size)});
  if (!std::equal(expected.begin(), expected.end(), value.begin()))
    RaiseFailure(FailureKind::kEncrypted);
  Bytes key = DecryptCbc(key_for({0x14, 0x6E, 0x0B, 0xE7, 0xAB, 0xAC, 0xD0, 0xD6}), iv,
                         agile.encrypted_key);
  key.resize(password.key_bytes);
  return std::make_unique<AgileCipher>(key, std::move(*agile.data));
}

}  // namespace

std::uint64_t KeyDerivationRounds() noexcept { return key_derivation_rounds; }

std::unique_ptr<PackageCipher> OpenPackageCipher(std::span<const std::byte> encryption_info) {
  if (encryption_info.size() < 8) RaiseFailure(FailureKind::kEncryptionInfoTooShort);
  const std::uint16_t major = LoadU16(encryption_info, 0);
  const std::uint16_t minor = LoadU16(encryption_info, 2);
  if (major == 4 && minor == 4) return OpenAgile(encryption_info);
  if ((major == 2 || major == 3 || major == 4) && minor == 2) return OpenStandard(encryption_info);
  RaiseFailure(FailureKind::kEncrypted);  // extensible encryption and unknown versions
}

}  // namespace vexmar::workbook
