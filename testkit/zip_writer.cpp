#include "testkit/zip_writer.hpp"

#include <zlib.h>

#include <cstring>
#include <stdexcept>

namespace vexmar::testkit {
namespace {

// Appends each value little-endian in its own width (the fields of the zip records).
template <typename... Values>
void Put(std::string& s, Values... values) {
  auto one = [&s](auto v) {
    for (std::size_t i = 0; i < sizeof v; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  (one(values), ...);
}
using U16 = std::uint16_t;
using U32 = std::uint32_t;
std::uint32_t Crc(const std::string& data, uLong crc = 0) {
  return static_cast<std::uint32_t>(
      crc32(crc, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

}  // namespace

std::string RawDeflate(const std::string& data, int level) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

ZipWriter::ZipWriter(std::string* memory) : memory_(memory), memory_base_(memory->size()) {}

ZipWriter::ZipWriter(const std::filesystem::path& file)
    : file_(file, std::ios::binary | std::ios::trunc) {
  if (!file_) throw std::runtime_error("cannot write " + file.string());
}

void ZipWriter::Write(const void* data, std::size_t n) {
  if (memory_ != nullptr) {
    memory_->append(static_cast<const char*>(data), n);
  } else if (!file_.write(static_cast<const char*>(data), static_cast<std::streamsize>(n))) {
    throw std::runtime_error("write failed");
  }
  written_ += n;
}

void ZipWriter::Patch(std::uint64_t at, const std::string& bytes) {
  if (memory_ != nullptr) {
    std::memcpy(memory_->data() + memory_base_ + static_cast<std::size_t>(at), bytes.data(),
                bytes.size());
    return;
  }
  file_.seekp(static_cast<std::streamoff>(at));
  file_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file_.seekp(0, std::ios::end);
}

void ZipWriter::Prefix(std::string_view bytes) {
  Write(bytes.data(), bytes.size());
  prefix_ += bytes.size();
}

void ZipWriter::WriteLocal(const Entry& e) {
  std::string h;
  // Signature, version, flags, method, time and date, CRC, sizes, name and extra lengths.
  Put(h, U32{0x04034b50}, U16{20}, e.flags, e.method, U32{0}, e.crc, static_cast<U32>(e.csize),
      static_cast<U32>(e.usize), static_cast<U16>(e.name.size()), U16{0});
  h += e.name;
  Write(h.data(), h.size());
}

void ZipWriter::Add(const ZipEntry& entry) {
  const std::string body = entry.deflate ? RawDeflate(entry.data, entry.level) : entry.data;
  const std::uint16_t method =
      entry.method_override != 0xFFFF ? entry.method_override : (entry.deflate ? 8 : 0);
  const auto usize = static_cast<std::uint64_t>(
      entry.declared_size >= 0 ? entry.declared_size : static_cast<std::int64_t>(entry.data.size()));
  Entry e{entry.name, written_ - prefix_, entry.flags, method, Crc(entry.data), body.size(), usize};
  WriteLocal(e);
  Write(body.data(), body.size());
  if (entry.local_offset >= 0) e.offset = static_cast<std::uint64_t>(entry.local_offset);
  entries_.push_back(e);
}

void ZipWriter::AddStored(const std::string& name, const std::string& data) {
  Add({.name = name, .data = data, .deflate = false});
}

void ZipWriter::AddDeflated(const std::string& name, const std::string& data, int level) {
  bool done = false;
  AddDeflated(name, level, [&](std::string& out) {
    if (!done) out = data;
    done = true;
    return false;
  });
}

void ZipWriter::AddDeflated(const std::string& name, int level,
                            const std::function<bool(std::string&)>& produce) {
  const std::uint64_t local = written_;
  Entry e{name, local - prefix_, 0, 8, 0, 0, 0};
  WriteLocal(e);
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string chunk;
  std::vector<unsigned char> out(1 << 20);
  uLong crc = 0;
  bool more = true;
  while (more) {
    chunk.clear();
    more = produce(chunk);
    crc = Crc(chunk, crc);
    e.usize += chunk.size();
    z.next_in = reinterpret_cast<Bytef*>(chunk.data());
    z.avail_in = static_cast<uInt>(chunk.size());
    const int flush = more ? Z_NO_FLUSH : Z_FINISH;
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      deflate(&z, flush);
      const std::size_t n = out.size() - z.avail_out;
      Write(out.data(), n);
      e.csize += n;
    } while (z.avail_out == 0 || (flush == Z_FINISH && z.avail_in > 0));
  }
  deflateEnd(&z);
  e.crc = static_cast<std::uint32_t>(crc);
  // Sizes go back into the local header, which was written first.
  std::string sizes;
  Put(sizes, e.crc, static_cast<U32>(e.csize), static_cast<U32>(e.usize));
  Patch(local + 14, sizes);
  entries_.push_back(e);
}

void ZipWriter::Finish(std::string_view comment) {
  std::string cd;
  for (const Entry& e : entries_) {
    if (e.csize > 0xFFFFFFFFu || e.usize > 0xFFFFFFFFu) throw std::runtime_error("entry too big");
    // As the local header, after the version made by; then the extra and comment lengths,
    // disk, internal and external attributes, and the local header's offset.
    Put(cd, U32{0x02014b50}, U16{20}, U16{20}, e.flags, e.method, U32{0}, e.crc,
        static_cast<U32>(e.csize), static_cast<U32>(e.usize), static_cast<U16>(e.name.size()),
        U32{0}, U32{0}, U32{0}, static_cast<U32>(e.offset));
    cd += e.name;
  }
  const auto count = static_cast<U16>(entries_.size());
  Put(cd, U32{0x06054b50}, U32{0}, count, count, static_cast<U32>(cd.size()),
      static_cast<U32>(written_ - prefix_), static_cast<U16>(comment.size()));
  cd += comment;
  Write(cd.data(), cd.size());
  if (memory_ == nullptr) file_.close();
}

}  // namespace vexmar::testkit
