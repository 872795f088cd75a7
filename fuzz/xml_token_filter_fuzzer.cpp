// Differential check of the token filter that guards the Windows XML parser: expat must
// give the same verdict and the same elements whether it reads a document as it is or
// through the filter; a document that the filter reports as cut short must not be one
// that expat reads as complete. The prolog scan runs on every input as well.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vexmar/workbook/xml/xml_prolog.hpp"
#include "vexmar/workbook/xml/xml_stream.hpp"
#include "vexmar/workbook/xml/xml_token_filter.hpp"

namespace {

using vexmar::workbook::ByteStream;
using vexmar::workbook::XmlOutcome;

class BytesStream final : public ByteStream {
 public:
  BytesStream(const std::uint8_t* data, std::size_t size, std::size_t step)
      : data_(data), size_(size), step_(step) {}
  std::size_t Read(std::span<std::byte> out) override {
    const std::size_t n = std::min({out.size(), size_ - pos_, step_});
    std::memcpy(out.data(), data_ + pos_, n);
    pos_ += n;
    return n;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t step_;
  std::size_t pos_ = 0;
};

class Recorder final : public vexmar::workbook::XmlHandler {
 public:
  bool StartElement(const vexmar::workbook::XmlName& name, const vexmar::workbook::XmlAttributes&,
                    std::size_t depth) override {
    events.push_back("<" + std::to_string(depth) + std::string(name.Namespace()) + "|" +
                     std::string(name.Local()));
    return true;
  }
  bool EndElement(const vexmar::workbook::XmlName& name, std::size_t depth) override {
    events.push_back(">" + std::to_string(depth) + std::string(name.Namespace()) + "|" +
                     std::string(name.Local()));
    return true;
  }
  std::vector<std::string> events;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)vexmar::workbook::FindDoctypeName(std::as_bytes(std::span(data, size)));
  if (size < 1) return 0;
  const std::size_t step = 1 + data[0] % 64;
  ++data;
  --size;
  Recorder raw;
  vexmar::workbook::XmlStreamParser raw_parser(raw);
  BytesStream whole(data, size, size + 1);
  const XmlOutcome raw_outcome = raw_parser.Parse(whole);

  Recorder filtered;
  vexmar::workbook::XmlStreamParser filtered_parser(filtered);
  BytesStream pieces(data, size, step);
  vexmar::workbook::XmlTokenFilter filter(pieces, vexmar::workbook::XmlStreamParser::kMaxTokenBytes);
  const XmlOutcome filtered_outcome = filtered_parser.Parse(filter);
  if (filter.EndedEarly()) {
    if (raw_outcome == XmlOutcome::kComplete) std::abort();
    return 0;
  }
  if (filtered_outcome != raw_outcome) std::abort();
  if (raw_outcome == XmlOutcome::kComplete && filtered.events != raw.events) std::abort();
  return 0;
}
