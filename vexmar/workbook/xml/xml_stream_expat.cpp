#include "vexmar/workbook/xml/xml_stream_expat.hpp"

#include <expat.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <random>
#include <utility>

#include "vexmar/workbook/failure_kind.hpp"
#include "vexmar/workbook/xml/xml_legacy_encoding.hpp"

namespace vexmar::workbook {
namespace {

constexpr int kChunk = 64 * 1024;
constexpr std::string_view kXmlPrefixUri = "http://www.w3.org/XML/1998/namespace";
// Stands for a URI beyond kMaxNamespaceBytes; U+0001 cannot occur in an XML document.
constexpr std::string_view kOverlongUri = "\x01";

XML_Parser P(void* parser) noexcept { return static_cast<XML_Parser>(parser); }

// "xmlns" -> the default namespace (prefix ""), "xmlns:p" -> p; otherwise false.
bool DeclaredPrefix(const char* name, std::string_view* prefix) noexcept {
  if (std::strncmp(name, "xmlns", 5) != 0) return false;
  if (name[5] == '\0') {
    *prefix = {};
    return true;
  }
  if (name[5] != ':') return false;
  *prefix = name + 6;
  return true;
}

// A fresh hash salt for every parser without a system call each: expat would otherwise
// ask the kernel for random bytes at every document, which costs as much as parsing a
// small part. One secret per process, drawn from the system's random source, mixed
// with a counter (SplitMix64's finaliser, a bijection): the salts stay unpredictable,
// so crafted names still cannot make expat's hash tables degenerate.
unsigned long NextHashSalt() {
  static const std::uint64_t secret = [] {
    std::random_device source;
    return (std::uint64_t{source()} << 32) ^ source();
  }();
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t z = secret + 0x9E3779B97F4A7C15u * (counter.fetch_add(1) + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  z ^= z >> 31;
  return z != 0 ? static_cast<unsigned long>(z) : 1;  // 0 asks expat to draw its own
}

}  // namespace

using Budget = XmlStreamParser::Backend::Budget;

bool Budget::Charge(std::size_t size) noexcept {
  if (size > kMaxParserMemory - used) {
    exceeded = true;
    return false;
  }
  used += size;
  if (used > peak) peak = used;
  return true;
}

void* Budget::Malloc(std::size_t size) {
  Budget* owner = current;
  if (owner != nullptr && !owner->Charge(size)) return nullptr;
  auto* header = static_cast<Header*>(std::malloc(sizeof(Header) + size));
  if (header == nullptr) {
    if (owner != nullptr) owner->used -= size;
    return nullptr;
  }
  *header = {size, owner};
  return header + 1;
}

void Budget::Free(void* block) {
  if (block == nullptr) return;
  Header* header = static_cast<Header*>(block) - 1;
  if (header->owner != nullptr) header->owner->used -= header->size;
  std::free(header);
}

void* Budget::Realloc(void* block, std::size_t size) {
  if (block == nullptr) return Malloc(size);
  Header* header = static_cast<Header*>(block) - 1;
  Budget* owner = header->owner;
  const std::size_t old_size = header->size;
  if (owner != nullptr) {
    owner->used -= old_size;
    if (!owner->Charge(size)) {
      owner->used += old_size;
      return nullptr;
    }
  }
  auto* grown = static_cast<Header*>(std::realloc(header, sizeof(Header) + size));
  if (grown == nullptr) {
    if (owner != nullptr) owner->used = owner->used - size + old_size;
    return nullptr;
  }
  grown->size = size;
  return grown + 1;
}

thread_local Budget* Budget::current = nullptr;

namespace {

// Charges expat's allocations to one parser while it runs.
class BudgetScope {
 public:
  explicit BudgetScope(Budget* budget) noexcept : saved_(Budget::current) {
    Budget::current = budget;
  }
  ~BudgetScope() { Budget::current = saved_; }
  BudgetScope(const BudgetScope&) = delete;
  BudgetScope& operator=(const BudgetScope&) = delete;

 private:
  Budget* saved_;
};

const XML_Memory_Handling_Suite kMemorySuite = {
    &Budget::Malloc,
    &Budget::Realloc,
    &Budget::Free,
};

}  // namespace

struct XmlStreamParser::Backend::Callbacks {
  static Backend& Self(void* data) { return *static_cast<Backend*>(data); }

  static void XMLCALL Start(void* data, const XML_Char* name, const XML_Char** attributes) {
    Backend& self = Self(data);
    if (self.Halted()) return;
    self.last_event_ = self.fed_;
    if (++self.depth_ > kMaxDepth) {
      self.too_deep_ = true;
      self.report_.cap_exceeded = FailureKind::kXmlNestingTooDeep;
      XML_StopParser(P(self.parser_), XML_FALSE);
      return;
    }
    // Declarations on deeper elements only matter for elements deeper still.
    if (self.depth_ > self.handled_depth_) return;
    try {
      std::uint32_t bound = 0;
      for (const char** a = attributes; a[0] != nullptr; a += 2) {
        std::string_view prefix;
        if (!DeclaredPrefix(a[0], &prefix)) continue;
        if (!self.Bind(prefix, a[1])) {
          self.Unbind(bound);
          self.Refuse();
          return;
        }
        ++bound;
      }
      self.bound_per_element_.push_back(bound);
      XmlName element({}, {});
      if (!self.Resolve(name, true, &element)) return self.Refuse();
      self.attributes_.clear();
      for (const char** a = attributes; a[0] != nullptr; a += 2) {
        std::string_view prefix;
        if (DeclaredPrefix(a[0], &prefix)) continue;
        XmlName attribute({}, {});
        if (!self.Resolve(a[0], false, &attribute)) return self.Refuse();
        self.attributes_.push_back({attribute, a[1]});
      }
      if (!self.handler_.StartElement(element, XmlAttributes(self.attributes_), self.depth_)) {
        self.Stop();
      }
    } catch (...) {
      self.Fail(std::current_exception());
    }
  }
  static void XMLCALL End(void* data, const XML_Char* name) {
    Backend& self = Self(data);
    // Expat still reports the end of an empty element whose start asked to stop.
    if (self.Halted()) return;
    self.last_event_ = self.fed_;
    if (self.depth_ > self.handled_depth_ || self.bound_per_element_.empty()) {
      --self.depth_;
      return;
    }
    try {
      XmlName element({}, {});
      if (!self.Resolve(name, true, &element)) return self.Refuse();
      if (!self.handler_.EndElement(element, self.depth_)) self.Stop();
    } catch (...) {
      self.Fail(std::current_exception());
    }
    self.Unbind(self.bound_per_element_.back());
    self.bound_per_element_.pop_back();
    --self.depth_;
  }
  static void XMLCALL Progress(void* data, const XML_Char*, int) {
    Self(data).last_event_ = Self(data).fed_;
  }
  static void XMLCALL Comment(void* data, const XML_Char*) {
    Self(data).last_event_ = Self(data).fed_;
  }
  static void XMLCALL Instruction(void* data, const XML_Char*, const XML_Char*) {
    Self(data).last_event_ = Self(data).fed_;
  }
  static void XMLCALL Doctype(void* data, const XML_Char* name, const XML_Char*, const XML_Char*,
                              int) {
    Backend& self = Self(data);
    self.report_.doctype = name != nullptr ? name : "";
    self.refused_ = true;
    XML_StopParser(P(self.parser_), XML_FALSE);
  }
  static void XMLCALL Entity(void* data, const XML_Char*, int, const XML_Char*, int,
                             const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
    Backend& self = Self(data);
    self.refused_ = true;
    XML_StopParser(P(self.parser_), XML_FALSE);
  }
};

namespace {

// One expat parser per thread outlives its document: a listing parses several small
// parts, and creating and freeing a parser (its buffer, hash tables and pools) costs
// as much as parsing one of them. XML_ParserReset keeps those blocks for the next
// document. A parser that grew beyond kMaxKeptMemory (a large or hostile document) is
// freed instead, so a thread never holds more than that between documents; what it
// keeps stays charged to its budget, so one document's cap covers it too.
constexpr std::size_t kMaxKeptMemory = std::size_t{192} << 10;

struct KeptParser {
  XML_Parser parser = nullptr;
  std::unique_ptr<XmlStreamParser::Backend::Budget> budget;
  ~KeptParser() {
    if (parser == nullptr) return;
    const BudgetScope scope(budget.get());
    XML_ParserFree(parser);
  }
};

thread_local KeptParser kept_parser;

}  // namespace

XmlStreamParser::Backend::Backend(XmlHandler& handler, std::size_t handled_depth, Report& report)
    : handler_(handler), handled_depth_(handled_depth), report_(report) {
  if (kept_parser.parser != nullptr) {
    parser_ = std::exchange(kept_parser.parser, nullptr);
    budget_ = std::move(kept_parser.budget);
    budget_->peak = budget_->used;
  } else {
    budget_ = std::make_unique<Budget>();
    const BudgetScope scope(budget_.get());
    parser_ = XML_ParserCreate_MM(nullptr, &kMemorySuite, nullptr);
    if (parser_ == nullptr) throw std::bad_alloc();
  }
  XML_Parser p = P(parser_);
  XML_SetUserData(p, this);
  XML_SetElementHandler(p, &Callbacks::Start, &Callbacks::End);
  XML_SetCharacterDataHandler(p, &Callbacks::Progress);
  XML_SetCommentHandler(p, &Callbacks::Comment);
  XML_SetProcessingInstructionHandler(p, &Callbacks::Instruction);
  XML_SetStartDoctypeDeclHandler(p, &Callbacks::Doctype);
  XML_SetEntityDeclHandler(p, &Callbacks::Entity);
  XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);
  XML_SetHashSalt(p, NextHashSalt());
  XML_SetUnknownEncodingHandler(p, &LegacyEncodingHandler, nullptr);
}

XmlStreamParser::Backend::~Backend() {
  const BudgetScope scope(budget_.get());
  XML_Parser p = P(parser_);
  // Resetting clears every handler and the salt; the next owner sets them again.
  if (kept_parser.parser == nullptr && !budget_->exceeded && XML_ParserReset(p, nullptr) &&
      budget_->used <= kMaxKeptMemory) {
    kept_parser.parser = p;
    kept_parser.budget = std::move(budget_);
    return;
  }
  XML_ParserFree(p);
}

bool XmlStreamParser::Backend::Bind(std::string_view prefix, std::string_view uri) {
  if (bindings_.size() >= kMaxBindings) {
    report_.cap_exceeded = FailureKind::kXmlNamespaceDeclarationsExceeded;
    return false;
  }
  // "xmlns:p=''" is not allowed in XML 1.0 namespaces; "xmlns=''" undeclares the default.
  if (!prefix.empty() && uri.empty()) return false;
  if (uri.size() > kMaxNamespaceBytes) uri = kOverlongUri;
  binding_bytes_ += prefix.size() + uri.size();
  if (binding_bytes_ > kMaxBindingBytes) {
    report_.cap_exceeded = FailureKind::kXmlNamespaceDeclarationsExceeded;
    return false;
  }
  const auto it = current_.find(prefix);
  const std::ptrdiff_t shadowed =
      it == current_.end() ? -1 : static_cast<std::ptrdiff_t>(it->second);
  bindings_.push_back({std::string(prefix), std::string(uri), shadowed});
  if (it == current_.end()) {
    current_.emplace(std::string(prefix), bindings_.size() - 1);
  } else {
    it->second = bindings_.size() - 1;
  }
  if (prefix.empty()) default_binding_ = static_cast<std::ptrdiff_t>(bindings_.size() - 1);
  return true;
}

void XmlStreamParser::Backend::Unbind(std::size_t count) {
  for (; count > 0 && !bindings_.empty(); --count) {
    Binding& top = bindings_.back();
    binding_bytes_ -= top.prefix.size() + top.uri.size();
    if (top.prefix.empty()) default_binding_ = top.shadowed;
    const auto it = current_.find(top.prefix);
    if (top.shadowed < 0) {
      current_.erase(it);
    } else {
      it->second = static_cast<std::size_t>(top.shadowed);
    }
    bindings_.pop_back();
  }
}

bool XmlStreamParser::Backend::Resolve(const char* qname, bool is_element, XmlName* out) const {
  const std::string_view name(qname);
  const std::size_t colon = name.find(':');
  if (colon == std::string_view::npos) {
    // Unprefixed attributes are in no namespace; unprefixed elements in the default one.
    std::string_view ns;
    if (is_element && default_binding_ >= 0) {
      ns = bindings_[static_cast<std::size_t>(default_binding_)].uri;
    }
    *out = XmlName(ns, name);
    return true;
  }
  const std::string_view prefix = name.substr(0, colon);
  const std::string_view local = name.substr(colon + 1);
  if (prefix.empty() || local.empty() || local.find(':') != std::string_view::npos) return false;
  const auto it = current_.find(prefix);
  if (it != current_.end()) {
    *out = XmlName(bindings_[it->second].uri, local);
    return true;
  }
  if (prefix == "xml") {
    *out = XmlName(kXmlPrefixUri, local);
    return true;
  }
  return false;
}

void XmlStreamParser::Backend::Fail(std::exception_ptr failure) noexcept {
  // Exceptions must not unwind through expat's C frames: keep it for Parse to rethrow.
  if (!failure_) failure_ = std::move(failure);
  XML_StopParser(P(parser_), XML_FALSE);
}

void XmlStreamParser::Backend::Stop() noexcept {
  stopped_ = true;
  XML_StopParser(P(parser_), XML_FALSE);
}

void XmlStreamParser::Backend::Refuse() noexcept {
  malformed_ = true;
  XML_StopParser(P(parser_), XML_FALSE);
}

XmlOutcome XmlStreamParser::Backend::Parse(ByteStream& raw_input) {
  XML_Parser p = P(parser_);
  LegacyEncodingStream input(raw_input);
  const BudgetScope scope(budget_.get());
  auto out_of_budget = [&] { RaiseFailure(FailureKind::kXmlParserMemoryExceeded); };
  for (;;) {
    void* buffer = XML_GetBuffer(p, kChunk);
    if (buffer == nullptr) {
      if (budget_->exceeded) out_of_budget();
      throw std::bad_alloc();
    }
    // Fill the chunk; a document that ends inside it is parsed in one final call, which
    // spares expat holding back and re-reading its last token.
    const std::span chunk(static_cast<std::byte*>(buffer), static_cast<std::size_t>(kChunk));
    std::size_t n = 0;
    bool last = false;
    while (n < chunk.size()) {
      const std::size_t got = input.Read(chunk.subspan(n));
      if (got == 0) {
        last = true;
        break;
      }
      n += got;
    }
    fed_ += n;
    if (XML_ParseBuffer(p, static_cast<int>(n), last ? XML_TRUE : XML_FALSE) != XML_STATUS_OK) {
      if (failure_) std::rethrow_exception(failure_);
      if (refused_) return XmlOutcome::kDoctype;
      if (stopped_) return XmlOutcome::kStopped;
      if (XML_GetErrorCode(p) == XML_ERROR_NO_MEMORY) {
        if (budget_->exceeded) out_of_budget();
        throw std::bad_alloc();
      }
      report_.error_line = XML_GetCurrentLineNumber(p);
      return XmlOutcome::kMalformed;
    }
    if (last) return XmlOutcome::kComplete;
    if (fed_ - last_event_ > kMaxTokenBytes) {
      report_.cap_exceeded = FailureKind::kXmlTokenTooLong;
      report_.error_line = XML_GetCurrentLineNumber(p);
      return XmlOutcome::kMalformed;
    }
  }
}

XmlStreamParser::XmlStreamParser(XmlHandler& handler, std::size_t handled_depth)
    : backend_(std::make_unique<Backend>(handler, handled_depth, report_)) {}
XmlStreamParser::~XmlStreamParser() = default;
void XmlStreamParser::SetHandledDepth(std::size_t depth) noexcept {
  backend_->SetHandledDepth(depth);
}
XmlOutcome XmlStreamParser::Parse(ByteStream& input) { return backend_->Parse(input); }
std::size_t XmlStreamParser::PeakMemory() const noexcept { return backend_->PeakMemory(); }

}  // namespace vexmar::workbook
