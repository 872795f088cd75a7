#pragma once
// Writes zip archives for the tests, benchmarks and fuzz seeds: small ones in memory,
// deliberately broken ones included, and large ones streamed to a file through deflate
// without holding them whole.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vexmar::testkit {

struct ZipEntry {
  std::string name;
  std::string data;
  bool deflate = true;
  std::uint16_t flags = 0;
  std::uint16_t method_override = 0xFFFF;  // write this method number instead
  std::int64_t declared_size = -1;         // uncompressed size to record instead of the real one
  std::int64_t local_offset = -1;          // local header offset to record instead
  int level = 9;
};

std::string RawDeflate(const std::string& data, int level = 9);

class ZipWriter {
 public:
  explicit ZipWriter(std::string* memory);  // appends to `*memory`
  explicit ZipWriter(const std::filesystem::path& file);
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // Bytes before the archive: the offsets it records do not count them.
  void Prefix(std::string_view bytes);
  void Add(const ZipEntry& entry);
  void AddStored(const std::string& name, const std::string& data);
  void AddDeflated(const std::string& name, const std::string& data, int level = 6);
  // Deflates whatever `produce` appends to its buffer until it returns false.
  void AddDeflated(const std::string& name, int level,
                   const std::function<bool(std::string&)>& produce);

  // `times` more central-directory records of the entry added last, all naming its one
  // local header.
  void RepeatLast(std::uint32_t times) { entries_.insert(entries_.end(), times, entries_.back()); }

  // Bytes written so far.
  std::uint64_t Size() const { return written_; }
  void Finish(std::string_view comment = {});

 private:
  struct Entry {
    std::string name;
    std::uint64_t offset;
    std::uint16_t flags;
    std::uint16_t method;
    std::uint32_t crc;
    std::uint64_t csize;
    std::uint64_t usize;
  };
  void Write(const void* data, std::size_t n);
  void Patch(std::uint64_t at, const std::string& bytes);
  void WriteLocal(const Entry& e);

  std::string* memory_ = nullptr;
  std::size_t memory_base_ = 0;
  std::ofstream file_;
  std::uint64_t written_ = 0;
  std::uint64_t prefix_ = 0;
  std::vector<Entry> entries_;
};

}  // namespace vexmar::testkit
