// Input taken as a bare BIFF record stream: the first byte chooses BIFF8 or BIFF5
// globals or the BIFF2..BIFF4/BIFF4W reader, the rest is the stream.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "fuzz/memory_file.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/random_access_stream.hpp"
#include "vexmar/workbook/xls/biff_workbook.hpp"

namespace {

class MemoryStream final : public vexmar::workbook::RandomAccessStream {
 public:
  MemoryStream(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  void Read(std::uint64_t offset, std::span<std::byte> out) override {
    if (offset > size_ || out.size() > size_ - offset) {
      vexmar::workbook::RaiseFailure(vexmar::workbook::FailureKind::kReadBeyondStream);
    }
    if (!out.empty()) std::memcpy(out.data(), data_ + offset, out.size());
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static vexmar::fuzz::MemoryFile file;
  const std::uint8_t mode = data[0] % 3;
  try {
    if (mode == 2) {
      const vexmar::workbook::FileSource source(file.Hold(data + 1, size - 1));
      (void)vexmar::workbook::ListLegacyBiffWorksheets(source, u"Sheet");
    } else {
      MemoryStream stream(data + 1, size - 1);
      (void)vexmar::workbook::ListBiffWorksheets(
          stream,
          mode == 0 ? vexmar::workbook::BiffVersion::kBiff8 : vexmar::workbook::BiffVersion::kBiff5,
          u"Sheet");
    }
  } catch (const vexmar::Error&) {
  }
  return 0;
}
