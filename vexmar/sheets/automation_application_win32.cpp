// The spreadsheet application on Windows, reached by automation: "Excel" and
// "Excel.Application" are created by their programmatic identifiers and driven late
// bound through IDispatch, so no header or library of the application is needed.
// Open and Close are called with the locale 1033; the application is only released,
// never told to quit.
#include <windows.h>  // first: the other platform headers rely on its types

#include <ole2.h>
#include <oleauto.h>

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "vexmar/component/error.hpp"
#include "vexmar/sheets/automation_application_win32.hpp"

namespace vexmar {
namespace {

// The application's _Application interface, asked for on the new object.
constexpr IID kApplicationIid = {
    0x000208D5, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

std::wstring ToWide(std::u16string_view text) {
  std::wstring out(text.size(), L'\0');
  for (std::size_t i = 0; i < text.size(); ++i) out[i] = static_cast<wchar_t>(text[i]);
  return out;
}

std::u16string FromWide(const wchar_t* text, std::size_t length) {
  std::u16string out(length, u'\0');
  for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<char16_t>(text[i]);
  return out;
}

// An owned interface pointer.
template <typename T>
struct Releaser {
  void operator()(T* p) const noexcept { p->Release(); }
};
template <typename T>
using Interface = std::unique_ptr<T, Releaser<T>>;

// An owned Variant.
class Value {
 public:
  Value() noexcept { VariantInit(&v_); }
  ~Value() { VariantClear(&v_); }
  Value(Value&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  VARIANT* get() noexcept { return &v_; }
  const VARIANT& operator*() const noexcept { return v_; }

 private:
  VARIANT v_;
};

// The system's text for a status, or the status in hexadecimal.
std::u16string DescribeStatus(HRESULT status) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string description;
  if (length > 0 && text != nullptr) {
    description = FromWide(text, length);
    while (!description.empty() && (description.back() == u'\r' || description.back() == u'\n' ||
                                    description.back() == u' ')) {
      description.pop_back();
    }
  }
  LocalFree(text);
  if (description.empty()) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(status));
    description = u"自动化错误 ";
    for (const char* c = hex; *c != '\0'; ++c) description.push_back(static_cast<char16_t>(*c));
  }
  return description;
}

// The error a failed automation call stands for, numbered as an Automation caller
// sees it: the application's own number and description when it raised one.
[[noreturn]] void RaiseStatus(HRESULT status, EXCEPINFO* info) {
  std::u16string description;
  std::int32_t number = 0;
  if (status == DISP_E_EXCEPTION && info != nullptr) {
    if (info->pfnDeferredFillIn != nullptr) info->pfnDeferredFillIn(info);
    if (info->bstrDescription != nullptr) {
      description = FromWide(info->bstrDescription, SysStringLen(info->bstrDescription));
    }
    status = info->scode != 0 ? info->scode : status;
    if (info->wCode != 0) number = info->wCode;
    SysFreeString(info->bstrSource);
    SysFreeString(info->bstrDescription);
    SysFreeString(info->bstrHelpFile);
    *info = EXCEPINFO{};
  }
  if (number == 0) {
    const auto code = static_cast<std::uint32_t>(status);
    if ((code & 0xFFFF0000u) == 0x800A0000u) {
      number = static_cast<std::int32_t>(code & 0xFFFFu);
    } else {
      switch (status) {
        case DISP_E_MEMBERNOTFOUND:
        case DISP_E_UNKNOWNNAME:
          number = static_cast<std::int32_t>(ErrorNumber::kObjectDoesNotSupport);
          break;
        case DISP_E_TYPEMISMATCH:
          number = static_cast<std::int32_t>(ErrorNumber::kTypeMismatch);
          break;
        case DISP_E_BADPARAMCOUNT:
          number = static_cast<std::int32_t>(ErrorNumber::kWrongArgumentCount);
          break;
        case DISP_E_OVERFLOW:
          number = static_cast<std::int32_t>(ErrorNumber::kOverflow);
          break;
        case E_OUTOFMEMORY:
          number = static_cast<std::int32_t>(ErrorNumber::kOutOfMemory);
          break;
        default:
          number = static_cast<std::int32_t>(status);  // as Err.Number shows a status
          break;
      }
    }
  }
  if (description.empty()) {
    description = number == static_cast<std::int32_t>(status) ? DescribeStatus(status)
                                                              : DefaultDescription(number);
  }
  throw Error(number, std::move(description));
}

// One late-bound call: the member looked up by name, then invoked.
Value CallMember(IDispatch* object, const wchar_t* name, WORD flags,
                 std::initializer_list<const VARIANT*> arguments, LCID locale) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, locale, &id);
  if (FAILED(hr)) RaiseStatus(hr, nullptr);

  // Arguments go last first.
  std::vector<VARIANT> args(arguments.size());
  std::size_t k = arguments.size();
  for (const VARIANT* argument : arguments) args[--k] = *argument;
  DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
  Value result;
  EXCEPINFO info{};
  UINT arg_error = 0;
  hr = object->Invoke(id, IID_NULL, locale, flags, &params, result.get(), &info, &arg_error);
  if (FAILED(hr)) RaiseStatus(hr, &info);
  return result;
}

Value Read(IDispatch* object, const wchar_t* name) {
  return CallMember(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, LOCALE_USER_DEFAULT);
}

// The object a call gave; nullptr for Nothing or Empty.
Interface<IDispatch> ObjectOf(const Value& value) {
  const VARIANT& v = *value;
  IUnknown* unknown = nullptr;
  if (V_VT(&v) == VT_DISPATCH) {
    unknown = V_DISPATCH(&v);
  } else if (V_VT(&v) == VT_UNKNOWN) {
    unknown = V_UNKNOWN(&v);
  } else if (V_VT(&v) == VT_EMPTY || V_VT(&v) == VT_NULL) {
    return nullptr;
  } else {
    Raise(ErrorNumber::kTypeMismatch);
  }
  if (unknown == nullptr) return nullptr;
  IDispatch* dispatch = nullptr;
  const HRESULT hr = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
  if (FAILED(hr) || dispatch == nullptr) Raise(ErrorNumber::kTypeMismatch);
  return Interface<IDispatch>(dispatch);
}

Interface<IDispatch> RequiredObject(const Value& value) {
  Interface<IDispatch> object = ObjectOf(value);
  if (!object) Raise(ErrorNumber::kApplicationDefined, u"对象变量未设置");
  return object;
}

// For Each over a collection: its _NewEnum, one item after the other.
template <typename Item, typename Make>
class AutomationEnumerator final : public SpreadsheetEnumerator<Item> {
 public:
  AutomationEnumerator(IDispatch* collection, Make make) : make_(std::move(make)) {
    Value value;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXCEPINFO info{};
    const HRESULT hr = collection->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                                          DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none,
                                          value.get(), &info, nullptr);
    if (FAILED(hr)) RaiseStatus(hr, &info);
    const VARIANT& v = *value;
    IUnknown* unknown = V_VT(&v) == VT_UNKNOWN    ? V_UNKNOWN(&v)
                        : V_VT(&v) == VT_DISPATCH ? V_DISPATCH(&v)
                                                  : nullptr;
    IEnumVARIANT* items = nullptr;
    if (unknown == nullptr ||
        FAILED(unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&items))) ||
        items == nullptr) {
      Raise(ErrorNumber::kObjectDoesNotSupport);
    }
    items_.reset(items);
  }

  std::shared_ptr<Item> Next() override {
    Value item;
    ULONG fetched = 0;
    const HRESULT hr = items_->Next(1, item.get(), &fetched);
    if (FAILED(hr)) RaiseStatus(hr, nullptr);
    if (hr != S_OK || fetched == 0) return nullptr;
    return make_(RequiredObject(item));
  }

 private:
  Make make_;
  Interface<IEnumVARIANT> items_;
};

template <typename Item, typename Make>
std::unique_ptr<SpreadsheetEnumerator<Item>> Enumerate(IDispatch* collection, Make make) {
  return std::make_unique<AutomationEnumerator<Item, Make>>(collection, std::move(make));
}

class AutomationWorksheet final : public SpreadsheetWorksheet {
 public:
  explicit AutomationWorksheet(Interface<IDispatch> sheet) : sheet_(std::move(sheet)) {}
  std::u16string Name() override {
    Value name = Read(sheet_.get(), L"Name");
    Value text;
    const HRESULT hr = VariantChangeType(text.get(), name.get(), 0, VT_BSTR);
    if (FAILED(hr)) RaiseStatus(hr, nullptr);
    return FromWide(V_BSTR(text.get()), SysStringLen(V_BSTR(text.get())));
  }

 private:
  Interface<IDispatch> sheet_;
};

class AutomationSheets final : public SpreadsheetSheets {
 public:
  explicit AutomationSheets(Interface<IDispatch> sheets) : sheets_(std::move(sheets)) {}
  std::int32_t Count() override {
    Value count = Read(sheets_.get(), L"Count");
    Value number;
    const HRESULT hr = VariantChangeType(number.get(), count.get(), 0, VT_I4);
    if (FAILED(hr)) RaiseStatus(hr, nullptr);
    return V_I4(number.get());
  }
  std::unique_ptr<SpreadsheetEnumerator<SpreadsheetWorksheet>> NewEnum() override {
    return Enumerate<SpreadsheetWorksheet>(sheets_.get(), [](Interface<IDispatch> sheet) {
      return std::make_shared<AutomationWorksheet>(std::move(sheet));
    });
  }

 private:
  Interface<IDispatch> sheets_;
};

class AutomationWorkbook final : public SpreadsheetWorkbook {
 public:
  explicit AutomationWorkbook(Interface<IDispatch> workbook) : workbook_(std::move(workbook)) {}
  std::shared_ptr<SpreadsheetSheets> Worksheets() override {
    return std::make_shared<AutomationSheets>(RequiredObject(Read(workbook_.get(), L"Worksheets")));
  }
  void Close(bool SaveChanges, std::uint32_t locale) override {
    VARIANT save;
    VariantInit(&save);
    V_VT(&save) = VT_BOOL;
    V_BOOL(&save) = SaveChanges ? VARIANT_TRUE : VARIANT_FALSE;
    CallMember(workbook_.get(), L"Close", DISPATCH_METHOD, {&save}, locale);
  }

 private:
  Interface<IDispatch> workbook_;
};

class AutomationWorkbooks final : public SpreadsheetWorkbooks {
 public:
  explicit AutomationWorkbooks(Interface<IDispatch> workbooks) : workbooks_(std::move(workbooks)) {}
  std::shared_ptr<SpreadsheetWorkbook> Open(const std::u16string& Filename,
                                            std::uint32_t locale) override {
    const std::wstring wide = ToWide(Filename);
    VARIANT name;
    VariantInit(&name);
    V_VT(&name) = VT_BSTR;
    V_BSTR(&name) = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (V_BSTR(&name) == nullptr) Raise(ErrorNumber::kOutOfMemory);
    Value name_owner;
    *name_owner.get() = name;
    Interface<IDispatch> workbook = ObjectOf(
        CallMember(workbooks_.get(), L"Open", DISPATCH_METHOD, {name_owner.get()}, locale));
    if (!workbook) return nullptr;
    return std::make_shared<AutomationWorkbook>(std::move(workbook));
  }
  std::unique_ptr<SpreadsheetEnumerator<SpreadsheetWorkbook>> NewEnum() override {
    return Enumerate<SpreadsheetWorkbook>(workbooks_.get(), [](Interface<IDispatch> workbook) {
      return std::make_shared<AutomationWorkbook>(std::move(workbook));
    });
  }

 private:
  Interface<IDispatch> workbooks_;
};

class AutomationApplication final : public SpreadsheetApplication {
 public:
  explicit AutomationApplication(Interface<IDispatch> application)
      : application_(std::move(application)) {}
  std::shared_ptr<SpreadsheetWorkbooks> Workbooks() override {
    return std::make_shared<AutomationWorkbooks>(
        RequiredObject(Read(application_.get(), L"Workbooks")));
  }

 private:
  Interface<IDispatch> application_;
};

// A new object of the class, asked for the application interface.
std::shared_ptr<SpreadsheetApplication> CreateByProgId(const wchar_t* prog_id) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(prog_id, &clsid);
  if (FAILED(hr)) Raise(ErrorNumber::kCannotCreateObject);
  IUnknown* unknown = nullptr;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IUnknown,
                        reinterpret_cast<void**>(&unknown));
  if (FAILED(hr) || unknown == nullptr) Raise(ErrorNumber::kCannotCreateObject);
  Interface<IUnknown> object(unknown);
  IDispatch* application = nullptr;
  hr = object->QueryInterface(kApplicationIid, reinterpret_cast<void**>(&application));
  if (FAILED(hr) || application == nullptr) Raise(ErrorNumber::kTypeMismatch);
  return std::make_shared<AutomationApplication>(Interface<IDispatch>(application));
}

}  // namespace

std::shared_ptr<SpreadsheetApplication> NewAutomationSpreadsheetApplication(const wchar_t* prog_id) {
  return CreateByProgId(prog_id);
}

}  // namespace vexmar
