#include "bench/workbook/xls_generator.hpp"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace vexmar::bench {
namespace {

using Buffer = std::vector<char>;

void Put16(Buffer& b, std::uint32_t v) {
  b.push_back(static_cast<char>(v & 0xFF));
  b.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(Buffer& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Record(Buffer& b, std::uint16_t type, const Buffer& body) {
  Put16(b, type);
  Put16(b, static_cast<std::uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
}
Buffer Bof(std::uint16_t type) {
  Buffer body;
  for (const std::uint32_t v : {0x0600u, std::uint32_t{type}, 0x0DBBu, 0x07CCu}) Put16(body, v);
  Put32(body, 0);
  Put32(body, 6);
  return body;
}

Buffer Sheet(std::uint64_t cells) {
  Buffer out;
  Record(out, 0x0809, Bof(0x0010));
  Record(out, 0x0081, Buffer{0x01, 0x04});
  Buffer dims;
  Put32(dims, 0);
  Put32(dims, static_cast<std::uint32_t>(cells / 200 + 1));
  Put16(dims, 0);
  Put16(dims, 200);
  Put16(dims, 0);
  Record(out, 0x0200, dims);
  Buffer number(14);
  for (std::uint64_t k = 0; k < cells; ++k) {
    const auto row = static_cast<std::uint16_t>((k / 200) & 0xFFFF);
    const auto col = static_cast<std::uint16_t>(k % 200);
    number[0] = static_cast<char>(row & 0xFF);
    number[1] = static_cast<char>(row >> 8);
    number[2] = static_cast<char>(col & 0xFF);
    number[3] = static_cast<char>(col >> 8);
    number[4] = 0x0F;
    number[5] = 0;
    const double value = static_cast<double>(k) * 0.5;
    std::memcpy(number.data() + 6, &value, 8);
    Record(out, 0x0203, number);
  }
  Record(out, 0x000A, {});
  return out;
}

// Shared strings: an SST record followed by CONTINUE records of at most 8224 bytes.
Buffer SharedStrings(std::uint64_t bytes) {
  std::vector<Buffer> records(1);
  Put32(records[0], 0);
  Put32(records[0], 0);
  std::uint32_t count = 0;
  std::uint64_t written = 0;
  while (written < bytes) {
    const std::string text = "Shared string number " + std::to_string(count);
    Buffer s;
    Put16(s, static_cast<std::uint32_t>(text.size()));
    s.push_back(0);
    s.insert(s.end(), text.begin(), text.end());
    if (records.back().size() + s.size() > 8224) records.emplace_back();
    records.back().insert(records.back().end(), s.begin(), s.end());
    written += s.size();
    ++count;
  }
  for (int i = 0; i < 2; ++i) {
    for (int k = 0; k < 4; ++k)
      records[0][static_cast<std::size_t>(4 * i + k)] =
          static_cast<char>((count >> (8 * k)) & 0xFF);
  }
  Buffer out;
  for (std::size_t i = 0; i < records.size(); ++i)
    Record(out, i == 0 ? 0x00FC : 0x003C, records[i]);
  return out;
}

// Sheet records that all name one worksheet substream placed after `padding` bytes.
Buffer SharedSubstreamStream(const XlsShape& shape) {
  Buffer head;
  Record(head, 0x0809, Bof(0x0005));
  Buffer drawing_group(8, 0);
  const std::uint64_t records = static_cast<std::uint64_t>(shape.sheets) * (4 + 8 + 6);
  const std::uint64_t globals = head.size() + records + 4 + drawing_group.size() + 4;
  const std::uint64_t position = std::max<std::uint64_t>(globals, shape.approximate_bytes * 9 / 10);
  Buffer stream = head;
  for (int i = 0; i < shape.sheets; ++i) {
    Buffer body;
    Put32(body, static_cast<std::uint32_t>(position));
    body.push_back(0);
    body.push_back(0);
    body.push_back(6);
    body.push_back(0);
    const std::string name = "S" + std::to_string(100000 + i).substr(1);
    body.insert(body.end(), name.begin(), name.end());
    Record(stream, 0x0085, body);
  }
  Record(stream, 0x00EB, drawing_group);
  Record(stream, 0x000A, {});
  stream.resize(position, 0);
  const Buffer sheet = Sheet(20);
  stream.insert(stream.end(), sheet.begin(), sheet.end());
  return stream;
}

Buffer WorkbookStream(const XlsShape& shape) {
  if (shape.shared_substream) return SharedSubstreamStream(shape);
  const std::uint64_t payload = shape.approximate_bytes * 9 / 10;
  const std::uint64_t sst_bytes = payload / 5;
  std::vector<Buffer> sheets;
  for (int i = 0; i < shape.sheets; ++i) {
    const std::uint64_t cells = i == 0 && shape.sheets <= 3 ? (payload - sst_bytes) / 18 : 20;
    sheets.push_back(Sheet(cells));
  }
  std::vector<std::string> names;
  for (int i = 0; i < shape.sheets; ++i) names.push_back("Sheet" + std::to_string(i + 1));
  Buffer head;
  Record(head, 0x0809, Bof(0x0005));
  Record(head, 0x0042, Buffer{static_cast<char>(0xB0), 0x04});
  // A scattered file also has drawings: the reader then looks into every substream.
  if (shape.stride > 1) Record(head, 0x00EB, Buffer(8, 0));
  const Buffer sst = SharedStrings(shape.sheets <= 3 ? sst_bytes : 1024);
  std::uint64_t globals = head.size() + sst.size() + 4;
  for (const auto& n : names) globals += 4 + 8 + n.size();
  Buffer stream = head;
  std::uint64_t position = globals;
  for (std::size_t i = 0; i < names.size(); ++i) {
    Buffer body;
    Put32(body, static_cast<std::uint32_t>(position));
    body.push_back(0);
    body.push_back(0);
    body.push_back(static_cast<char>(names[i].size()));
    body.push_back(0);
    body.insert(body.end(), names[i].begin(), names[i].end());
    Record(stream, 0x0085, body);
    position += sheets[i].size();
  }
  stream.insert(stream.end(), sst.begin(), sst.end());
  Record(stream, 0x000A, {});
  for (const auto& s : sheets) stream.insert(stream.end(), s.begin(), s.end());
  if (stream.size() < 4096) stream.resize(4096, 0);
  return stream;
}

void WriteCompound(const std::filesystem::path& file, Buffer stream, std::uint32_t stride) {
  constexpr std::uint32_t kSs = 512;
  constexpr std::uint32_t kPer = kSs / 4;
  constexpr std::uint32_t kEnd = 0xFFFFFFFE;
  constexpr std::uint32_t kFree = 0xFFFFFFFF;
  auto n = static_cast<std::uint32_t>((stream.size() + kSs - 1) / kSs);
  // A stride that shares no factor with n visits every sector once.
  while (stride > 1 && std::gcd(n, stride) != 1) ++n;
  stream.resize(std::size_t{n} * kSs, 0);
  auto place = [&](std::uint32_t i) {
    return static_cast<std::uint32_t>((std::uint64_t{i} * stride) % n);
  };
  Buffer scattered(stream.size());
  for (std::uint32_t i = 0; i < n; ++i) {
    std::memcpy(scattered.data() + std::size_t{place(i)} * kSs,
                stream.data() + std::size_t{i} * kSs, kSs);
  }
  std::vector<std::uint32_t> next(n, kEnd);
  for (std::uint32_t i = 0; i + 1 < n; ++i) next[place(i)] = place(i + 1);
  const std::uint32_t dir = n;
  std::uint32_t nfat = 1;
  std::uint32_t ndifat = 0;
  for (;;) {
    const std::uint32_t total = n + 1 + nfat + ndifat;
    const std::uint32_t need_fat = (total + kPer - 1) / kPer;
    const std::uint32_t need_difat = need_fat > 109 ? (need_fat - 109 + kPer - 2) / (kPer - 1) : 0;
    if (need_fat == nfat && need_difat == ndifat) break;
    nfat = need_fat;
    ndifat = need_difat;
  }
  const std::uint32_t fat0 = dir + 1;
  const std::uint32_t difat0 = fat0 + nfat;
  Buffer header = {static_cast<char>(0xD0), static_cast<char>(0xCF), 0x11, static_cast<char>(0xE0),
                   static_cast<char>(0xA1), static_cast<char>(0xB1), 0x1A, static_cast<char>(0xE1)};
  header.resize(24, 0);
  for (const std::uint32_t v : {0x3Eu, 3u, 0xFFFEu, 9u, 6u}) Put16(header, v);
  header.resize(0x28, 0);
  for (const std::uint32_t v :
       {0u, nfat, dir, 0u, 4096u, kEnd, 0u, ndifat ? difat0 : kEnd, ndifat}) {
    Put32(header, v);
  }
  for (std::uint32_t k = 0; k < 109; ++k) Put32(header, k < nfat ? fat0 + k : kFree);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(header.data(), static_cast<std::streamsize>(header.size()));
  out.write(scattered.data(), static_cast<std::streamsize>(scattered.size()));
  Buffer directory;
  auto entry = [&](const std::u16string& name, char type, std::uint32_t start, std::uint32_t size,
                   std::uint32_t child) {
    Buffer e(128, 0);
    for (std::size_t i = 0; i < name.size(); ++i) e[2 * i] = static_cast<char>(name[i]);
    e[0x40] = static_cast<char>((name.size() + 1) * 2);
    e[0x42] = type;
    e[0x43] = 1;
    Buffer links;
    Put32(links, kFree);
    Put32(links, kFree);
    Put32(links, child);
    std::copy(links.begin(), links.end(), e.begin() + 0x44);
    Buffer tail;
    Put32(tail, start);
    Put32(tail, size);
    std::copy(tail.begin(), tail.end(), e.begin() + 0x74);
    directory.insert(directory.end(), e.begin(), e.end());
  };
  entry(u"Root Entry", 5, kEnd, 0, 1);
  entry(u"Workbook", 2, place(0), static_cast<std::uint32_t>(stream.size()), kFree);
  entry(u"", 0, 0, 0, kFree);
  entry(u"", 0, 0, 0, kFree);
  out.write(directory.data(), static_cast<std::streamsize>(directory.size()));
  Buffer fat;
  for (std::uint32_t s = 0; s < nfat * kPer; ++s) {
    std::uint32_t v = kFree;
    if (s < n)
      v = next[s];
    else if (s == dir)
      v = kEnd;
    else if (s >= fat0 && s < difat0)
      v = 0xFFFFFFFD;
    else if (s >= difat0 && s < difat0 + ndifat)
      v = 0xFFFFFFFC;
    Put32(fat, v);
  }
  out.write(fat.data(), static_cast<std::streamsize>(fat.size()));
  Buffer difat;
  for (std::uint32_t j = 0; j < ndifat; ++j) {
    for (std::uint32_t e = 0; e + 1 < kPer; ++e) {
      const std::uint64_t k = 109 + std::uint64_t{j} * (kPer - 1) + e;
      Put32(difat, k < nfat ? fat0 + static_cast<std::uint32_t>(k) : kFree);
    }
    Put32(difat, j + 1 < ndifat ? difat0 + j + 1 : kEnd);
  }
  out.write(difat.data(), static_cast<std::streamsize>(difat.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace

void EnsureXls(const std::filesystem::path& file, const XlsShape& shape) {
  const auto tag = file.string() + ".shape";
  const std::string want = std::to_string(shape.approximate_bytes) + "/" +
                           std::to_string(shape.sheets) + "/" + std::to_string(shape.stride) +
                           (shape.shared_substream ? "/shared" : "") + "/v2";
  if (std::filesystem::exists(file)) {
    std::ifstream in(tag);
    std::string have;
    std::getline(in, have);
    if (have == want) return;
  }
  WriteCompound(file, WorkbookStream(shape), shape.stride);
  std::ofstream(tag) << want << '\n';
}

}  // namespace vexmar::bench
