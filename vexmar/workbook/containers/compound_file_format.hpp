#pragma once
// The compound file layout: where the header and a directory entry keep their fields,
// the entry types and the special sector numbers. Named once here for the reader, its
// tests and its fuzzers.
#include <array>
#include <cstddef>
#include <cstdint>

namespace vexmar::workbook::cfb {

inline constexpr std::array<unsigned char, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0,
                                                            0xA1, 0xB1, 0x1A, 0xE1};

// Header (the first 512 bytes of the file).
inline constexpr std::uint32_t kHeaderSize = 512;
inline constexpr std::size_t kHeaderMinorVersion = 0x18;
inline constexpr std::size_t kHeaderMajorVersion = 0x1A;
inline constexpr std::size_t kHeaderByteOrder = 0x1C;  // 0xFFFE
inline constexpr std::size_t kHeaderSectorShift = 0x1E;
inline constexpr std::size_t kHeaderMiniSectorShift = 0x20;
inline constexpr std::size_t kHeaderDirectorySectors = 0x28;  // version 4 only
inline constexpr std::size_t kHeaderFatSectors = 0x2C;
inline constexpr std::size_t kHeaderFirstDirectorySector = 0x30;
inline constexpr std::size_t kHeaderMiniStreamCutoff = 0x38;
inline constexpr std::size_t kHeaderFirstMiniFatSector = 0x3C;
inline constexpr std::size_t kHeaderMiniFatSectors = 0x40;
inline constexpr std::size_t kHeaderFirstDifatSector = 0x44;
inline constexpr std::size_t kHeaderDifatSectors = 0x48;
inline constexpr std::size_t kHeaderDifat = 0x4C;  // the first 109 FAT sector numbers
inline constexpr std::size_t kHeaderDifatEntries = 109;

inline constexpr std::uint16_t kByteOrderMark = 0xFFFE;
inline constexpr std::uint16_t kSmallSectorShift = 9;   // version 3: 512-byte sectors
inline constexpr std::uint16_t kLargeSectorShift = 12;  // version 4: 4096-byte sectors
inline constexpr std::uint16_t kMiniSectorShift = 6;
inline constexpr std::uint32_t kMiniSectorSize = 1u << kMiniSectorShift;
// Streams shorter than this live in the mini stream; the format allows no other value.
inline constexpr std::uint32_t kMiniStreamCutoff = 4096;

// Directory entry (128 bytes).
inline constexpr std::uint32_t kEntrySize = 128;
inline constexpr std::size_t kEntryName = 0x00;  // up to 32 UTF-16 units
inline constexpr std::size_t kEntryNameMaxBytes = 64;
inline constexpr std::size_t kEntryNameLength = 0x40;  // in bytes, with the final NUL
inline constexpr std::size_t kEntryType = 0x42;
inline constexpr std::size_t kEntryColour = 0x43;
inline constexpr std::size_t kEntryLeftSibling = 0x44;
inline constexpr std::size_t kEntryRightSibling = 0x48;
inline constexpr std::size_t kEntryChild = 0x4C;
inline constexpr std::size_t kEntryStartSector = 0x74;
inline constexpr std::size_t kEntrySize32 = 0x78;  // 64-bit in version 4

inline constexpr std::uint8_t kEntryEmpty = 0;
inline constexpr std::uint8_t kEntryStorage = 1;
inline constexpr std::uint8_t kEntryStream = 2;
inline constexpr std::uint8_t kEntryRoot = 5;

// Sector numbers with a meaning of their own.
inline constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
inline constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
inline constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
inline constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;  // no sibling or child

}  // namespace vexmar::workbook::cfb
