#include "testkit/biff_records.hpp"

#include <utility>

namespace vexmar::testkit {

Bytes U16Bytes(std::uint16_t v) {
  return {static_cast<std::byte>(v & 0xFF), static_cast<std::byte>(v >> 8)};
}

Bytes U32Bytes(std::uint32_t v) {
  return Concat({U16Bytes(static_cast<std::uint16_t>(v & 0xFFFF)),
                 U16Bytes(static_cast<std::uint16_t>(v >> 16))});
}

void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) Append(out, p);
  return out;
}

Bytes Padded(Bytes data, std::size_t size) {
  if (data.size() < size) data.resize(size, std::byte{0});
  return data;
}

void AppendRecord(Bytes& out, std::uint16_t type, const Bytes& body) {
  const auto length = static_cast<std::uint16_t>(body.size());
  out.insert(out.end(), {static_cast<std::byte>(type & 0xFF), static_cast<std::byte>(type >> 8),
                         static_cast<std::byte>(length & 0xFF), static_cast<std::byte>(length >> 8)});
  Append(out, body);
}

Bytes Record(std::uint16_t type, const Bytes& body) {
  Bytes out;
  AppendRecord(out, type, body);
  return out;
}

Bytes Bof8(std::uint16_t substream_type) {
  return Record(0x0809, Concat({U16Bytes(0x0600), U16Bytes(substream_type), U16Bytes(0x0DBB),
                                U16Bytes(0x07CC), U32Bytes(0), U32Bytes(6)}));
}

Bytes Bof5(std::uint16_t substream_type) {
  return Record(0x0809, Concat({U16Bytes(0x0500), U16Bytes(substream_type), U16Bytes(0x0DBB),
                                U16Bytes(0x07CC)}));
}

Bytes Eof() { return Record(0x000A, {}); }

Bytes BoundSheet8(std::uint32_t position, std::uint8_t kind, std::u16string_view name) {
  Bytes body = Concat({U32Bytes(position), Bytes{std::byte{0}, std::byte{kind}},
                       Bytes{static_cast<std::byte>(name.size()), std::byte{1}}});
  for (const char16_t c : name) Append(body, U16Bytes(c));
  return Record(0x0085, body);
}

Bytes BoundSheet5(std::uint32_t position, std::uint8_t kind, const std::string& name_bytes) {
  Bytes body = Concat({U32Bytes(position), Bytes{std::byte{0}, std::byte{kind}},
                       Bytes{static_cast<std::byte>(name_bytes.size())}});
  for (const char c : name_bytes) body.push_back(static_cast<std::byte>(c));
  return Record(0x0085, body);
}

Bytes Biff8Workbook(const std::vector<std::u16string>& names) {
  std::size_t globals = Bof8(5).size() + Eof().size();
  for (const auto& n : names) globals += BoundSheet8(0, 0, n).size();
  Bytes sheets;
  Bytes stream = Bof8(5);
  for (const auto& n : names) {
    Append(stream, BoundSheet8(static_cast<std::uint32_t>(globals + sheets.size()), 0, n));
    Append(sheets, Concat({Bof8(0x10), Eof()}));
  }
  Append(stream, Eof());
  Append(stream, sheets);
  return Padded(std::move(stream));
}

}  // namespace vexmar::testkit
