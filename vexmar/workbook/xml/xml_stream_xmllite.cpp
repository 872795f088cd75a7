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
#include <exception>
#include <optional>
#include <memory>
#include <new>
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
  StreamAdapter(ByteStream& input, std::uint64_t& fed) : input_(input), fed_(fed) {}

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
    if (failure_) return S_FALSE;
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
  std::uint64_t& fed_;
  std::exception_ptr failure_;
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

IXmlReader* Reader(void* parser) noexcept { return static_cast<IXmlReader*>(parser); }

}  // namespace

// XmlLite allocates on its own; nothing is charged here.
struct XmlStreamParser::Budget {
  std::size_t peak = 0;
};

std::size_t XmlStreamParser::PeakMemory() const noexcept { return budget_->peak; }

XmlStreamParser::XmlStreamParser(XmlHandler& handler, std::size_t handled_depth)
    : handler_(handler),
      handled_depth_(handled_depth),
      budget_(std::make_unique<Budget>()),
      parser_(nullptr) {
  const CreateXmlReaderFunction create = XmlReaderFactory();
  if (create == nullptr) {
    throw Error(ErrorNumber::kFileNotFound, u"找不到系统的 XML 组件 xmllite.dll");
  }
  IXmlReader* reader = nullptr;
  const HRESULT hr = create(kXmlReaderIid, reinterpret_cast<void**>(&reader), nullptr);
  if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
  if (FAILED(hr) || reader == nullptr) Raise(ErrorNumber::kCannotCreateObject);
  parser_ = reader;
  // A document type declaration ends the parse before anything of it is processed; its
  // name is then read from the prolog's bytes.
  reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
  reader->SetProperty(XmlReaderProperty_MaxEntityExpansion, 0);
  reader->SetProperty(XmlReaderProperty_MaxElementDepth, 0);  // counted here
}

XmlStreamParser::~XmlStreamParser() {
  if (parser_ != nullptr) Reader(parser_)->Release();
}

XmlOutcome XmlStreamParser::Parse(ByteStream& input) {
  IXmlReader& reader = *Reader(parser_);
  LegacyEncodingStream decoded(input);
  XmlTokenFilter filter(decoded, kMaxTokenBytes);
  StreamAdapter stream(filter, fed_);
  HRESULT hr = reader.SetInput(static_cast<IStream*>(&stream));
  if (FAILED(hr)) Raise(ErrorNumber::kApplicationDefined);
  // Detach the stream on every way out: the reader must not keep a pointer to it.
  struct Detach {
    IXmlReader& reader;
    ~Detach() { reader.SetInput(nullptr); }
  } detach{reader};

  OwnedName name;
  AttributeBuffer attributes;
  // Namespace declarations in scope on handled elements, counted against the same caps
  // as elsewhere: per element, how many and how many bytes.
  std::vector<std::size_t> declared_bytes;
  std::size_t bindings = 0;
  bool root_seen = false;
  bool root_ended = false;
  const auto fail = [&]() -> XmlOutcome {
    if (stream.Failure()) std::rethrow_exception(stream.Failure());
    if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
    if (!root_seen && !filter.TokenTooLong()) {
      if (std::optional<std::string> doctype = FindDoctypeName(stream.Prolog())) {
        doctype_ = std::move(*doctype);
        refused_ = true;
        return XmlOutcome::kDoctype;
      }
    }
    if (filter.TokenTooLong() || filter.EndedEarly()) {
      error_line_ = filter.ProblemLine();
      return XmlOutcome::kMalformed;
    }
    UINT line = 0;
    reader.GetLineNumber(&line);
    error_line_ = line;
    return XmlOutcome::kMalformed;
  };
  const auto end_element = [&]() -> bool {
    bool go_on = true;
    if (depth_ <= handled_depth_ && !bound_per_element_.empty()) {
      go_on = handler_.EndElement(name.View(), depth_);
      bindings -= bound_per_element_.back();
      binding_bytes_ -= declared_bytes.back();
      bound_per_element_.pop_back();
      declared_bytes.pop_back();
    }
    if (--depth_ == 0) root_ended = true;
    return go_on;
  };
  const auto malformed_here = [&]() -> XmlOutcome {
    malformed_ = true;
    UINT line = 0;
    reader.GetLineNumber(&line);
    error_line_ = line;
    return XmlOutcome::kMalformed;
  };

  for (;;) {
    XmlNodeType type = XmlNodeType_None;
    hr = reader.Read(&type);
    if (hr == S_FALSE) {
      // A document needs its one root element, closed.
      if (!root_ended || filter.TokenTooLong() || filter.EndedEarly() || stream.Failure()) {
        return fail();
      }
      return XmlOutcome::kComplete;
    }
    if (hr != S_OK) return fail();
    last_event_ = fed_;
    if (depth_ == 0 && (type == XmlNodeType_Text || type == XmlNodeType_CDATA ||
                        (type == XmlNodeType_Element && root_ended))) {
      return fail();  // text, or a second root, outside the root element
    }
    switch (type) {
      case XmlNodeType_DocumentType: {
        const wchar_t* text = nullptr;
        UINT length = 0;
        doctype_.clear();
        if (SUCCEEDED(reader.GetQualifiedName(&text, &length))) AppendUtf8(doctype_, text, length);
        refused_ = true;
        return XmlOutcome::kDoctype;
      }
      case XmlNodeType_Element: {
        if (!root_seen) {
          root_seen = true;
          stream.EndProlog();
        }
        if (++depth_ > kMaxDepth) {
          too_deep_ = true;
          return malformed_here();
        }
        const bool empty = reader.IsEmptyElement() != FALSE;
        if (depth_ <= handled_depth_) {
          hr = ReadName(reader, name);
          if (FAILED(hr)) return fail();
          hr = ReadAttributes(reader, attributes);
          if (FAILED(hr)) return fail();
          bindings += attributes.declarations;
          binding_bytes_ += attributes.declaration_bytes;
          bound_per_element_.push_back(static_cast<std::uint32_t>(attributes.declarations));
          declared_bytes.push_back(attributes.declaration_bytes);
          if (attributes.empty_prefix_uri || bindings > kMaxBindings ||
              binding_bytes_ > kMaxBindingBytes) {
            return malformed_here();
          }
          if (!handler_.StartElement(name.View(), XmlAttributes(attributes.Items()), depth_)) {
            stopped_ = true;
            return XmlOutcome::kStopped;
          }
        }
        if (empty) {  // no end tag of its own follows
          if (!end_element()) {
            stopped_ = true;
            return XmlOutcome::kStopped;
          }
        }
        break;
      }
      case XmlNodeType_EndElement:
        if (depth_ <= handled_depth_) {
          hr = ReadName(reader, name);
          if (FAILED(hr)) return fail();
        }
        if (!end_element()) {
          stopped_ = true;
          return XmlOutcome::kStopped;
        }
        break;
      default:
        break;
    }
  }
}

}  // namespace vexmar::workbook
