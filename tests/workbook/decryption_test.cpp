// Encryption headers that must be refused at once, and the decrypting package stream's
// random access and laziness. The decryption itself is checked end to end by the
// fixtures in expect-encrypted.tsv (cross-checked with other readers).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "vexmar/component/error.hpp"
#include "vexmar/workbook/detection/zip_workbook.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/ooxml/encryption/decrypted_package_stream.hpp"
#include "vexmar/workbook/ooxml/encryption/package_cipher.hpp"
#include "vexmar/workbook/xls/biff_decryptor.hpp"
#include "workbook/zip_builder.hpp"

namespace vexmar::workbook {
namespace {

std::vector<std::byte> Bytes(const std::string& text) {
  std::vector<std::byte> out(text.size());
  std::memcpy(out.data(), text.data(), text.size());
  return out;
}

std::string U16(std::uint16_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
std::string U32(std::uint32_t v) {
  return U16(v & 0xFFFF) + U16(static_cast<std::uint16_t>(v >> 16));
}

// "encrypted", "damaged" or "accepted".
template <typename Open>
std::string Outcome(Open&& open) {
  try {
    open();
    return "accepted";
  } catch (const ReadFailure& e) {
    return IsEncryption(e.Kind()) ? "encrypted" : "damaged";
  }
}

// An agile descriptor; `key_data` and `encrypted_key` replace the attribute lists.
std::string Agile(const std::string& key_data, const std::string& encrypted_key) {
  return U16(4) + U16(4) + U32(0x40) +
         "<encryption xmlns=\"http://schemas.microsoft.com/office/2006/encryption\" "
         "xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
         "<keyData " +
         key_data +
         "/><keyEncryptors><keyEncryptor "
         "uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
         "<p:encryptedKey " +
         encrypted_key + "/></keyEncryptor></keyEncryptors></encryption>";
}

const std::string kParams =
    "saltSize=\"16\" blockSize=\"16\" keyBits=\"256\" hashSize=\"64\" cipherAlgorithm=\"AES\" "
    "cipherChaining=\"ChainingModeCBC\" hashAlgorithm=\"SHA512\" "
    "saltValue=\"AAAAAAAAAAAAAAAAAAAAAA==\" ";
const std::string kBlock = "AAAAAAAAAAAAAAAAAAAAAA==";  // 16 bytes
const std::string kFields = "encryptedVerifierHashInput=\"" + kBlock +
                            "\" encryptedVerifierHashValue=\"" + kBlock + kBlock +
                            "\" encryptedKeyValue=\"" + kBlock + kBlock + "\"";

std::string WithSpin(const std::string& spin, const std::string& params = kParams) {
  return Agile(kParams, params + "spinCount=\"" + spin + "\" " + kFields);
}

// Fields of the sizes SHA-512 and AES-256 need, so that the key derivation runs.
std::string SizedWithSpin(const std::string& spin) {
  return Agile(kParams, kParams + "spinCount=\"" + spin + "\" encryptedVerifierHashInput=\"" +
                            kBlock + "\" encryptedVerifierHashValue=\"" + std::string(86, 'A') +
                            "==\" encryptedKeyValue=\"" + std::string(43, 'A') + "=\"");
}

// A standard-encryption header whose flags, algorithm and key size are given.
std::string Standard(std::uint32_t flags, std::uint32_t algorithm, std::uint32_t key_bits,
                     std::uint32_t header_size = 32) {
  return U16(4) + U16(2) + U32(flags) + U32(header_size) + U32(flags) + U32(0) + U32(algorithm) +
         U32(0x8004) + U32(key_bits) + U32(0x18) + U32(0) + U32(0) + U32(16) +
         std::string(32, '\0') + U32(20) + std::string(32, '\0');
}

struct HeaderCase {
  const char* what;
  std::string info;
  const char* outcome;
  std::int64_t rounds = 0;  // hash rounds of the key derivation
};

TEST(PackageCipherTest, RefusesBadHeadersBeforeAnyHashing) {
  const std::vector<HeaderCase> cases = {
      {"too short", "\x04", "damaged"},
      {"extensible encryption", U16(4) + U16(3) + U32(0), "encrypted"},
      {"unknown version", U16(9) + U16(9) + U32(0), "encrypted"},
      // Four billion rounds would take an hour: refused from the number alone.
      {"spin count beyond the cap", WithSpin("4000000000"), "damaged"},
      {"spin count one beyond the cap", WithSpin("10000001"), "damaged"},
      {"spin count not a number", WithSpin("12x"), "damaged"},
      // Beyond what the default password is tried with: encrypted, before any hashing.
      {"spin count beyond the default-password cap", SizedWithSpin("500001"), "encrypted"},
      {"spin count at the default-password cap", SizedWithSpin("500000"), "encrypted", 500'000},
      {"salt beyond the cap",
       WithSpin("1", std::string(kParams).replace(kParams.find("AAAA"), 4, std::string(100, 'A'))),
       "damaged"},
      {"unsupported cipher",
       WithSpin("1", std::string(kParams).replace(kParams.find("\"AES\""), 5, "\"RC2\"")),
       "encrypted"},
      {"hash size that is not the hash's",
       Agile(kParams, std::string(kParams).replace(kParams.find("\"64\""), 4, "\"20\"") +
                          "spinCount=\"1\" " + kFields),
       "damaged"},
      {"wrapped key not whole blocks",
       Agile(kParams, kParams + "spinCount=\"1\" encryptedVerifierHashInput=\"" + kBlock +
                          "\" encryptedVerifierHashValue=\"" + kBlock + kBlock +
                          "\" encryptedKeyValue=\"AAAA\""),
       "damaged"},
      {"no password key encryptor", U16(4) + U16(4) + U32(0x40) + "<encryption/>", "encrypted"},
      {"malformed descriptor", U16(4) + U16(4) + U32(0x40) + "<encryption", "damaged"},
      {"standard without AES", Standard(0x04, 0x6801, 128), "encrypted"},
      {"standard key size unknown", Standard(0x24, 0x660E, 100), "encrypted"},
      {"standard header beyond the stream", Standard(0x24, 0x660E, 128, 4096), "damaged"},
      {"standard, wrong password", Standard(0x24, 0x660E, 128), "encrypted", 50'000},
  };
  for (const HeaderCase& c : cases) {
    const std::vector<std::byte> info = Bytes(c.info);
    const std::uint64_t before = KeyDerivationRounds();
    EXPECT_EQ(Outcome([&] { (void)OpenPackageCipher(info); }), c.outcome) << c.what;
    EXPECT_EQ(KeyDerivationRounds() - before, static_cast<std::uint64_t>(c.rounds)) << c.what;
  }
}

TEST(BiffDecryptorTest, RefusesUnknownAndShortFilePassRecords) {
  struct Case {
    const char* what;
    std::string body;
    bool biff8;
    const char* outcome;
  };
  const std::string cryptoapi_header = U32(4) + U32(0) + U32(0x6801) + U32(0x8004);
  const std::vector<Case> cases = {
      {"BIFF5, short", "\x01\x02\x03", false, "damaged"},
      {"XOR, another password", U16(0) + U16(0x1234) + U16(0x5678), true, "encrypted"},
      {"unknown method", U16(2) + U16(1) + U16(1), true, "encrypted"},
      {"RC4, short", U16(1) + U16(1) + U16(1) + std::string(20, '\0'), true, "damaged"},
      {"RC4, wrong password", U16(1) + U16(1) + U16(1) + std::string(48, '\0'), true, "encrypted"},
      {"CryptoAPI header beyond the record",
       U16(1) + U16(2) + U16(2) + U32(4) + U32(500) + std::string(40, '\0'), true, "damaged"},
      {"CryptoAPI 256-bit key",
       U16(1) + U16(2) + U16(2) + U32(4) + U32(32) + cryptoapi_header + U32(256) +
           std::string(12, '\0') + U32(16) + std::string(32, '\0') + U32(20) +
           std::string(20, '\0'),
       true, "encrypted"},
      {"unknown version", U16(1) + U16(5) + U16(5) + std::string(64, '\0'), true, "encrypted"},
  };
  for (const Case& c : cases) {
    const std::vector<std::byte> body = Bytes(c.body);
    EXPECT_EQ(Outcome([&] { (void)OpenBiffDecryptor(body, c.biff8); }), c.outcome) << c.what;
  }
}

// Stands in for AES: "encrypts" every byte with its segment's number, so a byte decrypted
// with the wrong segment's key comes out wrong.
class SegmentXorCipher final : public PackageCipher {
 public:
  void DecryptSegment(std::uint64_t index, std::span<std::byte> data) override {
    for (std::byte& b : data) b ^= static_cast<std::byte>(index * 7 + 1);
  }
};

class MemoryStream final : public RandomAccessStream {
 public:
  explicit MemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  void Read(std::uint64_t offset, std::span<std::byte> out) override {
    if (offset > bytes_.size() || out.size() > bytes_.size() - offset)
      RaiseFailure(FailureKind::kFileTruncated);
    if (!out.empty()) std::memcpy(out.data(), bytes_.data() + offset, out.size());
  }

 private:
  std::string bytes_;
};

// The EncryptedPackage stream of `plain` under SegmentXorCipher, `declared` as its size.
std::string Seal(const std::string& plain, std::uint64_t declared) {
  std::string padded = plain + std::string((16 - plain.size() % 16) % 16, '\0');
  for (std::size_t i = 0; i < padded.size(); ++i) {
    padded[i] = static_cast<char>(padded[i] ^ static_cast<char>((i / 4096) * 7 + 1));
  }
  return U32(static_cast<std::uint32_t>(declared)) +
         U32(static_cast<std::uint32_t>(declared >> 32)) + padded;
}

TEST(DecryptedPackageStreamTest, ReadsAnyRangeAcrossSegments) {
  std::string plain(3 * 4096 + 1000, '\0');
  for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<char>(i * 31 % 251);
  MemoryStream sealed(Seal(plain, plain.size()));
  SegmentXorCipher cipher;
  DecryptedPackageStream stream(sealed, cipher);
  ASSERT_EQ(stream.Size(), plain.size());
  const std::pair<std::size_t, std::size_t> ranges[] = {
      {0, 4096}, {4095, 2}, {100, 3 * 4096}, {3 * 4096, 1000}, {plain.size() - 1, 1}, {5000, 0}};
  for (const auto& [offset, length] : ranges) {
    std::vector<std::byte> out(length);
    stream.Read(offset, out);
    EXPECT_TRUE(std::equal(out.begin(), out.end(),
                           reinterpret_cast<const std::byte*>(plain.data()) + offset))
        << offset << "+" << length;
  }
  std::vector<std::byte> one(1);
  EXPECT_EQ(Outcome([&] { stream.Read(plain.size(), one); }), "damaged");
}

TEST(DecryptedPackageStreamTest, ChecksTheDeclaredSize) {
  SegmentXorCipher cipher;
  const std::string plain(5000, 'x');
  MemoryStream longer(Seal(plain, 6000));  // more than the ciphertext holds
  EXPECT_EQ(Outcome([&] { DecryptedPackageStream s(longer, cipher); }), "damaged");
  MemoryStream junk_high_half(Seal(plain, (std::uint64_t{0xABCD} << 32) | 5000));
  EXPECT_EQ(DecryptedPackageStream(junk_high_half, cipher).Size(), 5000u);
  MemoryStream short_header("\x01\x02");
  EXPECT_EQ(Outcome([&] { DecryptedPackageStream s(short_header, cipher); }), "damaged");
}

TEST(DecryptedPackageStreamTest, ListingDecryptsOnlyTheSegmentsItReads) {
  using testing::MinimalPackage;
  std::string big(4 << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 2654435761u >> 13);
  const std::string package =
      MinimalPackage(testing::WorkbookXml("<sheet name=\"Only\" sheetId=\"1\" r:id=\"rId1\"/>"),
                     testing::WorksheetRels())
          .Add(testing::BuildEntry{"xl/media/big.bin", big, false})
          .Build();
  MemoryStream sealed(Seal(package, package.size()));
  SegmentXorCipher cipher;
  DecryptedPackageStream stream(sealed, cipher);
  const auto names = ListZipWorksheets(stream);
  ASSERT_TRUE(names.has_value());
  EXPECT_EQ(*names, std::vector<std::u16string>{u"Only"});
  const std::uint64_t total = (package.size() + 4095) / 4096;
  EXPECT_LT(stream.SegmentsDecrypted(), total / 16) << "of " << total;
}

}  // namespace
}  // namespace vexmar::workbook
