#include "testkit/compound_file_writer.hpp"

#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <utility>

#include "vexmar/workbook/containers/compound_file_format.hpp"

namespace vexmar::testkit {
namespace {

namespace cfb = vexmar::workbook::cfb;
constexpr std::uint32_t kEnd = cfb::kEndOfChain;
constexpr std::uint32_t kFree = cfb::kFreeSector;

// How many allocation-table and DIFAT sectors a file of `others` other sectors needs.
std::pair<std::uint32_t, std::uint32_t> TableSectors(std::uint32_t others, std::uint32_t per) {
  std::uint32_t nfat = 1;
  std::uint32_t ndifat = 0;
  for (;;) {
    const std::uint32_t total = others + nfat + ndifat;
    const std::uint32_t need_fat = (total + per - 1) / per;
    const std::uint32_t need_difat = need_fat > 109 ? (need_fat - 109 + per - 2) / (per - 1) : 0;
    if (need_fat == nfat && need_difat == ndifat) return {nfat, ndifat};
    nfat = need_fat;
    ndifat = need_difat;
  }
}

// Writes little-endian numbers into a file being assembled.
struct Writer {
  Bytes& out;
  void U16(std::uint64_t at, std::uint32_t v) {
    out[static_cast<std::size_t>(at)] = static_cast<std::byte>(v & 0xFF);
    out[static_cast<std::size_t>(at) + 1] = static_cast<std::byte>((v >> 8) & 0xFF);
  }
  void U32(std::uint64_t at, std::uint32_t v) {
    U16(at, v & 0xFFFF);
    U16(at + 2, v >> 16);
  }
  void Entry(std::uint64_t at, std::u16string_view name, std::uint8_t type, std::uint32_t start,
             std::uint64_t size, std::uint32_t right, std::uint32_t child) {
    const std::size_t length = std::min<std::size_t>(name.size(), 31);
    for (std::size_t i = 0; i < length; ++i) U16(at + 2 * i, name[i]);
    out[static_cast<std::size_t>(at + cfb::kEntryNameLength)] =
        static_cast<std::byte>((length + 1) * 2);
    out[static_cast<std::size_t>(at + cfb::kEntryType)] = static_cast<std::byte>(type);
    out[static_cast<std::size_t>(at + cfb::kEntryColour)] = std::byte{1};
    U32(at + cfb::kEntryLeftSibling, kFree);
    U32(at + cfb::kEntryRightSibling, right);
    U32(at + cfb::kEntryChild, child);
    U32(at + cfb::kEntryStartSector, start);
    U32(at + cfb::kEntrySize32, static_cast<std::uint32_t>(size));
    U32(at + cfb::kEntrySize32 + 4, static_cast<std::uint32_t>(size >> 32));
  }
};

}  // namespace

void CompoundFile::PutU32(std::uint64_t at, std::uint32_t value) {
  if (at + 4 > bytes.size()) throw std::out_of_range("PutU32 past the end");
  Writer{bytes}.U32(at, value);
}

void CompoundFile::PutU16(std::uint64_t at, std::uint16_t value) {
  if (at + 2 > bytes.size()) throw std::out_of_range("PutU16 past the end");
  Writer{bytes}.U16(at, value);
}

CompoundFile WriteCompoundFile(const std::vector<CompoundStream>& streams,
                               const CompoundLayout& layout) {
  CompoundFile file;
  file.sector_size = 1u << layout.sector_shift;
  const std::uint32_t ss = file.sector_size;
  const std::uint32_t per = ss / 4;
  auto sectors_of = [&](const CompoundStream& s) {
    return s.type == 2 ? static_cast<std::uint32_t>((s.data.size() + ss - 1) / ss) : 0u;
  };
  std::uint32_t n = 0;  // the streams' sectors
  for (const CompoundStream& s : streams) n += sectors_of(s);
  const auto entries = static_cast<std::uint32_t>(streams.size() + 1);
  const std::uint32_t directory_sectors = (entries + ss / 128 - 1) / (ss / 128);
  const auto [nfat, ndifat] = TableSectors(n + directory_sectors, per);
  if (layout.stride > 1 && std::gcd(n, layout.stride) != 1) {
    throw std::invalid_argument("the stride must share no factor with the stream sectors");
  }

  // Streams, directory, tables; or tables, directory, streams.
  const std::uint32_t fat_base = layout.tables_first ? 0 : n + directory_sectors;
  const std::uint32_t difat_base = fat_base + nfat;
  const std::uint32_t directory_base = layout.tables_first ? nfat + ndifat : n;
  const std::uint32_t data_base = layout.tables_first ? directory_base + directory_sectors : 0;
  auto place = [&](std::uint32_t k) {
    return data_base + static_cast<std::uint32_t>((std::uint64_t{k} * layout.stride) % n);
  };

  const std::uint32_t total = n + directory_sectors + nfat + ndifat;
  file.bytes.assign((std::size_t{total} + 1) * ss, std::byte{0});
  Writer put{file.bytes};
  std::vector<std::uint32_t> fat(std::size_t{nfat} * per, kFree);

  std::uint32_t next = 0;  // the next stream sector, before scattering
  std::uint64_t data_end = 0;
  for (const CompoundStream& s : streams) {
    const std::uint32_t count = sectors_of(s);
    file.stream_starts.push_back(count == 0 ? kEnd : place(next));
    for (std::uint32_t j = 0; j < count; ++j) {
      const std::uint32_t sector = place(next + j);
      fat[sector] = j + 1 < count ? place(next + j + 1) : kEnd;
      const std::size_t from = std::size_t{j} * ss;
      const std::size_t length = std::min<std::size_t>(ss, s.data.size() - from);
      std::copy_n(s.data.begin() + static_cast<std::ptrdiff_t>(from), length,
                  file.bytes.begin() + static_cast<std::ptrdiff_t>(file.SectorOffset(sector)));
      data_end = std::max<std::uint64_t>(data_end, file.SectorOffset(sector) + length);
    }
    next += count;
  }

  file.directory_start = directory_base;
  for (std::uint32_t k = 0; k < directory_sectors; ++k) {
    fat[directory_base + k] = k + 1 < directory_sectors ? directory_base + k + 1 : kEnd;
  }
  put.Entry(file.EntryOffset(0), u"Root Entry", 5, kEnd, 0, kFree, streams.empty() ? kFree : 1);
  for (std::uint32_t i = 0; i < streams.size(); ++i) {
    const CompoundStream& s = streams[i];
    put.Entry(file.EntryOffset(i + 1), s.name, s.type, file.stream_starts[i],
              s.type == 2 ? s.data.size() : 0, i + 1 < streams.size() ? i + 2 : kFree, kFree);
  }
  for (std::uint32_t id = entries; id < directory_sectors * (ss / 128); ++id) {
    put.Entry(file.EntryOffset(id), u"", 0, 0, 0, kFree, kFree);
  }

  for (std::uint32_t k = 0; k < nfat; ++k) {
    file.fat_sectors.push_back(fat_base + k);
    fat[fat_base + k] = cfb::kFatSector;
  }
  for (std::uint32_t j = 0; j < ndifat; ++j) fat[difat_base + j] = cfb::kDifatSector;
  for (std::uint32_t e = 0; e < fat.size(); ++e) {
    put.U32(file.SectorOffset(fat_base + e / per) + std::uint64_t{e % per} * 4, fat[e]);
  }
  for (std::uint32_t j = 0; j < ndifat; ++j) {
    const std::uint64_t at = file.SectorOffset(difat_base + j);
    for (std::uint32_t e = 0; e + 1 < per; ++e) {
      const std::size_t k = 109 + std::size_t{j} * (per - 1) + e;
      put.U32(at + std::uint64_t{e} * 4, k < nfat ? file.fat_sectors[k] : kFree);
    }
    put.U32(at + std::uint64_t{per - 1} * 4, j + 1 < ndifat ? difat_base + j + 1 : kEnd);
  }

  std::copy(cfb::kSignature.begin(), cfb::kSignature.end(),
            reinterpret_cast<unsigned char*>(file.bytes.data()));
  put.U16(cfb::kHeaderMinorVersion, 0x3E);
  put.U16(cfb::kHeaderMajorVersion, layout.sector_shift == 9 ? 3 : 4);
  put.U16(cfb::kHeaderByteOrder, cfb::kByteOrderMark);
  put.U16(cfb::kHeaderSectorShift, layout.sector_shift);
  put.U16(cfb::kHeaderMiniSectorShift, cfb::kMiniSectorShift);
  put.U32(cfb::kHeaderDirectorySectors, layout.sector_shift == 9 ? 0 : directory_sectors);
  put.U32(cfb::kHeaderFatSectors, nfat);
  put.U32(cfb::kHeaderFirstDirectorySector, file.directory_start);
  put.U32(cfb::kHeaderMiniStreamCutoff, cfb::kMiniStreamCutoff);
  put.U32(cfb::kHeaderFirstMiniFatSector, kEnd);
  put.U32(cfb::kHeaderFirstDifatSector, ndifat ? difat_base : kEnd);
  put.U32(cfb::kHeaderDifatSectors, ndifat);
  for (std::uint32_t k = 0; k < cfb::kHeaderDifatEntries; ++k) {
    put.U32(cfb::kHeaderDifat + 4 * k, k < nfat ? file.fat_sectors[k] : kFree);
  }
  if (layout.tables_first && data_end > 0) file.bytes.resize(static_cast<std::size_t>(data_end));
  return file;
}

}  // namespace vexmar::testkit
