#pragma once
// Streaming XML with namespace processing. Document type declarations are refused (no
// entity can ever be expanded) and no tree is built: handlers see each element as it
// starts and ends and may stop the parse once they have what they need.
//
// This header is the interface callers use. The parser behind it is expat
// (xml_stream_expat.hpp) or, on Windows, the system's XmlLite (xml_stream_xmllite.cpp);
// both keep the same caps and report names, attributes and failures the same way.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "vexmar/workbook/byte_stream.hpp"
#include "vexmar/workbook/failure_kind.hpp"

namespace vexmar::workbook {

// An element or attribute name after namespace processing: its namespace URI (empty for
// none) and its local part. Views into the parser, valid during the callback.
class XmlName {
 public:
  XmlName(std::string_view ns, std::string_view local) noexcept : ns_(ns), local_(local) {}
  bool Is(std::string_view ns, std::string_view local) const noexcept {
    return local_ == local && ns_ == ns;
  }
  bool InNamespace(std::string_view ns) const noexcept { return ns_ == ns; }
  bool HasLocal(std::string_view local) const noexcept { return local_ == local; }
  std::string_view Namespace() const noexcept { return ns_; }
  std::string_view Local() const noexcept { return local_; }

 private:
  std::string_view ns_;
  std::string_view local_;
};

struct XmlAttribute {
  XmlName name;
  const char* value;  // NUL-terminated UTF-8
};

// Attributes of a start tag, namespace declarations left out.
class XmlAttributes {
 public:
  explicit XmlAttributes(std::span<const XmlAttribute> items) noexcept : items_(items) {}
  // The value of the attribute, or nullptr when it is absent. Runs for every attribute of
  // every element a handler looks at.
  const char* Find(std::string_view ns, std::string_view local) const noexcept {
    for (const XmlAttribute& a : items_) {
      if (a.name.Is(ns, local)) return a.value;
    }
    return nullptr;
  }

 private:
  std::span<const XmlAttribute> items_;
};

// Receives elements as they start and end; `depth` is 1 for the root element. Returning
// false stops the parse (the handler has what it needs).
class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual bool StartElement(const XmlName& name, const XmlAttributes& attributes,
                            std::size_t depth) = 0;
  virtual bool EndElement(const XmlName& name, std::size_t depth) = 0;
};

enum class XmlOutcome {
  kComplete,   // the whole document was read and is well-formed
  kStopped,    // a handler asked to stop
  kMalformed,  // not well-formed, or beyond a cap (see CapExceeded())
  kDoctype,    // a document type declaration was met; see DoctypeName()
};

class XmlStreamParser {
 public:
  // The handler sees elements down to `handled_depth` only; deeper ones are merely
  // counted, which keeps long documents cheap.
  explicit XmlStreamParser(XmlHandler& handler, std::size_t handled_depth = kMaxDepth);
  ~XmlStreamParser();
  XmlStreamParser(const XmlStreamParser&) = delete;
  XmlStreamParser& operator=(const XmlStreamParser&) = delete;

  // Called from a handler once it knows which elements matter.
  void SetHandledDepth(std::size_t depth) noexcept;

  // Parses the stream until its end, an error or a handler's request to stop. A
  // document that needs more parser memory than kMaxParserMemory raises the
  // damaged-workbook error. One document per parser.
  XmlOutcome Parse(ByteStream& input);

  // After kMalformed: the line where the problem was found.
  std::uint64_t ErrorLine() const noexcept { return report_.error_line; }
  // After kMalformed: the cap the document went beyond (token, nesting, namespace
  // declarations), or nullopt when it simply is not well-formed.
  std::optional<FailureKind> CapExceeded() const noexcept { return report_.cap_exceeded; }
  // After kDoctype: the declared document type name, prefix included.
  const std::string& DoctypeName() const noexcept { return report_.doctype; }
  // The most memory the parser held at once, in bytes (for tests and benchmarks).
  std::size_t PeakMemory() const noexcept;

  // Deeper nesting than this is treated as malformed.
  static constexpr std::size_t kMaxDepth = 4096;
  // Input fed without a single event (one huge tag, attribute or comment) beyond this
  // is treated as malformed, so that the parser never buffers an unbounded token.
  static constexpr std::uint64_t kMaxTokenBytes = std::uint64_t{8} << 20;
  // Everything the parser allocates for one document: its buffer (at most twice the
  // longest token) and the pool of every distinct element and attribute name it has met.
  static constexpr std::size_t kMaxParserMemory = std::size_t{32} << 20;
  // Namespace declarations in scope at once, and their prefixes and URIs together.
  static constexpr std::size_t kMaxBindings = 4096;
  static constexpr std::size_t kMaxBindingBytes = std::size_t{1} << 20;
  // A URI longer than this is kept as an unknown namespace that no handler asks for.
  static constexpr std::size_t kMaxNamespaceBytes = 2048;

  // What a parse leaves for the accessors above besides its outcome; the backend fills it.
  struct Report {
    std::uint64_t error_line = 0;
    std::optional<FailureKind> cap_exceeded;
    std::string doctype;
  };
  // The parser proper, defined by whichever backend the platform builds. Only one is
  // built, so its calls are direct: the interface costs one allocation per parser (which
  // also holds the memory budget) and nothing per element.
  class Backend;

 private:
  Report report_;
  std::unique_ptr<Backend> backend_;
};

// Raises the failure for a kMalformed outcome: the cap's own kind when the document went
// beyond one, otherwise `malformed` with `subject` and the parser's line.
[[noreturn]] inline void RaiseMalformedXml(const XmlStreamParser& parser, FailureKind malformed,
                                           std::u16string_view subject = {}) {
  if (const std::optional<FailureKind> cap = parser.CapExceeded()) RaiseFailure(*cap);
  RaiseFailure(malformed, subject, parser.ErrorLine());
}

}  // namespace vexmar::workbook
