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

XmlName SplitName(const char* raw) noexcept {
  const std::string_view text(raw);
  const std::size_t cut = text.find(kSeparator);
  if (cut == std::string_view::npos) return {{}, text};
  return {text.substr(0, cut), text.substr(cut + 1)};
}

}  // namespace

const char* XmlAttributes::Find(std::string_view ns, std::string_view local) const noexcept {
  for (const char** a = raw_; a[0] != nullptr; a += 2) {
    if (SplitName(a[0]).Is(ns, local)) return a[1];
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
      if (!self.handler_.StartElement(SplitName(name), XmlAttributes(attributes), self.depth_)) {
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
      if (!self.handler_.EndElement(SplitName(name), self.depth_)) self.Stop();
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
    const std::size_t n =
        input.Read(std::span(static_cast<std::byte*>(buffer), static_cast<std::size_t>(kChunk)));
    fed_ += n;
    const bool last = n == 0;
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
