#pragma once
// The XML stream's backend over expat (every platform but Windows).
//
// Namespaces are resolved here rather than by expat, which copies the whole URI into
// every prefixed name: with a long URI that costs time per name. Names carry a view of
// the bound URI instead, so the cost of a name never depends on its URI's length.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vexmar/workbook/xml/xml_stream.hpp"

namespace vexmar::workbook {

class XmlStreamParser::Backend {
 public:
  Backend(XmlHandler& handler, std::size_t handled_depth, Report& report);
  ~Backend();
  Backend(const Backend&) = delete;
  Backend& operator=(const Backend&) = delete;

  void SetHandledDepth(std::size_t depth) noexcept { handled_depth_ = depth; }
  XmlOutcome Parse(ByteStream& input);
  std::size_t PeakMemory() const noexcept { return budget_->peak; }

  // Counts what expat allocates, so that a hostile document (a huge pool of distinct
  // names, say) ends as damage instead of taking the host's memory. Every block carries
  // its size and its budget in a header.
  struct Budget {
    std::size_t used = 0;
    std::size_t peak = 0;
    bool exceeded = false;

    struct alignas(std::max_align_t) Header {
      std::size_t size;
      Budget* owner;
    };
    // The budget that new blocks are charged to: set around every call into expat.
    static thread_local Budget* current;

    bool Charge(std::size_t size) noexcept;
    static void* Malloc(std::size_t size);
    static void Free(void* block);
    static void* Realloc(void* block, std::size_t size);
  };

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
  Report& report_;
  std::unique_ptr<Budget> budget_;  // its address is in every block's header
  void* parser_;
  std::size_t depth_ = 0;
  std::uint64_t fed_ = 0;
  std::uint64_t last_event_ = 0;
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
