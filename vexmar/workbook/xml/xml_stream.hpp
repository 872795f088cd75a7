#pragma once
// Streaming XML with namespace processing over expat. Document type declarations are
// refused (no entity can ever be expanded) and no tree is built: handlers see each
// element as it starts and ends and may stop the parse once they have what they need.
//
// Namespaces are resolved here rather than by expat, which copies the whole URI into
// every prefixed name: with a long URI that costs time per name. Names carry a view of
// the bound URI instead, so the cost of a name never depends on its URI's length.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vexmar/workbook/byte_stream.hpp"

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
  kMalformed,  // not well-formed, or beyond the nesting, token and namespace limits
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
  void SetHandledDepth(std::size_t depth) noexcept { handled_depth_ = depth; }

  // Parses the stream until its end, an error or a handler's request to stop. A
  // document that needs more parser memory than kMaxParserMemory raises the
  // damaged-workbook error.
  XmlOutcome Parse(ByteStream& input);

  // After kMalformed: the line where the problem was found.
  std::uint64_t ErrorLine() const noexcept { return error_line_; }
  // After kDoctype: the declared document type name, prefix included.
  const std::string& DoctypeName() const noexcept { return doctype_; }
  // The most memory the parser held at once, in bytes (for tests and benchmarks).
  std::size_t PeakMemory() const noexcept;

  // Deeper nesting than this is treated as malformed.
  static constexpr std::size_t kMaxDepth = 4096;
  // Input fed without a single event (one huge tag, attribute or comment) beyond this
  // is treated as malformed, so that expat never buffers an unbounded token.
  static constexpr std::uint64_t kMaxTokenBytes = std::uint64_t{8} << 20;
  // Everything expat allocates for one document: its buffer (at most twice the longest
  // token) and the pool of every distinct element and attribute name it has met.
  static constexpr std::size_t kMaxParserMemory = std::size_t{32} << 20;
  // Namespace declarations in scope at once, and their prefixes and URIs together.
  static constexpr std::size_t kMaxBindings = 4096;
  static constexpr std::size_t kMaxBindingBytes = std::size_t{1} << 20;
  // A URI longer than this is kept as an unknown namespace that no handler asks for.
  static constexpr std::size_t kMaxNamespaceBytes = 2048;

  struct Budget;

 private:
  struct Callbacks;
  struct Binding {
    std::string prefix;
    std::string uri;
    std::ptrdiff_t shadowed;  // the binding of the same prefix it hides, or -1
  };
  void Fail(std::exception_ptr failure) noexcept;
  void Stop() noexcept;
  void Refuse() noexcept;  // malformed by our own rules
  bool Halted() const noexcept {
    return stopped_ || refused_ || too_deep_ || malformed_ || failure_;
  }
  bool Bind(std::string_view prefix, std::string_view uri);
  void Unbind(std::size_t count);
  // Resolves a qualified name; false for an undeclared prefix.
  bool Resolve(const char* qname, bool is_element, XmlName* out) const;

  XmlHandler& handler_;
  std::size_t handled_depth_;
  std::unique_ptr<Budget> budget_;
  void* parser_;
  std::string doctype_;
  std::size_t depth_ = 0;
  std::uint64_t fed_ = 0;
  std::uint64_t last_event_ = 0;
  std::uint64_t error_line_ = 0;
  std::exception_ptr failure_;
  std::vector<Binding> bindings_;
  std::map<std::string, std::size_t, std::less<>> current_;  // prefix -> index in bindings_
  std::ptrdiff_t default_binding_ = -1;  // the default namespace's binding, looked up often
  std::size_t binding_bytes_ = 0;
  std::vector<std::uint32_t> bound_per_element_;  // bindings pushed by each open element
  std::vector<XmlAttribute> attributes_;          // reused for every start tag
  bool stopped_ = false;
  bool refused_ = false;
  bool too_deep_ = false;
  bool malformed_ = false;
};

}  // namespace vexmar::workbook
