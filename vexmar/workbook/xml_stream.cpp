#include "vexmar/workbook/xml_stream.hpp"

#include <expat.h>

#include <cstring>
#include <exception>
#include <new>

namespace vexmar::workbook {
namespace {

// Separates the namespace URI from the local name; it cannot occur in XML text.
constexpr char kSeparator = '\x01';
constexpr int kChunk = 64 * 1024;

XML_Parser P(void* parser) noexcept { return static_cast<XML_Parser>(parser); }

// The local part of a raw name: after the separator, or all of it.
const char* LocalPart(const char* raw) noexcept {
  const char* cut = std::strchr(raw, kSeparator);
  return cut != nullptr ? cut + 1 : raw;
}

bool EqualsTerminated(const char* text, std::string_view expected) noexcept {
  return std::strncmp(text, expected.data(), expected.size()) == 0 && text[expected.size()] == '\0';
}

}  // namespace

bool XmlName::Is(std::string_view ns, std::string_view local) const noexcept {
  const char* rest = raw_;
  if (!ns.empty()) {
    if (std::strncmp(rest, ns.data(), ns.size()) != 0 || rest[ns.size()] != kSeparator) {
      return false;
    }
    rest += ns.size() + 1;
  } else if (std::strchr(rest, kSeparator) != nullptr) {
    return false;
  }
  return EqualsTerminated(rest, local);
}

bool XmlName::InNamespace(std::string_view ns) const noexcept {
  if (ns.empty()) return std::strchr(raw_, kSeparator) == nullptr;
  return std::strncmp(raw_, ns.data(), ns.size()) == 0 && raw_[ns.size()] == kSeparator;
}

bool XmlName::HasLocal(std::string_view local) const noexcept {
  return EqualsTerminated(LocalPart(raw_), local);
}

const char* XmlAttributes::Find(std::string_view ns, std::string_view local) const noexcept {
  // Runs for every attribute of every element a handler looks at.
  for (const char** a = raw_; a[0] != nullptr; a += 2) {
    if (XmlName(a[0]).Is(ns, local)) return a[1];
  }
  return nullptr;
}

struct XmlStreamParser::Callbacks {
  static XmlStreamParser& Self(void* data) { return *static_cast<XmlStreamParser*>(data); }

  static void XMLCALL Start(void* data, const XML_Char* name, const XML_Char** attributes) {
    XmlStreamParser& self = Self(data);
    if (self.Halted()) return;
    self.last_event_ = self.fed_;
    if (++self.depth_ > kMaxDepth) {
      self.too_deep_ = true;
      XML_StopParser(P(self.parser_), XML_FALSE);
      return;
    }
    if (self.depth_ > self.handled_depth_) return;
    try {
      if (!self.handler_.StartElement(XmlName(name), XmlAttributes(attributes), self.depth_)) {
        self.Stop();
      }
    } catch (...) {
      self.Fail(std::current_exception());
    }
  }
  static void XMLCALL End(void* data, const XML_Char* name) {
    XmlStreamParser& self = Self(data);
    // Expat still reports the end of an empty element whose start asked to stop.
    if (self.Halted()) return;
    self.last_event_ = self.fed_;
    if (self.depth_ > self.handled_depth_) {
      --self.depth_;
      return;
    }
    try {
      if (!self.handler_.EndElement(XmlName(name), self.depth_)) self.Stop();
    } catch (...) {
      self.Fail(std::current_exception());
    }
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
    XmlStreamParser& self = Self(data);
    self.doctype_ = name != nullptr ? name : "";
    self.refused_ = true;
    XML_StopParser(P(self.parser_), XML_FALSE);
  }
  static void XMLCALL Entity(void* data, const XML_Char*, int, const XML_Char*, int,
                             const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
    XmlStreamParser& self = Self(data);
    self.refused_ = true;
    XML_StopParser(P(self.parser_), XML_FALSE);
  }
};

XmlStreamParser::XmlStreamParser(XmlHandler& handler, std::size_t handled_depth)
    : handler_(handler),
      handled_depth_(handled_depth),
      parser_(XML_ParserCreateNS(nullptr, kSeparator)) {
  if (parser_ == nullptr) throw std::bad_alloc();
  XML_Parser p = P(parser_);
  XML_SetUserData(p, this);
  XML_SetElementHandler(p, &Callbacks::Start, &Callbacks::End);
  XML_SetCharacterDataHandler(p, &Callbacks::Progress);
  XML_SetCommentHandler(p, &Callbacks::Comment);
  XML_SetProcessingInstructionHandler(p, &Callbacks::Instruction);
  XML_SetStartDoctypeDeclHandler(p, &Callbacks::Doctype);
  XML_SetEntityDeclHandler(p, &Callbacks::Entity);
  XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);
}

XmlStreamParser::~XmlStreamParser() { XML_ParserFree(P(parser_)); }

void XmlStreamParser::Fail(std::exception_ptr failure) noexcept {
  // Exceptions must not unwind through expat's C frames: keep it for Parse to rethrow.
  if (!failure_) failure_ = std::move(failure);
  XML_StopParser(P(parser_), XML_FALSE);
}

void XmlStreamParser::Stop() noexcept {
  stopped_ = true;
  XML_StopParser(P(parser_), XML_FALSE);
}

XmlOutcome XmlStreamParser::Parse(ByteStream& input) {
  XML_Parser p = P(parser_);
  for (;;) {
    void* buffer = XML_GetBuffer(p, kChunk);
    if (buffer == nullptr) throw std::bad_alloc();
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
      if (XML_GetErrorCode(p) == XML_ERROR_NO_MEMORY) throw std::bad_alloc();
      error_line_ = XML_GetCurrentLineNumber(p);
      return XmlOutcome::kMalformed;
    }
    if (last) return XmlOutcome::kComplete;
    if (fed_ - last_event_ > kMaxTokenBytes) {
      error_line_ = XML_GetCurrentLineNumber(p);
      return XmlOutcome::kMalformed;
    }
  }
}

}  // namespace vexmar::workbook
