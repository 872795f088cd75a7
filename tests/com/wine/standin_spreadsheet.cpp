// A stand-in spreadsheet application for the tests: an in-process automation server
// registered as "Excel.Application" in the test's Wine prefix only. It answers the few
// members the worksheet check uses as support/standin_spreadsheet.hpp says, and records
// what is done to it, so a script can check that every workbook was closed without
// saving and that the application was released without being told to quit.
//
// A workbook file is UTF-8 text describing the workbook (standin::DescribedWorkbook);
// any other file is refused as unreadable.
//
// Control members on the application (for the test script's own instance): StandInReset,
// StandInLog (events joined by "|"), StandInRefuse (this many coming creations fail),
// StandInPreopen (new applications start with a workbook open), StandInOpenWorkbooks.
#include <memory>
#include <string>
#include <vector>

#include "script_object.hpp"
#include "support/standin_spreadsheet.hpp"

namespace vexmar::wine_tests {
namespace {

constexpr CLSID kStandInClsid = {
    0x684A4C40, 0xD29B, 0x4462, {0xB5, 0xA6, 0x76, 0x77, 0x45, 0xB5, 0x17, 0xC1}};
constexpr wchar_t kStandInClsidText[] = L"{684A4C40-D29B-4462-B5A6-767745B517C1}";
constexpr wchar_t kProgId[] = L"Excel.Application";

// The interfaces the worksheet check may ask for by their published ids.
constexpr IID kApplicationIid = {0x000208D5, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID kWorkbooksIid = {0x000208DB, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID kWorkbookIid = {0x000208DA, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID kSheetsIid = {0x000208D7, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID kWorksheetIid = {0x000208D8, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};

// What the test script inspects. The tests run on one thread.
struct State {
  std::wstring log;
  standin::Creations creations;
  bool preopen = false;
  long open_workbooks = 0;
  long next_application = 1;
};
State g_state;

void Log(const std::wstring& event) {
  if (!g_state.log.empty()) g_state.log += L"|";
  g_state.log += event;
}

[[noreturn]] void Fail(long number, const std::wstring& text) {
  throw ScriptError{static_cast<HRESULT>(0x800A0000u | static_cast<unsigned long>(number)), text};
}

// wchar_t is 16 bits here: the shared behaviour's text converts unit for unit.
std::wstring Wide(std::u16string_view text) { return {text.begin(), text.end()}; }
std::u16string Utf16(const std::wstring& text) { return {text.begin(), text.end()}; }

// The objects count themselves, so DllCanUnloadNow can answer.
class Counted {
 public:
  Counted() { ++g_objects; }
  ~Counted() { --g_objects; }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;
};

// A snapshot enumeration, as the application's own For Each behaves.
class Enumerator final : public IEnumVARIANT {
 public:
  explicit Enumerator(std::vector<IDispatch*> items) : items_(std::move(items)) {
    for (IDispatch* item : items_) item->AddRef();
  }
  virtual ~Enumerator() {
    for (IDispatch* item : items_) item->Release();
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumVARIANT)) {
      *object = static_cast<IEnumVARIANT*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG wanted, VARIANT* out, ULONG* fetched) override {
    ULONG got = 0;
    while (got < wanted && next_ < items_.size()) {
      items_[next_]->AddRef();
      VariantInit(&out[got]);
      SetObject(&out[got], items_[next_]);
      ++next_;
      ++got;
    }
    if (fetched != nullptr) *fetched = got;
    return got == wanted ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    next_ += count;
    return next_ <= items_.size() ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT**) override { return E_NOTIMPL; }

 private:
  Counted counted_;
  std::atomic<ULONG> refs_{1};
  std::vector<IDispatch*> items_;
  std::size_t next_ = 0;
};

void SetEnumerator(VARIANT* out, std::vector<IDispatch*> items) {
  V_VT(out) = VT_UNKNOWN;
  V_UNKNOWN(out) = new Enumerator(std::move(items));
}

bool IsMissing(const VARIANT& v) {
  return V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND;
}

// ---- Worksheet, Sheets ----

class Worksheet final : public ScriptObject {
 public:
  explicit Worksheet(std::wstring name)
      : ScriptObject({kWorksheetIid}, {{L"Name", 1}}), name_(std::move(name)) {}

 protected:
  HRESULT Call(DISPID id, WORD, LCID, std::vector<VARIANT>&, VARIANT* result) override {
    if (id != 1) return DISP_E_MEMBERNOTFOUND;
    if (Utf16(name_) == standin::kUnreadableName) {
      Fail(standin::kApplicationFailure, L"工作表名称无法读取");
    }
    SetText(result, name_);
    return S_OK;
  }

 private:
  Counted counted_;
  std::wstring name_;
};

class Sheets final : public ScriptObject {
 public:
  explicit Sheets(const std::vector<std::wstring>& names)
      : ScriptObject({kSheetsIid}, {{L"Count", 1}, {L"Item", 0}, {L"_NewEnum", DISPID_NEWENUM}}) {
    for (const std::wstring& name : names) sheets_.push_back(new Worksheet(name));
  }
  ~Sheets() override {
    for (IDispatch* sheet : sheets_) sheet->Release();
  }

 protected:
  HRESULT Call(DISPID id, WORD, LCID, std::vector<VARIANT>& args, VARIANT* result) override {
    switch (id) {
      case 1:
        SetNumber(result, static_cast<LONG>(sheets_.size()));
        return S_OK;
      case 0: {
        VARIANT index;
        VariantInit(&index);
        if (args.size() != 1 || FAILED(VariantChangeType(&index, &args[0], 0, VT_I4)) ||
            V_I4(&index) < 1 || static_cast<std::size_t>(V_I4(&index)) > sheets_.size()) {
          Fail(standin::kSubscriptOutOfRange, L"下标越界");
        }
        IDispatch* sheet = sheets_[static_cast<std::size_t>(V_I4(&index)) - 1];
        sheet->AddRef();
        SetObject(result, sheet);
        return S_OK;
      }
      case DISPID_NEWENUM:
        SetEnumerator(result, sheets_);
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  Counted counted_;
  std::vector<IDispatch*> sheets_;
};

// ---- Workbook, Workbooks ----

struct ApplicationData;

class Workbook final : public ScriptObject {
 public:
  Workbook(std::shared_ptr<ApplicationData> application, std::wstring name,
           std::vector<std::wstring> sheet_names)
      : ScriptObject({kWorkbookIid},
                     {{L"Name", 1}, {L"Worksheets", 2}, {L"Sheets", 2}, {L"Close", 3}}),
        application_(std::move(application)),
        name_(std::move(name)),
        sheet_names_(std::move(sheet_names)) {}

 protected:
  HRESULT Call(DISPID id, WORD, LCID locale, std::vector<VARIANT>& args, VARIANT* result) override;

 private:
  Counted counted_;
  std::shared_ptr<ApplicationData> application_;
  std::wstring name_;
  std::vector<std::wstring> sheet_names_;
};

// An application's open workbooks; the collection objects share it.
struct ApplicationData {
  long serial = 0;
  std::vector<IDispatch*> open;  // one reference each
  ~ApplicationData() {
    for (IDispatch* book : open) book->Release();
  }
};

void RemoveOpen(ApplicationData& application, IDispatch* book) {
  for (auto it = application.open.begin(); it != application.open.end(); ++it) {
    if (*it == book) {
      application.open.erase(it);
      --g_state.open_workbooks;
      book->Release();
      return;
    }
  }
}

HRESULT Workbook::Call(DISPID id, WORD, LCID locale, std::vector<VARIANT>& args, VARIANT* result) {
  switch (id) {
    case 1:
      SetText(result, name_);
      return S_OK;
    case 2:
      SetObject(result, new Sheets(sheet_names_));
      return S_OK;
    case 3: {
      std::wstring save = L"missing";
      if (!args.empty() && !IsMissing(args[0])) {
        VARIANT flag;
        VariantInit(&flag);
        VariantChangeType(&flag, &args[0], 0, VT_BOOL);
        save = V_BOOL(&flag) ? L"True" : L"False";
      }
      if (args.size() > 1) save += L" more-arguments";
      Log(L"close " + name_ + L" save=" + save + L" lcid=" + std::to_wstring(locale));
      RemoveOpen(*application_, this);
      return S_OK;
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

std::vector<std::u16string> ReadLines(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(65536, '\0');
  DWORD got = 0;
  const BOOL ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(file);
  if (!ok) return {};
  bytes.resize(got);
  std::wstring text(bytes.size(), L'\0');
  const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                    text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (!line.empty()) lines.push_back(Utf16(line));
    start = end + 1;
  }
  return lines;
}

std::wstring BaseName(const std::wstring& path) {
  const std::size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

class Workbooks final : public ScriptObject {
 public:
  explicit Workbooks(std::shared_ptr<ApplicationData> application)
      : ScriptObject({kWorkbooksIid}, {{L"Open", 1}, {L"Count", 2}, {L"_NewEnum", DISPID_NEWENUM}}),
        application_(std::move(application)) {}

 protected:
  HRESULT Call(DISPID id, WORD, LCID locale, std::vector<VARIANT>& args, VARIANT* result) override {
    switch (id) {
      case 1:
        return Open(locale, args, result);
      case 2:
        SetNumber(result, static_cast<LONG>(application_->open.size()));
        return S_OK;
      case DISPID_NEWENUM:
        SetEnumerator(result, application_->open);
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  HRESULT Open(LCID locale, std::vector<VARIANT>& args, VARIANT* result) {
    if (args.empty() || V_VT(&args[0]) != VT_BSTR) return DISP_E_TYPEMISMATCH;
    const std::wstring path(V_BSTR(&args[0]), SysStringLen(V_BSTR(&args[0])));
    std::wstring event = L"open " + path + L" lcid=" + std::to_wstring(locale);
    if (args.size() > 1) event += L" more-arguments";
    const std::vector<std::u16string> lines = ReadLines(path);
    if (lines.empty()) {
      Log(event + L" unreadable");
      Fail(standin::kApplicationFailure, L"无法读取文件 " + path);
    }
    const auto workbook = standin::DescribedWorkbook(lines);
    if (!workbook) {
      Log(event + L" unreadable");
      Fail(standin::kApplicationFailure, L"文件格式无效 " + path);
    }
    switch (workbook->open) {
      case standin::OpenResult::kNoWorkbook:
        Log(event + L" nothing");
        SetObject(result, nullptr);
        return S_OK;
      case standin::OpenResult::kRaises:
        Log(event + L" refused");
        Fail(standin::kApplicationFailure, Wide(workbook->refusal));
      case standin::OpenResult::kWorkbook:
        break;
    }
    Log(event);
    std::vector<std::wstring> sheets;
    for (const std::u16string& sheet : workbook->sheets) sheets.push_back(Wide(sheet));
    auto* book = new Workbook(application_, BaseName(path), std::move(sheets));
    book->AddRef();
    application_->open.push_back(book);
    ++g_state.open_workbooks;
    SetObject(result, book);
    return S_OK;
  }

  Counted counted_;
  std::shared_ptr<ApplicationData> application_;
};

// ---- Application ----

enum ApplicationMember : DISPID {
  kWorkbooks = 1,
  kQuit,
  kVisible,
  kDisplayAlerts,
  kReset,
  kLog,
  kRefuse,
  kPreopen,
  kOpenWorkbooks,
};

class Application final : public ScriptObject {
 public:
  Application()
      : ScriptObject({kApplicationIid}, {{L"Workbooks", kWorkbooks},
                                         {L"Quit", kQuit},
                                         {L"Visible", kVisible},
                                         {L"DisplayAlerts", kDisplayAlerts},
                                         {L"StandInReset", kReset},
                                         {L"StandInLog", kLog},
                                         {L"StandInRefuse", kRefuse},
                                         {L"StandInPreopen", kPreopen},
                                         {L"StandInOpenWorkbooks", kOpenWorkbooks}}),
        data_(std::make_shared<ApplicationData>()) {
    data_->serial = g_state.next_application++;
    if (g_state.preopen) {
      IDispatch* book = new Workbook(data_, Wide(standin::kPreopenedName),
                                     {Wide(standin::kPreopenedSheet)});
      data_->open.push_back(book);
      ++g_state.open_workbooks;
    }
  }
  ~Application() override { Log(L"release"); }

 protected:
  HRESULT Call(DISPID id, WORD flags, LCID, std::vector<VARIANT>& args, VARIANT* result) override {
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    switch (id) {
      case kWorkbooks:
        SetObject(result, new Workbooks(data_));
        return S_OK;
      case kQuit:
        Log(L"quit");
        return S_OK;
      case kVisible:
        if (put) Log(L"visible");
        return S_OK;
      case kDisplayAlerts:
        if (put) Log(L"alerts");
        return S_OK;
      case kReset:
        g_state.log.clear();
        g_state.creations.Refuse(0);
        g_state.preopen = false;
        return S_OK;
      case kLog:
        SetText(result, g_state.log);
        return S_OK;
      case kRefuse:
        if (put && !args.empty()) {
          VARIANT n;
          VariantInit(&n);
          VariantChangeType(&n, &args[0], 0, VT_I4);
          g_state.creations.Refuse(V_I4(&n));
        }
        return S_OK;
      case kPreopen:
        if (put && !args.empty()) {
          VARIANT b;
          VariantInit(&b);
          VariantChangeType(&b, &args[0], 0, VT_BOOL);
          g_state.preopen = V_BOOL(&b) != VARIANT_FALSE;
        }
        return S_OK;
      case kOpenWorkbooks:
        SetNumber(result, g_state.open_workbooks);
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  Counted counted_;
  std::shared_ptr<ApplicationData> data_;
};

class Factory final : public IClassFactory {
 public:
  virtual ~Factory() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    if (g_state.creations.NextFails()) {
      Log(L"refuse");
      return CO_E_SERVER_EXEC_FAILURE;
    }
    Log(L"create");
    auto* application = new Application();
    const HRESULT hr = application->QueryInterface(iid, object);
    application->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};
Factory g_factory;

LSTATUS SetKey(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY handle = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                   nullptr, &handle, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return status;
}

}  // namespace
}  // namespace vexmar::wine_tests

using namespace vexmar::wine_tests;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

STDAPI DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (!IsEqualCLSID(clsid, kStandInClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, object);
}

STDAPI DllRegisterServer() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(g_module, path, MAX_PATH);
  const std::wstring clsid = std::wstring(L"CLSID\\") + kStandInClsidText;
  LSTATUS s = SetKey(clsid + L"\\InprocServer32", nullptr, path);
  if (s == ERROR_SUCCESS) s = SetKey(clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
  if (s == ERROR_SUCCESS) s = SetKey(clsid + L"\\ProgID", nullptr, kProgId);
  if (s == ERROR_SUCCESS)
    s = SetKey(std::wstring(kProgId) + L"\\CLSID", nullptr, kStandInClsidText);
  return s == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kStandInClsidText).c_str());
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  return S_OK;
}

}  // extern "C"
