#pragma once
// Test helper: the shared compound-file and BIFF writers (testkit/) under the names the
// workbook tests use, and the tests' fixture and scratch folders.
#include <filesystem>
#include <string>

#include "testkit/biff_records.hpp"
#include "testkit/compound_file_writer.hpp"

namespace vexmar::testing_support {

using testkit::Bytes;
using CfbStream = testkit::CompoundStream;
using CfbFile = testkit::CompoundFile;
using testkit::Biff8Workbook;
using testkit::Bof5;
using testkit::Bof8;
using testkit::BoundSheet5;
using testkit::BoundSheet8;
using testkit::Concat;
using testkit::Eof;
using testkit::Padded;
using testkit::Record;
using testkit::U16Bytes;
using testkit::U32Bytes;

// Streams directly below the root, in order. With `tables_first` the allocation table
// comes before the streams and the file ends where the last stream's bytes end, its last
// sector unpadded.
inline CfbFile BuildCfb(const std::vector<CfbStream>& streams, unsigned sector_shift = 9,
                        bool tables_first = false) {
  return testkit::WriteCompoundFile(streams, {.sector_shift = sector_shift,
                                              .tables_first = tables_first});
}

// The committed fixtures (tests/workbook/fixtures).
std::filesystem::path FixtureDir();

// Writes `bytes` to a new file in the test's temporary folder and returns its path.
std::filesystem::path WriteTemp(const std::string& name, const Bytes& bytes);

}  // namespace vexmar::testing_support
