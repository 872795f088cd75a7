// Streaming XML on Windows over the system's XmlLite, behind the same interface as the
// expat backend elsewhere: names reach handlers as namespace URI and local part in UTF-8,
// namespace declarations left out of the attributes, the end of an empty element reported
// as an end tag. A document type declaration stops the parse at once (its name is
// reported, nothing of it is expanded); the depth, token and namespace caps are the same.
// Legacy encodings are decoded first (xml_legacy_encoding_win32), and a token filter keeps
// what some XmlLite builds cannot take from them (xml_token_filter).
#include <windows.h>
#include <objidl.h>
#include <xmllite.h>

// COM interfaces end their objects through Release, never through a destructor, so they
// declare none; the warning about it does not apply to their implementations.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/workbook/xml/xml_legacy_encoding_win32.hpp"
#include "vexmar/workbook/xml/xml_prolog.hpp"
#include "vexmar/workbook/xml/xml_stream.hpp"
#include "vexmar/workbook/xml/xml_token_filter.hpp"

namespace vexmar::workbook {
namespace {

// Stands for a URI beyond kMaxNamespaceBytes, as in the expat backend.
constexpr std::string_view kOverlongUri = "\x01";
constexpr std::string_view kXmlnsUri = "http://www.w3.org/2000/xmlns/";
// The bytes kept from the start of a document for naming a refused document type.
constexpr std::size_t kMaxPrologBytes = 64 * 1024;

// XmlLite's interface id, as its header declares it (MinGW ships no import library).
constexpr IID kXmlReaderIid = {
    0x7279FC81, 0x709D, 0x4095, {0xB6, 0x3D, 0x69, 0xFE, 0x4B, 0x0D, 0x90, 0x30}};

using CreateXmlReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

// XmlLite is loaded from the system directory on first use and kept for the life of the
// process; an unloaded module could never be loaded again safely while a parse runs.
CreateXmlReaderFunction XmlReaderFactory() {
  static const CreateXmlReaderFunction factory = [] {
    HMODULE module = LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) {
      // Systems without the restricted search flag: name the system directory.
      wchar_t directory[MAX_PATH];
      const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
      if (length > 0 && length < MAX_PATH) {
        module = LoadLibraryW((std::wstring(directory, length) + L"\\xmllite.dll").c_str());
      }
    }
    if (module == nullptr) return CreateXmlReaderFunction{};
    return reinterpret_cast<CreateXmlReaderFunction>(  // NOLINT: the export's known type
        reinterpret_cast<void*>(GetProcAddress(module, "CreateXmlReader")));
  }();
  return factory;
}

template <typename T>
struct Releaser {
  void operator()(T* p) const noexcept { p->Release(); }
};
template <typename T>
using Owned = std::unique_ptr<T, Releaser<T>>;

// The byte stream as the sequential stream XmlLite pulls from. A C++ exception from the
// byte stream is kept for the parse to rethrow: it must not unwind through XmlLite, and
// the stream simply ends there (a failed read leaves some XmlLite builds retrying).
// UTF-16 in big-endian order is handed over in little-endian order, which every XmlLite
// reads.
class StreamAdapter final : public IStream {
 public:
  StreamAdapter(ByteStream& input, const bool& stop) : input_(input), stop_(stop) {}

  std::exception_ptr Failure() const noexcept { return failure_; }
  // The start of the document, up to the first element.
  std::span<const std::byte> Prolog() const noexcept { return prolog_; }
  void EndProlog() noexcept {
    recording_ = false;
    prolog_.clear();
    prolog_.shrink_to_fit();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISequentialStream) ||
        IsEqualIID(riid, IID_IStream)) {
      *out = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // The adapter lives on the parse's stack and outlives the reader.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
    if (read != nullptr) *read = 0;
    if (failure_ || stop_) return S_FALSE;
    try {
      // Fill the request: a short answer tells XmlLite that the stream has ended.
      const std::span out(static_cast<std::byte*>(buffer), size);
      std::size_t n = 0;
      while (n < out.size()) {
        const std::size_t got = input_.Read(out.subspan(n));
        if (got == 0) break;
        n += got;
      }
      if (fed_ == 0 && n >= 2) {
        const auto* bytes = static_cast<const unsigned char*>(buffer);
        swap_ = (bytes[0] == 0xFE && bytes[1] == 0xFF) || (bytes[0] == 0 && bytes[1] == '<');
      }
      if (swap_) {
        for (std::size_t i = 0; i + 1 < n; i += 2) std::swap(out[i], out[i + 1]);
      }
      fed_ += n;
      if (recording_ && prolog_.size() < kMaxPrologBytes) {
        const std::size_t keep = std::min(n, kMaxPrologBytes - prolog_.size());
        prolog_.insert(prolog_.end(), out.begin(), out.begin() + static_cast<std::ptrdiff_t>(keep));
      }
      if (read != nullptr) *read = static_cast<ULONG>(n);
      return n < size ? S_FALSE : S_OK;
    } catch (...) {
      failure_ = std::current_exception();
      return S_FALSE;
    }
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                   ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

 private:
  ByteStream& input_;
  const bool& stop_;  // the parser's memory is spent: the stream ends here
  std::exception_ptr failure_;
  std::uint64_t fed_ = 0;
  bool swap_ = false;
  bool recording_ = true;
  std::vector<std::byte> prolog_;
};

// Appends a wide string from XmlLite to `out` as UTF-8.
void AppendUtf8(std::string& out, const wchar_t* text, UINT length) {
  out += Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

// A name as the handlers see it: its namespace URI and local part, owned here.
struct OwnedName {
  std::string ns;
  std::string local;
  XmlName View() const noexcept { return XmlName(ns, local); }
};

// The current node's name. A URI longer than the cap stands for a namespace that no
// handler asks for.
HRESULT ReadName(IXmlReader& reader, OwnedName& out) {
  out.ns.clear();
  out.local.clear();
  const wchar_t* uri = nullptr;
  UINT uri_length = 0;
  HRESULT hr = reader.GetNamespaceUri(&uri, &uri_length);
  if (FAILED(hr)) return hr;
  AppendUtf8(out.ns, uri, uri_length);
  if (out.ns.size() > XmlStreamParser::kMaxNamespaceBytes) out.ns = kOverlongUri;
  const wchar_t* local = nullptr;
  UINT local_length = 0;
  hr = reader.GetLocalName(&local, &local_length);
  if (FAILED(hr)) return hr;
  AppendUtf8(out.local, local, local_length);
  return S_OK;
}

// One start tag's attributes, storage reused from element to element; namespace
// declarations are counted apart, for the binding caps.
struct AttributeBuffer {
  std::vector<OwnedName> names;
  std::vector<std::string> values;
  std::vector<XmlAttribute> items;
  std::size_t used = 0;
  std::size_t declarations = 0;
  std::size_t declaration_bytes = 0;
  bool empty_prefix_uri = false;  // "xmlns:p=''", which XML namespaces do not allow

  std::span<const XmlAttribute> Items() {
    items.clear();
    for (std::size_t i = 0; i < used; ++i) {
      items.push_back({names[i].View(), values[i].c_str()});
    }
    return items;
  }
};

HRESULT ReadAttributes(IXmlReader& reader, AttributeBuffer& buffer) {
  buffer.used = 0;
  buffer.declarations = 0;
  buffer.declaration_bytes = 0;
  buffer.empty_prefix_uri = false;
  OwnedName name;
  std::string value;
  HRESULT hr = reader.MoveToFirstAttribute();
  while (hr == S_OK) {
    hr = ReadName(reader, name);
    if (FAILED(hr)) return hr;
    const wchar_t* text = nullptr;
    UINT text_length = 0;
    hr = reader.GetValue(&text, &text_length);
    if (FAILED(hr)) return hr;
    value.clear();
    AppendUtf8(value, text, text_length);
    if (name.ns == kXmlnsUri) {  // declarations are not attributes after namespace processing
      ++buffer.declarations;
      const bool default_namespace = name.local == "xmlns";
      buffer.declaration_bytes += (default_namespace ? 0 : name.local.size()) +
                                  std::min(value.size(), XmlStreamParser::kMaxNamespaceBytes);
      if (!default_namespace && value.empty()) buffer.empty_prefix_uri = true;
    } else {
      if (buffer.used == buffer.names.size()) {
        buffer.names.emplace_back();
        buffer.values.emplace_back();
      }
      std::swap(buffer.names[buffer.used], name);
      std::swap(buffer.values[buffer.used], value);
      ++buffer.used;
    }
    hr = reader.MoveToNextAttribute();
  }
  if (FAILED(hr)) return hr;
  return reader.MoveToElement();
}

// Charges what XmlLite allocates for one parser, as the expat backend's allocator does:
// the reader takes every block through this IMalloc (CreateXmlReader's third argument).
// Wine's reader does not survive a failed allocation, so a block beyond kMaxParserMemory
// is still given, and the parse is stopped instead: the stream ends for the reader at
// once, and the parse ends as damage at the memory cap. The overshoot is one block (the
// token filter keeps every block far below the cap). Every block carries its size.
struct Budget final : public IMalloc {
  std::size_t used = 0;
  std::size_t peak = 0;
  bool exceeded = false;

  struct alignas(std::max_align_t) Header {
    std::size_t size;
  };

  bool Charge(std::size_t size) noexcept {
    used += size;
    peak = std::max(peak, used);
    if (used > XmlStreamParser::kMaxParserMemory) exceeded = true;
    return true;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMalloc)) {
      *out = static_cast<IMalloc*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Owned by the backend, which releases the reader before it.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  void* STDMETHODCALLTYPE Alloc(SIZE_T size) override {
    if (!Charge(size)) return nullptr;
    auto* header = static_cast<Header*>(std::malloc(sizeof(Header) + size));
    if (header == nullptr) {
      used -= size;
      return nullptr;
    }
    header->size = size;
    return header + 1;
  }
  void* STDMETHODCALLTYPE Realloc(void* block, SIZE_T size) override {
    if (block == nullptr) return Alloc(size);
    if (size == 0) {
      Free(block);
      return nullptr;
    }
    Header* header = static_cast<Header*>(block) - 1;
    const std::size_t old_size = header->size;
    used -= old_size;
    if (!Charge(size)) {
      used += old_size;
      return nullptr;
    }
    auto* grown = static_cast<Header*>(std::realloc(header, sizeof(Header) + size));
    if (grown == nullptr) {
      used = used - size + old_size;
      return nullptr;
    }
    grown->size = size;
    return grown + 1;
  }
  void STDMETHODCALLTYPE Free(void* block) override {
    if (block == nullptr) return;
    Header* header = static_cast<Header*>(block) - 1;
    used -= header->size;
    std::free(header);
  }
  SIZE_T STDMETHODCALLTYPE GetSize(void* block) override {
    return block == nullptr ? static_cast<SIZE_T>(-1) : (static_cast<Header*>(block) - 1)->size;
  }
  int STDMETHODCALLTYPE DidAlloc(void* block) override { return block == nullptr ? -1 : 1; }
  void STDMETHODCALLTYPE HeapMinimize() override {}
};

}  // namespace

class XmlStreamParser::Backend {
 public:
  Backend(XmlHandler& handler, std::size_t handled_depth, Report& report);
  Backend(const Backend&) = delete;
  Backend& operator=(const Backend&) = delete;

  void SetHandledDepth(std::size_t depth) noexcept { handled_depth_ = depth; }
  XmlOutcome Parse(ByteStream& input);
  std::size_t PeakMemory() const noexcept { return budget_.peak; }

 private:
  class Document;

  XmlHandler& handler_;
  std::size_t handled_depth_;
  Report& report_;
  Budget budget_;  // declared first: the reader allocates through it until released
  Owned<IXmlReader> reader_;
};

// One document read node by node: start and end tags become handler calls, with the
// depth and namespace caps counted on the way. Each step returns nullopt to read on, or
// how the parse ends.
class XmlStreamParser::Backend::Document {
 public:
  Document(Backend& backend, StreamAdapter& stream, XmlTokenFilter& filter) noexcept
      : backend_(backend), reader_(*backend.reader_), stream_(stream), filter_(filter) {}
  XmlOutcome Read();

 private:
  std::optional<XmlOutcome> StartElement();
  std::optional<XmlOutcome> HandleStartTag();
  std::optional<XmlOutcome> EndElement();
  // The element at the current depth ends; false when the handler asks to stop.
  bool CloseElement();
  XmlOutcome Doctype();
  // The reader's input has ended: complete once the one root element was closed.
  XmlOutcome AtEnd();
  // The reader gave up or was stopped: which failure it was.
  XmlOutcome Failed();
  // Malformed by our own rules (a cap, an empty prefix URI) at the reader's line.
  XmlOutcome MalformedHere();

  // Namespace declarations made on one open handled element, counted against the same
  // caps as elsewhere.
  struct Declared {
    std::size_t count;
    std::size_t bytes;
  };

  Backend& backend_;
  IXmlReader& reader_;
  StreamAdapter& stream_;
  XmlTokenFilter& filter_;
  HRESULT hr_ = S_OK;  // the reader's last answer
  OwnedName name_;
  AttributeBuffer attributes_;
  std::size_t depth_ = 0;
  std::vector<Declared> declared_;
  std::size_t bindings_ = 0;
  std::size_t binding_bytes_ = 0;
  bool root_seen_ = false;
  bool root_ended_ = false;
};

XmlStreamParser::Backend::Backend(XmlHandler& handler, std::size_t handled_depth, Report& report)
    : handler_(handler), handled_depth_(handled_depth), report_(report) {
  const CreateXmlReaderFunction create = XmlReaderFactory();
  if (create == nullptr) {
    throw Error(ErrorNumber::kFileNotFound, u"找不到系统的 XML 组件 xmllite.dll");
  }
  IXmlReader* reader = nullptr;
  const HRESULT hr = create(kXmlReaderIid, reinterpret_cast<void**>(&reader), &budget_);
  if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
  if (FAILED(hr) || reader == nullptr) Raise(ErrorNumber::kCannotCreateObject);
  reader_.reset(reader);
  // A document type declaration ends the parse before anything of it is processed; its
  // name is then read from the prolog's bytes.
  reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
  reader->SetProperty(XmlReaderProperty_MaxEntityExpansion, 0);
  reader->SetProperty(XmlReaderProperty_MaxElementDepth, 0);  // counted here
}

XmlOutcome XmlStreamParser::Backend::Parse(ByteStream& input) {
  LegacyEncodingStream decoded(input);
  XmlTokenFilter filter(decoded, kMaxTokenBytes);
  StreamAdapter stream(filter, budget_.exceeded);
  if (FAILED(reader_->SetInput(static_cast<IStream*>(&stream)))) {
    Raise(ErrorNumber::kApplicationDefined);
  }
  // Detach the stream on every way out: the reader must not keep a pointer to it.
  struct Detach {
    IXmlReader& reader;
    ~Detach() { reader.SetInput(nullptr); }
  } detach{*reader_};
  return Document(*this, stream, filter).Read();
}

XmlOutcome XmlStreamParser::Backend::Document::Read() {
  for (;;) {
    XmlNodeType type = XmlNodeType_None;
    hr_ = reader_.Read(&type);
    if (backend_.budget_.exceeded) return Failed();
    if (hr_ == S_FALSE) return AtEnd();
    if (hr_ != S_OK) return Failed();
    if (depth_ == 0 && (type == XmlNodeType_Text || type == XmlNodeType_CDATA ||
                        (type == XmlNodeType_Element && root_ended_))) {
      return Failed();  // text, or a second root, outside the root element
    }
    std::optional<XmlOutcome> end;
    switch (type) {
      case XmlNodeType_DocumentType:
        return Doctype();
      case XmlNodeType_Element:
        end = StartElement();
        break;
      case XmlNodeType_EndElement:
        end = EndElement();
        break;
      default:
        break;
    }
    if (end) return *end;
  }
}

std::optional<XmlOutcome> XmlStreamParser::Backend::Document::StartElement() {
  if (!root_seen_) {
    root_seen_ = true;
    stream_.EndProlog();
  }
  if (++depth_ > kMaxDepth) {
    backend_.report_.cap_exceeded = FailureKind::kXmlNestingTooDeep;
    return MalformedHere();
  }
  const bool empty = reader_.IsEmptyElement() != FALSE;  // before moving to the attributes
  if (depth_ <= backend_.handled_depth_) {
    if (std::optional<XmlOutcome> end = HandleStartTag()) return end;
  }
  // An empty element has no end tag of its own.
  if (empty && !CloseElement()) return XmlOutcome::kStopped;
  return std::nullopt;
}

// A start tag the handler sees: its name and attributes read, its namespace
// declarations counted.
std::optional<XmlOutcome> XmlStreamParser::Backend::Document::HandleStartTag() {
  hr_ = ReadName(reader_, name_);
  if (FAILED(hr_)) return Failed();
  hr_ = ReadAttributes(reader_, attributes_);
  if (FAILED(hr_)) return Failed();
  bindings_ += attributes_.declarations;
  binding_bytes_ += attributes_.declaration_bytes;
  declared_.push_back({attributes_.declarations, attributes_.declaration_bytes});
  if (attributes_.empty_prefix_uri) return MalformedHere();
  if (bindings_ > kMaxBindings || binding_bytes_ > kMaxBindingBytes) {
    backend_.report_.cap_exceeded = FailureKind::kXmlNamespaceDeclarationsExceeded;
    return MalformedHere();
  }
  if (!backend_.handler_.StartElement(name_.View(), XmlAttributes(attributes_.Items()), depth_)) {
    return XmlOutcome::kStopped;
  }
  return std::nullopt;
}

std::optional<XmlOutcome> XmlStreamParser::Backend::Document::EndElement() {
  if (depth_ <= backend_.handled_depth_) {
    hr_ = ReadName(reader_, name_);
    if (FAILED(hr_)) return Failed();
  }
  if (!CloseElement()) return XmlOutcome::kStopped;
  return std::nullopt;
}

bool XmlStreamParser::Backend::Document::CloseElement() {
  bool go_on = true;
  if (depth_ <= backend_.handled_depth_ && !declared_.empty()) {
    go_on = backend_.handler_.EndElement(name_.View(), depth_);
    bindings_ -= declared_.back().count;
    binding_bytes_ -= declared_.back().bytes;
    declared_.pop_back();
  }
  if (--depth_ == 0) root_ended_ = true;
  return go_on;
}

XmlOutcome XmlStreamParser::Backend::Document::Doctype() {
  std::string& doctype = backend_.report_.doctype;
  doctype.clear();
  const wchar_t* text = nullptr;
  UINT length = 0;
  if (SUCCEEDED(reader_.GetQualifiedName(&text, &length))) AppendUtf8(doctype, text, length);
  return XmlOutcome::kDoctype;
}

XmlOutcome XmlStreamParser::Backend::Document::AtEnd() {
  if (!root_ended_ || filter_.TokenTooLong() || filter_.EndedEarly() || stream_.Failure()) {
    return Failed();
  }
  return XmlOutcome::kComplete;
}

XmlOutcome XmlStreamParser::Backend::Document::Failed() {
  if (stream_.Failure()) std::rethrow_exception(stream_.Failure());
  if (backend_.budget_.exceeded) RaiseFailure(FailureKind::kXmlParserMemoryExceeded);
  if (hr_ == E_OUTOFMEMORY) throw std::bad_alloc();
  Report& report = backend_.report_;
  // The reader names no document type it refuses: the prolog's bytes do.
  if (!root_seen_ && !filter_.TokenTooLong()) {
    if (std::optional<std::string> doctype = FindDoctypeName(stream_.Prolog())) {
      report.doctype = std::move(*doctype);
      return XmlOutcome::kDoctype;
    }
  }
  if (filter_.TokenTooLong()) report.cap_exceeded = FailureKind::kXmlTokenTooLong;
  if (filter_.TokenTooLong() || filter_.EndedEarly()) {
    report.error_line = filter_.ProblemLine();
    return XmlOutcome::kMalformed;
  }
  return MalformedHere();
}

XmlOutcome XmlStreamParser::Backend::Document::MalformedHere() {
  UINT line = 0;
  reader_.GetLineNumber(&line);
  backend_.report_.error_line = line;
  return XmlOutcome::kMalformed;
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
