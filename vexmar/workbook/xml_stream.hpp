#pragma once
// Streaming XML with namespace processing over expat. Document type declarations are
// refused (no entity can ever be expanded) and no tree is built: handlers see each
// element as it starts and ends and may stop the parse once they have what they need.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "vexmar/workbook/byte_stream.hpp"

namespace vexmar::workbook {

// An element or attribute name after namespace processing, as expat gives it:
// "uri<separator>local", or "local" alone when it has no namespace. Compared in place.
class XmlName {
 public:
  explicit XmlName(const char* raw) noexcept : raw_(raw) {}
  bool Is(std::string_view ns, std::string_view local) const noexcept;
  bool InNamespace(std::string_view ns) const noexcept;
  bool HasLocal(std::string_view local) const noexcept;
  // The name as expat gives it, for diagnostics and tests.
  const char* Raw() const noexcept { return raw_; }

 private:
  const char* raw_;
};

// Attributes of a start tag, as expat hands them over (name, value, name, value, ..., null).
class XmlAttributes {
 public:
  explicit XmlAttributes(const char** raw) noexcept : raw_(raw) {}
  // The value of the attribute, or nullptr when it is absent.
  const char* Find(std::string_view ns, std::string_view local) const noexcept;

 private:
  const char** raw_;
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
  kMalformed,  // not well-formed, or beyond the nesting and token limits
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

  // Parses the stream until its end, an error or a handler's request to stop.
  XmlOutcome Parse(ByteStream& input);

  // After kMalformed: the line where the problem was found.
  std::uint64_t ErrorLine() const noexcept { return error_line_; }
  // After kDoctype: the declared document type name, prefix included.
  const std::string& DoctypeName() const noexcept { return doctype_; }

  // Deeper nesting than this is treated as malformed.
  static constexpr std::size_t kMaxDepth = 4096;
  // Input fed without a single event (one huge tag, attribute or comment) beyond this
  // is treated as malformed, so that expat never buffers an unbounded token.
  static constexpr std::uint64_t kMaxTokenBytes = std::uint64_t{16} << 20;

 private:
  struct Callbacks;
  void Fail(std::exception_ptr failure) noexcept;
  void Stop() noexcept;
  bool Halted() const noexcept { return stopped_ || refused_ || too_deep_ || failure_; }
  XmlHandler& handler_;
  std::size_t handled_depth_;
  void* parser_;
  std::string doctype_;
  std::size_t depth_ = 0;
  std::uint64_t fed_ = 0;
  std::uint64_t last_event_ = 0;
  std::uint64_t error_line_ = 0;
  std::exception_ptr failure_;
  bool stopped_ = false;
  bool refused_ = false;
  bool too_deep_ = false;
};

}  // namespace vexmar::workbook
