#include "bench/workbook/xls_generator.hpp"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "testkit/biff_records.hpp"
#include "testkit/compound_file_writer.hpp"

namespace vexmar::bench {
namespace {

using testkit::AppendRecord;
using testkit::Bytes;
using testkit::U16Bytes;
using testkit::U32Bytes;

void Put16(Bytes& b, std::uint32_t v) { testkit::Append(b, U16Bytes(static_cast<std::uint16_t>(v))); }
void Put32(Bytes& b, std::uint32_t v) { testkit::Append(b, U32Bytes(v)); }
void PutText(Bytes& b, const std::string& text) {
  for (const char c : text) b.push_back(static_cast<std::byte>(c));
}

Bytes Sheet(std::uint64_t cells) {
  Bytes out = testkit::Bof8(0x0010);
  AppendRecord(out, 0x0081, Bytes{std::byte{0x01}, std::byte{0x04}});
  Bytes dims;
  Put32(dims, 0);
  Put32(dims, static_cast<std::uint32_t>(cells / 200 + 1));
  Put16(dims, 0);
  Put16(dims, 200);
  Put16(dims, 0);
  AppendRecord(out, 0x0200, dims);
  Bytes number(14);
  for (std::uint64_t k = 0; k < cells; ++k) {
    const auto row = static_cast<std::uint16_t>((k / 200) & 0xFFFF);
    const auto col = static_cast<std::uint16_t>(k % 200);
    number[0] = static_cast<std::byte>(row & 0xFF);
    number[1] = static_cast<std::byte>(row >> 8);
    number[2] = static_cast<std::byte>(col & 0xFF);
    number[3] = static_cast<std::byte>(col >> 8);
    number[4] = std::byte{0x0F};
    number[5] = std::byte{0};
    const double value = static_cast<double>(k) * 0.5;
    std::memcpy(number.data() + 6, &value, 8);
    AppendRecord(out, 0x0203, number);
  }
  AppendRecord(out, 0x000A, {});
  return out;
}

// Shared strings: an SST record followed by CONTINUE records of at most 8224 bytes.
Bytes SharedStrings(std::uint64_t bytes) {
  std::vector<Bytes> records(1);
  Put32(records[0], 0);
  Put32(records[0], 0);
  std::uint32_t count = 0;
  std::uint64_t written = 0;
  while (written < bytes) {
    const std::string text = "Shared string number " + std::to_string(count);
    Bytes s;
    Put16(s, static_cast<std::uint32_t>(text.size()));
    s.push_back(std::byte{0});
    PutText(s, text);
    if (records.back().size() + s.size() > 8224) records.emplace_back();
    testkit::Append(records.back(), s);
    written += s.size();
    ++count;
  }
  const Bytes counts = U32Bytes(count);
  std::copy(counts.begin(), counts.end(), records[0].begin());
  std::copy(counts.begin(), counts.end(), records[0].begin() + 4);
  Bytes out;
  for (std::size_t i = 0; i < records.size(); ++i)
    AppendRecord(out, i == 0 ? 0x00FC : 0x003C, records[i]);
  return out;
}

// A sheet record with an 8-bit name, pointing at the substream at `position`.
Bytes SheetRecord(std::uint64_t position, const std::string& name) {
  Bytes body;
  Put32(body, static_cast<std::uint32_t>(position));
  Put16(body, 0);
  body.push_back(static_cast<std::byte>(name.size()));
  body.push_back(std::byte{0});
  PutText(body, name);
  return testkit::Record(0x0085, body);
}

// Sheet records that all name one worksheet substream placed after `padding` bytes.
Bytes SharedSubstreamStream(const XlsShape& shape) {
  const Bytes head = testkit::Bof8(0x0005);
  const Bytes drawing_group(8, std::byte{0});
  const std::uint64_t records = static_cast<std::uint64_t>(shape.sheets) * (4 + 8 + 6);
  const std::uint64_t globals = head.size() + records + 4 + drawing_group.size() + 4;
  const std::uint64_t position = std::max<std::uint64_t>(globals, shape.approximate_bytes * 9 / 10);
  Bytes stream = head;
  for (int i = 0; i < shape.sheets; ++i) {
    const std::string name = "S" + std::to_string(100000 + i).substr(1);
    testkit::Append(stream, SheetRecord(position, name));
  }
  AppendRecord(stream, 0x00EB, drawing_group);
  AppendRecord(stream, 0x000A, {});
  stream.resize(position, std::byte{0});
  testkit::Append(stream, Sheet(20));
  return stream;
}

Bytes WorkbookStream(const XlsShape& shape) {
  if (shape.shared_substream) return SharedSubstreamStream(shape);
  const std::uint64_t payload = shape.approximate_bytes * 9 / 10;
  const std::uint64_t sst_bytes = payload / 5;
  std::vector<Bytes> sheets;
  for (int i = 0; i < shape.sheets; ++i) {
    const std::uint64_t cells = i == 0 && shape.sheets <= 3 ? (payload - sst_bytes) / 18 : 20;
    sheets.push_back(Sheet(cells));
  }
  std::vector<std::string> names;
  for (int i = 0; i < shape.sheets; ++i) names.push_back("Sheet" + std::to_string(i + 1));
  Bytes head = testkit::Bof8(0x0005);
  AppendRecord(head, 0x0042, U16Bytes(0x04B0));
  // A scattered file also has drawings: the reader then looks into every substream.
  if (shape.stride > 1) AppendRecord(head, 0x00EB, Bytes(8, std::byte{0}));
  const Bytes sst = SharedStrings(shape.sheets <= 3 ? sst_bytes : 1024);
  std::uint64_t globals = head.size() + sst.size() + 4;
  for (const auto& n : names) globals += 4 + 8 + n.size();
  Bytes stream = head;
  std::uint64_t position = globals;
  for (std::size_t i = 0; i < names.size(); ++i) {
    testkit::Append(stream, SheetRecord(position, names[i]));
    position += sheets[i].size();
  }
  testkit::Append(stream, sst);
  AppendRecord(stream, 0x000A, {});
  for (const auto& s : sheets) testkit::Append(stream, s);
  if (stream.size() < 4096) stream.resize(4096, std::byte{0});
  return stream;
}

void WriteCompound(const std::filesystem::path& file, Bytes stream, std::uint32_t stride) {
  constexpr std::uint32_t kSs = 512;
  auto n = static_cast<std::uint32_t>((stream.size() + kSs - 1) / kSs);
  // A stride that shares no factor with n visits every sector once.
  while (stride > 1 && std::gcd(n, stride) != 1) ++n;
  stream.resize(std::size_t{n} * kSs, std::byte{0});
  std::vector<testkit::CompoundStream> streams;
  streams.push_back({u"Workbook", std::move(stream)});
  const testkit::CompoundFile compound = testkit::WriteCompoundFile(streams, {.stride = stride});
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(compound.bytes.data()),
            static_cast<std::streamsize>(compound.bytes.size()));
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
