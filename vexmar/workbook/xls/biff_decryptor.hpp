#pragma once
// Workbook streams saved with a password: after the FILEPASS record every record body
// is obfuscated (XOR, BIFF5 and BIFF8) or encrypted (RC4 with MD5, RC4 CryptoAPI with
// SHA-1, BIFF8). Record headers stay plain, so the record walk goes on unchanged and
// only the bodies are turned back, by where they lie in the stream.
#include <cstdint>
#include <memory>
#include <span>

namespace vexmar::workbook {

class BiffBodyDecryptor {
 public:
  virtual ~BiffBodyDecryptor() = default;
  // Turns the body of a record of `type`, which starts at `offset` in the workbook
  // stream, back into plain bytes in place.
  virtual void Decrypt(std::uint16_t type, std::uint64_t offset, std::span<std::byte> body) = 0;
};

// The decryptor for a FILEPASS record body when the workbook was saved with the default
// password; any other password, or a method not known, is the encrypted-workbook error.
// A FILEPASS body too short for its method is damage.
std::unique_ptr<BiffBodyDecryptor> OpenBiffDecryptor(std::span<const std::byte> filepass,
                                                     bool biff8);

}  // namespace vexmar::workbook
