#pragma once
// Hashes and ciphers for reading workbooks saved with a password, all from libgcrypt:
// nothing cryptographic is written by hand here, these classes only own the library's
// handles and turn its failures into the library's error.
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace vexmar::workbook::crypto {

enum class HashAlgorithm { kMd5, kSha1, kSha256, kSha384, kSha512 };

std::size_t DigestSize(HashAlgorithm algorithm) noexcept;

// A running hash; reusable after Finish().
class Hasher {
 public:
  explicit Hasher(HashAlgorithm algorithm);
  ~Hasher();
  Hasher(const Hasher&) = delete;
  Hasher& operator=(const Hasher&) = delete;

  Hasher& Update(std::span<const std::byte> bytes);
  // Writes the digest to `out` (DigestSize bytes) and starts a new hash.
  void Finish(std::span<std::byte> out);
  std::vector<std::byte> Finish();
  std::size_t Size() const noexcept { return size_; }

 private:
  void* handle_ = nullptr;
  int algorithm_ = 0;
  std::size_t size_ = 0;
};

// The digest of the parts one after another.
std::vector<std::byte> Digest(HashAlgorithm algorithm,
                              std::initializer_list<std::span<const std::byte>> parts);

enum class CipherMode { kEcb, kCbc };

// AES decryption with a 128-, 192- or 256-bit key.
class AesDecryptor {
 public:
  AesDecryptor(std::span<const std::byte> key, CipherMode mode);
  ~AesDecryptor();
  AesDecryptor(const AesDecryptor&) = delete;
  AesDecryptor& operator=(const AesDecryptor&) = delete;

  // Decrypts whole 16-byte blocks in place; CBC starts from `iv` (16 bytes).
  void Decrypt(std::span<std::byte> data, std::span<const std::byte> iv = {});

  static constexpr std::size_t kBlockSize = 16;

 private:
  void* handle_ = nullptr;
  CipherMode mode_;
};

// The RC4 stream cipher; every SetKey starts the key stream anew.
class Rc4 {
 public:
  Rc4();
  ~Rc4();
  Rc4(const Rc4&) = delete;
  Rc4& operator=(const Rc4&) = delete;

  void SetKey(std::span<const std::byte> key);
  // XORs the next key-stream bytes into `data`.
  void Apply(std::span<std::byte> data);
  // Moves `count` bytes on in the key stream.
  void Skip(std::size_t count);

 private:
  void* handle_ = nullptr;
};

// 32-bit little-endian bytes, as the key derivations append block and iteration numbers.
inline std::array<std::byte, 4> LittleEndian32(std::uint32_t value) noexcept {
  return {std::byte(value & 0xFF), std::byte((value >> 8) & 0xFF), std::byte((value >> 16) & 0xFF),
          std::byte((value >> 24) & 0xFF)};
}

}  // namespace vexmar::workbook::crypto
