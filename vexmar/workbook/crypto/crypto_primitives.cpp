#include "vexmar/workbook/crypto/crypto_primitives.hpp"

#include <gcrypt.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"

namespace vexmar::workbook::crypto {
namespace {

// libgcrypt wants its version check before first use. A host that already set the
// library up keeps its own settings.
void EnsureInitialised() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P) != 0) return;
    if (gcry_check_version("1.8.0") == nullptr) {
      throw Error(ErrorNumber::kApplicationDefined,
                  u"libgcrypt 的版本过旧，无法解密工作簿。");
    }
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
  });
}

[[noreturn]] void RaiseCryptoFailure(gcry_error_t error) {
  if (gcry_err_code(error) == GPG_ERR_ENOMEM) throw std::bad_alloc();
  throw Error(ErrorNumber::kApplicationDefined,
              u"解密工作簿时 libgcrypt 出错：" + Utf8ToUtf16Escaped(gcry_strerror(error)));
}

void Check(gcry_error_t error) {
  if (error != 0) RaiseCryptoFailure(error);
}

int GcryptHash(HashAlgorithm algorithm) noexcept {
  switch (algorithm) {
    case HashAlgorithm::kMd5:
      return GCRY_MD_MD5;
    case HashAlgorithm::kSha1:
      return GCRY_MD_SHA1;
    case HashAlgorithm::kSha256:
      return GCRY_MD_SHA256;
    case HashAlgorithm::kSha384:
      return GCRY_MD_SHA384;
    case HashAlgorithm::kSha512:
      return GCRY_MD_SHA512;
  }
  return GCRY_MD_NONE;
}

gcry_md_hd_t Md(void* handle) { return static_cast<gcry_md_hd_t>(handle); }
gcry_cipher_hd_t Cipher(void* handle) { return static_cast<gcry_cipher_hd_t>(handle); }

}  // namespace

std::size_t DigestSize(HashAlgorithm algorithm) noexcept {
  switch (algorithm) {
    case HashAlgorithm::kMd5:
      return 16;
    case HashAlgorithm::kSha1:
      return 20;
    case HashAlgorithm::kSha256:
      return 32;
    case HashAlgorithm::kSha384:
      return 48;
    case HashAlgorithm::kSha512:
      return 64;
  }
  return 0;
}

Hasher::Hasher(HashAlgorithm algorithm)
    : algorithm_(GcryptHash(algorithm)), size_(DigestSize(algorithm)) {
  EnsureInitialised();
  gcry_md_hd_t handle = nullptr;
  Check(gcry_md_open(&handle, algorithm_, 0));
  handle_ = handle;
}

Hasher::~Hasher() { gcry_md_close(Md(handle_)); }

Hasher& Hasher::Update(std::span<const std::byte> bytes) {
  gcry_md_write(Md(handle_), bytes.data(), bytes.size());
  return *this;
}

void Hasher::Finish(std::span<std::byte> out) {
  const unsigned char* digest = gcry_md_read(Md(handle_), algorithm_);
  if (digest == nullptr) RaiseCryptoFailure(gcry_error(GPG_ERR_DIGEST_ALGO));
  std::memcpy(out.data(), digest, std::min(out.size(), size_));
  gcry_md_reset(Md(handle_));
}

std::vector<std::byte> Hasher::Finish() {
  std::vector<std::byte> out(size_);
  Finish(out);
  return out;
}

std::vector<std::byte> Digest(HashAlgorithm algorithm,
                              std::initializer_list<std::span<const std::byte>> parts) {
  Hasher hasher(algorithm);
  for (const auto part : parts) hasher.Update(part);
  return hasher.Finish();
}

AesDecryptor::AesDecryptor(std::span<const std::byte> key, CipherMode mode) : mode_(mode) {
  EnsureInitialised();
  int algorithm = 0;
  switch (key.size()) {
    case 16:
      algorithm = GCRY_CIPHER_AES128;
      break;
    case 24:
      algorithm = GCRY_CIPHER_AES192;
      break;
    case 32:
      algorithm = GCRY_CIPHER_AES256;
      break;
    default:
      RaiseCryptoFailure(gcry_error(GPG_ERR_INV_KEYLEN));
  }
  gcry_cipher_hd_t handle = nullptr;
  Check(gcry_cipher_open(&handle, algorithm,
                         mode == CipherMode::kEcb ? GCRY_CIPHER_MODE_ECB : GCRY_CIPHER_MODE_CBC,
                         0));
  handle_ = handle;
  Check(gcry_cipher_setkey(handle, key.data(), key.size()));
}

AesDecryptor::~AesDecryptor() { gcry_cipher_close(Cipher(handle_)); }

void AesDecryptor::Decrypt(std::span<std::byte> data, std::span<const std::byte> iv) {
  if (mode_ == CipherMode::kCbc) Check(gcry_cipher_setiv(Cipher(handle_), iv.data(), iv.size()));
  Check(gcry_cipher_decrypt(Cipher(handle_), data.data(), data.size(), nullptr, 0));
}

Rc4::Rc4() {
  EnsureInitialised();
  gcry_cipher_hd_t handle = nullptr;
  Check(gcry_cipher_open(&handle, GCRY_CIPHER_ARCFOUR, GCRY_CIPHER_MODE_STREAM, 0));
  handle_ = handle;
}

Rc4::~Rc4() { gcry_cipher_close(Cipher(handle_)); }

void Rc4::SetKey(std::span<const std::byte> key) {
  Check(gcry_cipher_setkey(Cipher(handle_), key.data(), key.size()));
}

void Rc4::Apply(std::span<std::byte> data) {
  if (data.empty()) return;
  Check(gcry_cipher_decrypt(Cipher(handle_), data.data(), data.size(), nullptr, 0));
}

void Rc4::Skip(std::size_t count) {
  std::array<std::byte, 256> scratch{};
  while (count > 0) {
    const std::size_t n = std::min(count, scratch.size());
    Apply(std::span(scratch.data(), n));
    count -= n;
  }
}

}  // namespace vexmar::workbook::crypto
