// Differential check of the skeleton stream: for any input that expat reads as
// well-formed, the elements up to the kept depth must come out the same, in the same
// order, when the input is first cut down to its skeleton.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "vexmar/component/error.hpp"
#include "vexmar/workbook/xml/xml_skeleton_stream.hpp"
#include "vexmar/workbook/xml/xml_stream.hpp"

namespace {

using vexmar::workbook::ByteStream;

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

std::string Text(const vexmar::workbook::XmlName& name) {
  return std::string(name.Namespace()) + '\x01' + std::string(name.Local());
}

class Recorder final : public vexmar::workbook::XmlHandler {
 public:
  explicit Recorder(std::size_t keep) : keep_(keep) {}
  bool StartElement(const vexmar::workbook::XmlName& name, const vexmar::workbook::XmlAttributes&,
                    std::size_t depth) override {
    if (depth <= keep_) events.push_back("<" + std::to_string(depth) + Text(name));
    return true;
  }
  bool EndElement(const vexmar::workbook::XmlName& name, std::size_t depth) override {
    if (depth <= keep_) events.push_back(">" + std::to_string(depth) + Text(name));
    return true;
  }
  std::vector<std::string> events;

 private:
  std::size_t keep_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t keep = 1 + data[0] % 5;  // depth 0 would drop the root itself
  const std::size_t step = 1 + data[1] % 64;
  data += 2;
  size -= 2;
  Recorder full(keep);
  vexmar::workbook::XmlStreamParser full_parser(full);
  BytesStream whole(data, size, size + 1);
  try {
    if (full_parser.Parse(whole) != vexmar::workbook::XmlOutcome::kComplete) return 0;
  } catch (const vexmar::Error&) {
    return 0;  // beyond the parser's memory cap
  }

  Recorder cut(keep);
  vexmar::workbook::XmlStreamParser cut_parser(cut);
  BytesStream pieces(data, size, step);
  vexmar::workbook::XmlSkeletonStream skeleton(pieces, keep);
  // The skeleton is smaller than the document, so it cannot exceed the cap either.
  if (cut_parser.Parse(skeleton) != vexmar::workbook::XmlOutcome::kComplete ||
      cut.events != full.events) {
    std::abort();
  }
  return 0;
}
