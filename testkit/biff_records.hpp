#pragma once
// BIFF records for the workbook streams the tests, benchmarks and fuzz seeds write.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vexmar::testkit {

using Bytes = std::vector<std::byte>;

Bytes U16Bytes(std::uint16_t v);
Bytes U32Bytes(std::uint32_t v);
void Append(Bytes& out, const Bytes& more);
Bytes Concat(std::initializer_list<Bytes> parts);
Bytes Padded(Bytes data, std::size_t size = 4096);

// Appends one record (type, length, body) to `out`.
void AppendRecord(Bytes& out, std::uint16_t type, const Bytes& body);
Bytes Record(std::uint16_t type, const Bytes& body);
Bytes Bof8(std::uint16_t substream_type);
Bytes Bof5(std::uint16_t substream_type);
Bytes Eof();
Bytes BoundSheet8(std::uint32_t position, std::uint8_t kind, std::u16string_view name);
Bytes BoundSheet5(std::uint32_t position, std::uint8_t kind, const std::string& name_bytes);

// A BIFF8 workbook stream whose worksheets carry `names` (positions of the sheets'
// substreams filled in), padded to 4096 bytes.
Bytes Biff8Workbook(const std::vector<std::u16string>& names);

}  // namespace vexmar::testkit
