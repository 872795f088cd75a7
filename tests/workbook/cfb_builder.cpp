#include "workbook/cfb_builder.hpp"

#include <algorithm>
#include <fstream>

#include <unistd.h>

#include <gtest/gtest.h>

#include "vexmar/workbook/containers/compound_file_format.hpp"

namespace vexmar::testing_support {
namespace {

namespace cfb = vexmar::workbook::cfb;
constexpr std::uint32_t kEnd = cfb::kEndOfChain;
constexpr std::uint32_t kFree = cfb::kFreeSector;
constexpr std::uint32_t kFatMark = cfb::kFatSector;
constexpr std::uint32_t kDifatMark = cfb::kDifatSector;

void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

}  // namespace

void CfbFile::PutU32(std::uint64_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes.at(static_cast<std::size_t>(at) + static_cast<std::size_t>(i)) =
        static_cast<std::byte>((value >> (8 * i)) & 0xFF);
  }
}

void CfbFile::PutU16(std::uint64_t at, std::uint16_t value) {
  bytes.at(static_cast<std::size_t>(at)) = static_cast<std::byte>(value & 0xFF);
  bytes.at(static_cast<std::size_t>(at) + 1) = static_cast<std::byte>(value >> 8);
}

Bytes U16Bytes(std::uint16_t v) {
  return {static_cast<std::byte>(v & 0xFF), static_cast<std::byte>(v >> 8)};
}

Bytes U32Bytes(std::uint32_t v) {
  return Concat({U16Bytes(static_cast<std::uint16_t>(v & 0xFFFF)),
                 U16Bytes(static_cast<std::uint16_t>(v >> 16))});
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) Append(out, p);
  return out;
}

Bytes Padded(Bytes data, std::size_t size) {
  if (data.size() < size) data.resize(size, std::byte{0});
  return data;
}

CfbFile BuildCfb(const std::vector<CfbStream>& streams, unsigned sector_shift, bool tables_first) {
  CfbFile file;
  file.sector_size = 1u << sector_shift;
  const std::uint32_t ss = file.sector_size;
  const std::uint32_t per = ss / 4;
  // How many table sectors a file of `data` other sectors needs.
  auto table_sectors = [&](std::size_t data) {
    std::uint32_t nfat = 1;
    std::uint32_t ndifat = 0;
    for (;;) {
      const auto total = static_cast<std::uint32_t>(data) + nfat + ndifat;
      const std::uint32_t need_fat = (total + per - 1) / per;
      const std::uint32_t need_difat = need_fat > 109 ? (need_fat - 109 + per - 2) / (per - 1) : 0;
      if (need_fat == nfat && need_difat == ndifat) return std::pair{nfat, ndifat};
      nfat = need_fat;
      ndifat = need_difat;
    }
  };
  // With the tables first, the data sectors come after them and the file ends where the
  // last stream's bytes end (its last sector may then be cut short).
  std::uint32_t data_base = 0;
  if (tables_first) {
    std::size_t data = (streams.size() + 1 + per / 32 - 1) / (per / 32);  // the directory
    for (const CfbStream& s : streams) data += s.type == 2 ? (s.data.size() + ss - 1) / ss : 0;
    const auto [nfat, ndifat] = table_sectors(data);
    data_base = nfat + ndifat;
  }
  std::vector<Bytes> sectors;
  std::vector<std::uint32_t> fat(data_base, kFree);
  auto add_chain = [&](const Bytes& blob) -> std::uint32_t {
    if (blob.empty()) return kEnd;
    const auto first = data_base + static_cast<std::uint32_t>(sectors.size());
    const std::size_t n = (blob.size() + ss - 1) / ss;
    for (std::size_t i = 0; i < n; ++i) {
      Bytes sector(ss, std::byte{0});
      const std::size_t len = std::min<std::size_t>(ss, blob.size() - i * ss);
      std::copy_n(blob.begin() + static_cast<std::ptrdiff_t>(i * ss), len, sector.begin());
      sectors.push_back(std::move(sector));
      fat.push_back(i + 1 < n ? first + static_cast<std::uint32_t>(i) + 1 : kEnd);
    }
    return first;
  };
  // With the tables first, the directory comes next, so that a stream ends the file.
  const std::size_t directory_sectors = (streams.size() + 1 + per / 32 - 1) / (per / 32);
  const std::uint32_t reserved_directory =
      tables_first ? add_chain(Bytes(directory_sectors * ss)) : kEnd;
  for (const CfbStream& s : streams) {
    file.stream_starts.push_back(s.type == 2 ? add_chain(s.data) : kEnd);
  }
  auto entry = [&](std::u16string_view name, std::uint8_t type, std::uint32_t start,
                   std::uint64_t size, std::uint32_t right, std::uint32_t child) {
    Bytes e(128, std::byte{0});
    for (std::size_t i = 0; i < name.size() && i < 31; ++i) {
      e[2 * i] = static_cast<std::byte>(name[i] & 0xFF);
      e[2 * i + 1] = static_cast<std::byte>(name[i] >> 8);
    }
    const auto name_bytes =
        static_cast<std::uint16_t>((std::min<std::size_t>(name.size(), 31) + 1) * 2);
    e[cfb::kEntryNameLength] = static_cast<std::byte>(name_bytes);
    e[cfb::kEntryType] = static_cast<std::byte>(type);
    e[cfb::kEntryColour] = std::byte{1};
    auto put = [&](std::size_t at, std::uint32_t v) {
      const Bytes b = U32Bytes(v);
      std::copy(b.begin(), b.end(), e.begin() + static_cast<std::ptrdiff_t>(at));
    };
    put(cfb::kEntryLeftSibling, kFree);
    put(cfb::kEntryRightSibling, right);
    put(cfb::kEntryChild, child);
    put(cfb::kEntryStartSector, start);
    put(cfb::kEntrySize32, static_cast<std::uint32_t>(size));
    put(cfb::kEntrySize32 + 4, static_cast<std::uint32_t>(size >> 32));
    return e;
  };
  Bytes directory = entry(u"Root Entry", 5, kEnd, 0, kFree, streams.empty() ? kFree : 1);
  for (std::size_t i = 0; i < streams.size(); ++i) {
    const auto right = i + 1 < streams.size() ? static_cast<std::uint32_t>(i + 2) : kFree;
    Append(directory, entry(streams[i].name, streams[i].type, file.stream_starts[i],
                            streams[i].type == 2 ? streams[i].data.size() : 0, right, kFree));
  }
  while (directory.size() % ss != 0) Append(directory, entry(u"", 0, 0, 0, kFree, kFree));
  if (tables_first) {
    file.directory_start = reserved_directory;
    for (std::size_t i = 0; i < directory_sectors; ++i) {
      std::copy_n(directory.begin() + static_cast<std::ptrdiff_t>(i * ss), ss,
                  sectors[reserved_directory - data_base + i].begin());
    }
  } else {
    file.directory_start = add_chain(directory);
  }
  // The stream written last ends the file in the tables-first layout.
  std::uint64_t data_end = 0;
  for (std::size_t i = streams.size(); i-- > 0;) {
    if (streams[i].type != 2 || streams[i].data.empty()) continue;
    const std::uint64_t last = file.stream_starts[i] + (streams[i].data.size() - 1) / ss;
    data_end = std::max(data_end, (last + 1) * ss + (streams[i].data.size() - 1) % ss + 1);
  }

  const auto [nfat, ndifat] = table_sectors(sectors.size());
  const auto base = tables_first ? 0u : static_cast<std::uint32_t>(sectors.size());
  for (std::uint32_t k = 0; k < nfat; ++k) {
    file.fat_sectors.push_back(base + k);
    fat.resize(std::max<std::size_t>(fat.size(), base + k + 1), kFree);
    fat[base + k] = kFatMark;
  }
  for (std::uint32_t j = 0; j < ndifat; ++j) {
    fat.resize(std::max<std::size_t>(fat.size(), base + nfat + j + 1), kFree);
    fat[base + nfat + j] = kDifatMark;
  }
  fat.resize(std::size_t{nfat} * per, kFree);
  std::vector<Bytes> tables;
  for (std::uint32_t k = 0; k < nfat; ++k) {
    Bytes sector;
    for (std::uint32_t e = 0; e < per; ++e) Append(sector, U32Bytes(fat[k * per + e]));
    tables.push_back(std::move(sector));
  }
  for (std::uint32_t j = 0; j < ndifat; ++j) {
    Bytes sector;
    for (std::uint32_t e = 0; e + 1 < per; ++e) {
      const std::size_t k = 109 + std::size_t{j} * (per - 1) + e;
      Append(sector, U32Bytes(k < nfat ? file.fat_sectors[k] : kFree));
    }
    Append(sector, U32Bytes(j + 1 < ndifat ? base + nfat + j + 1 : kEnd));
    tables.push_back(std::move(sector));
  }
  sectors.insert(tables_first ? sectors.begin() : sectors.end(), tables.begin(), tables.end());

  Bytes header = {std::byte{0xD0}, std::byte{0xCF}, std::byte{0x11}, std::byte{0xE0},
                  std::byte{0xA1}, std::byte{0xB1}, std::byte{0x1A}, std::byte{0xE1}};
  header.resize(24, std::byte{0});
  Append(header, Concat({U16Bytes(0x3E), U16Bytes(sector_shift == 9 ? 3 : 4), U16Bytes(0xFFFE),
                         U16Bytes(static_cast<std::uint16_t>(sector_shift)), U16Bytes(6)}));
  header.resize(0x28, std::byte{0});
  Append(
      header,
      Concat({U32Bytes(sector_shift == 9 ? 0 : static_cast<std::uint32_t>(directory.size() / ss)),
              U32Bytes(nfat), U32Bytes(file.directory_start), U32Bytes(0), U32Bytes(4096),
              U32Bytes(kEnd), U32Bytes(0), U32Bytes(ndifat ? base + nfat : kEnd),
              U32Bytes(ndifat)}));
  for (std::uint32_t k = 0; k < 109; ++k) {
    Append(header, U32Bytes(k < nfat ? file.fat_sectors[k] : kFree));
  }
  header.resize(ss, std::byte{0});
  file.bytes = std::move(header);
  for (const Bytes& s : sectors) Append(file.bytes, s);
  if (tables_first && data_end > 0) file.bytes.resize(static_cast<std::size_t>(data_end));
  return file;
}

Bytes Record(std::uint16_t type, const Bytes& body) {
  return Concat({U16Bytes(type), U16Bytes(static_cast<std::uint16_t>(body.size())), body});
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

std::filesystem::path FixtureDir() { return VEXMAR_WORKBOOK_FIXTURES; }

namespace {

std::filesystem::path ProcessTempDir() {
  return std::filesystem::temp_directory_path() / ("vexmar-wb-" + std::to_string(::getpid()));
}

// Removes the files the tests wrote once all tests have run.
class TempCleanup : public ::testing::Environment {
 public:
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(ProcessTempDir(), ignored);
  }
};

[[maybe_unused]] ::testing::Environment* const kCleanup =
    ::testing::AddGlobalTestEnvironment(new TempCleanup);

}  // namespace

std::filesystem::path WriteTemp(const std::string& name, const Bytes& bytes) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string test = info ? std::string(info->test_suite_name()) + "." + info->name() : "x";
  for (char& c : test) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  const auto dir = ProcessTempDir() / test;
  std::filesystem::create_directories(dir);
  const auto path = dir / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return path;
}

}  // namespace vexmar::testing_support
