// The six classes of the library behind their dual interfaces. Each entry converts its
// arguments, calls the class and converts the results; in/out values go back to the
// caller also when the member fails, as nothing a member did before an error is undone.
#include "vexmar/com/objects.hpp"

#include <new>
#include <string>
#include <string_view>

#include "VexmarExt_h.h"
#include "vexmar/com/bstr.hpp"
#include "vexmar/com/collection_property.hpp"
#include "vexmar/com/server_object.hpp"
#include "vexmar/component/score_state.hpp"
#include "vexmar/multifile/excel_multi_files.hpp"
#include "vexmar/names/repeat_name.hpp"
#include "vexmar/sheets/excel_multi_sheets.hpp"
#include "vexmar/text/matcher_classes.hpp"

namespace vexmar::com {
namespace {

constexpr std::size_t ClassIndex(std::string_view name) {
  for (std::size_t i = 0; i < contract::kClasses.size(); ++i) {
    if (contract::kClasses[i].name == name) return i;
  }
  throw "no such class";
}
constexpr std::size_t kRepeatName = ClassIndex("ClsRepeatName");
constexpr std::size_t kScoreState = ClassIndex("ClsScoreState");
constexpr std::size_t kMultiFiles = ClassIndex("ClsExcelMultiFiles");
constexpr std::size_t kMultiSheets = ClassIndex("ClsExcelMultiSheets");
constexpr std::size_t kTest = ClassIndex("ClsTest");
constexpr std::size_t kPatternMatchStr = ClassIndex("ClsPatternMatchStr");

// Runs `call`; whether it succeeds or throws, `write_back` hands the in/out values to
// the caller first.
template <typename Call, typename WriteBack>
void WithInOut(Call&& call, WriteBack&& write_back) {
  try {
    call();
  } catch (...) {
    write_back();
    throw;
  }
  write_back();
}

void ReplaceBstr(BSTR* slot, std::u16string_view text) {
  BSTR fresh = ToBstr(text);
  SysFreeString(*slot);
  *slot = fresh;
}

void ReplaceArray(SAFEARRAY** slot, const StringList& list, std::u16string_view name) {
  UniqueSafeArray fresh = ToBstrArray(list);
  if (*slot != nullptr && FAILED(SafeArrayDestroy(*slot))) throw FixedArrayError(name);
  *slot = fresh.release();
}

template <typename Interface>
class ClassObject : public ServerObject<Interface> {
 public:
  explicit ClassObject(std::size_t index, CollectionMembers* collections = nullptr)
      : ServerObject<Interface>(contract::kClasses[index], collections) {}

 protected:
  using ServerObject<Interface>::Member;

  // A property read or method result of a plain type, and one of a string.
  template <typename T, typename Body>
  HRESULT Get(T* out, Body&& body) noexcept {
    if (out == nullptr) return E_POINTER;
    return Member([&] { *out = body(); });
  }
  template <typename Body>
  HRESULT Text(BSTR* out, Body&& body) noexcept {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return Member([&] { *out = ToBstr(body()); });
  }
};

class ScoreStateObject final : public ClassObject<_ClsScoreState> {
 public:
  ScoreStateObject() : ClassObject(kScoreState) {}

  HRESULT STDMETHODCALLTYPE put_CurScore(float value) override {
    return Member([&] { impl_.SetCurScore(value); });
  }
  HRESULT STDMETHODCALLTYPE get_CurScore(float* out) override {
    return Get(out, [&] { return impl_.CurScore(); });
  }
  HRESULT STDMETHODCALLTYPE put_TotalScore(float value) override {
    return Member([&] { impl_.SetTotalScore(value); });
  }
  HRESULT STDMETHODCALLTYPE get_TotalScore(float* out) override {
    return Get(out, [&] { return impl_.TotalScore(); });
  }
  HRESULT STDMETHODCALLTYPE put_ErrMsg(BSTR value) override {
    return Member([&] { impl_.SetErrMsg(FromBstr(value)); });
  }
  HRESULT STDMETHODCALLTYPE get_ErrMsg(BSTR* out) override {
    return Text(out, [&] { return impl_.ErrMsg(); });
  }
  HRESULT STDMETHODCALLTYPE put_ErrMsgXml(BSTR value) override {
    return Member([&] { impl_.SetErrMsgXml(FromBstr(value)); });
  }
  HRESULT STDMETHODCALLTYPE get_ErrMsgXml(BSTR* out) override {
    return Text(out, [&] { return impl_.ErrMsgXml(); });
  }

 private:
  ClsScoreState impl_;
};

class RepeatNameObject final : public ClassObject<_ClsRepeatName> {
 public:
  RepeatNameObject() : ClassObject(kRepeatName) {}

  HRESULT STDMETHODCALLTYPE GetFileNames(BSTR strRule, SAFEARRAY** strFileNames, BSTR strTestPath,
                                         LONG* out) override {
    if (strFileNames == nullptr || out == nullptr) return E_POINTER;
    return Member([&] {
      // The list is replaced as a whole; a fixed array cannot be.
      if (IsFixedOrLocked(*strFileNames)) throw FixedArrayError(u"strFileNames");
      const std::u16string rule = FromBstr(strRule);
      const std::u16string path = FromBstr(strTestPath);
      StringList names = FromBstrArray(*strFileNames);
      std::int32_t count = 0;
      WithInOut([&] { count = impl_.GetFileNames(rule, names, path); },
                [&] { ReplaceArray(strFileNames, names, u"strFileNames"); });
      *out = count;
    });
  }

  HRESULT STDMETHODCALLTYPE GetRuleItem(BSTR strRule, BSTR* strErrMsg, float* sngWeight,
                                        VARIANT_BOOL* out) override {
    if (strErrMsg == nullptr || sngWeight == nullptr || out == nullptr) return E_POINTER;
    return Member([&] {
      const std::u16string rule = FromBstr(strRule);
      std::u16string message = FromBstr(*strErrMsg);
      float weight = *sngWeight;
      Bool16 found;
      WithInOut([&] { found = impl_.GetRuleItem(rule, message, weight); },
                [&] {
                  ReplaceBstr(strErrMsg, message);
                  *sngWeight = weight;
                });
      *out = found.value;
    });
  }

  HRESULT STDMETHODCALLTYPE ChangeRuleFileName(BSTR strRule, BSTR strFileName, BSTR* out) override {
    return Text(out,
                [&] { return impl_.ChangeRuleFileName(FromBstr(strRule), FromBstr(strFileName)); });
  }

 private:
  ClsRepeatName impl_;
};

class MultiFilesObject final : public ClassObject<_ClsExcelMultiFiles>, public CollectionMembers {
 public:
  MultiFilesObject() : ClassObject(kMultiFiles, this) {}

  HRESULT STDMETHODCALLTYPE get_Rules(BSTR* out) override {
    return Text(out, [&] { return impl_.Rules(); });
  }
  HRESULT STDMETHODCALLTYPE put_Rules(BSTR value) override {
    return Member([&] { impl_.SetRules(FromBstr(value)); });
  }
  HRESULT STDMETHODCALLTYPE get_TestPath(BSTR* out) override {
    return Text(out, [&] { return impl_.TestPath(); });
  }
  HRESULT STDMETHODCALLTYPE put_TestPath(BSTR value) override {
    return Member([&] { impl_.SetTestPath(FromBstr(value)); });
  }
  HRESULT STDMETHODCALLTYPE ParseRules(LONG* out) override {
    return Get(out, [&] { return static_cast<LONG>(impl_.ParseRules()); });
  }
  HRESULT STDMETHODCALLTYPE get_FilesName(_Collection** out) override {
    return Get(out, [&] { return files_name_.Read(impl_.FilesName()); });
  }
  HRESULT STDMETHODCALLTYPE putref_FilesName(_Collection* value) override {
    return Member([&] { impl_.SetFilesName(files_name_.Write(value)); });
  }
  HRESULT STDMETHODCALLTYPE ReadCollection(_Collection** out) override {
    return get_FilesName(out);
  }
  HRESULT STDMETHODCALLTYPE WriteCollection(_Collection* value) override {
    return putref_FilesName(value);
  }

 private:
  ClsExcelMultiFiles impl_;
  CollectionProperty files_name_;
};

class MultiSheetsObject final : public ClassObject<_ClsExcelMultiSheets>,
                                public CollectionMembers {
 public:
  MultiSheetsObject() : ClassObject(kMultiSheets, this) {}

  HRESULT STDMETHODCALLTYPE get_Rule(BSTR* out) override {
    return Text(out, [&] { return impl_.Rule(); });
  }
  HRESULT STDMETHODCALLTYPE put_Rule(BSTR value) override {
    return Member([&] { impl_.SetRule(FromBstr(value)); });
  }
  HRESULT STDMETHODCALLTYPE ParseRule(BSTR* strErrMsg, VARIANT_BOOL* out) override {
    if (strErrMsg == nullptr || out == nullptr) return E_POINTER;
    return Member([&] {
      std::u16string message = FromBstr(*strErrMsg);
      const Bool16 done = impl_.ParseRule(message);
      ReplaceBstr(strErrMsg, message);
      *out = done.value;
    });
  }
  HRESULT STDMETHODCALLTYPE get_ErrMsg(BSTR* out) override {
    return Text(out, [&] { return impl_.ErrMsg(); });
  }
  HRESULT STDMETHODCALLTYPE put_ErrMsg(BSTR value) override {
    return Member([&] { impl_.SetErrMsg(FromBstr(value)); });
  }
  HRESULT STDMETHODCALLTYPE get_TestPath(BSTR* out) override {
    return Text(out, [&] { return impl_.TestPath(); });
  }
  HRESULT STDMETHODCALLTYPE put_TestPath(BSTR value) override {
    return Member([&] { impl_.SetTestPath(FromBstr(value)); });
  }
  HRESULT STDMETHODCALLTYPE get_FileName(BSTR* out) override {
    return Text(out, [&] { return impl_.FileName(); });
  }
  HRESULT STDMETHODCALLTYPE put_FileName(BSTR value) override {
    return Member([&] { impl_.SetFileName(FromBstr(value)); });
  }
  HRESULT STDMETHODCALLTYPE get_Weight(float* out) override {
    return Get(out, [&] { return impl_.Weight(); });
  }
  HRESULT STDMETHODCALLTYPE put_Weight(float value) override {
    return Member([&] { impl_.SetWeight(value); });
  }
  HRESULT STDMETHODCALLTYPE get_PingRules(_Collection** out) override {
    return Get(out, [&] { return ping_rules_.Read(impl_.PingRules()); });
  }
  HRESULT STDMETHODCALLTYPE putref_PingRules(_Collection* value) override {
    return Member([&] { impl_.SetPingRules(ping_rules_.Write(value)); });
  }
  HRESULT STDMETHODCALLTYPE ReadCollection(_Collection** out) override {
    return get_PingRules(out);
  }
  HRESULT STDMETHODCALLTYPE WriteCollection(_Collection* value) override {
    return putref_PingRules(value);
  }

 private:
  ClsExcelMultiSheets impl_;
  CollectionProperty ping_rules_;
};

class TestObject final : public ClassObject<_ClsTest> {
 public:
  TestObject() : ClassObject(kTest) {}

  HRESULT STDMETHODCALLTYPE Test() override {
    return Member([&] { impl_.Test(); });
  }

 private:
  ClsTest impl_;
};

class PatternMatchStrObject final : public ClassObject<_ClsPatternMatchStr> {
 public:
  PatternMatchStrObject() : ClassObject(kPatternMatchStr) {}

  HRESULT STDMETHODCALLTYPE MatchString(BSTR strSource, BSTR strFind, LONG nStart, LONG* nLength,
                                        LONG* out) override {
    if (nLength == nullptr || out == nullptr) return E_POINTER;
    return Member([&] {
      const std::u16string source = FromBstr(strSource);
      const std::u16string find = FromBstr(strFind);
      std::int32_t length = static_cast<std::int32_t>(*nLength);
      std::int32_t position = 0;
      WithInOut(
          [&] {
            position = impl_.MatchString(source, find, static_cast<std::int32_t>(nStart), length);
          },
          [&] { *nLength = static_cast<LONG>(length); });
      *out = static_cast<LONG>(position);
    });
  }

 private:
  ClsPatternMatchStr impl_;
};

template <typename Object>
HRESULT Create(REFIID iid, void** out) noexcept {
  Object* object = new (std::nothrow) Object();
  if (object == nullptr) return E_OUTOFMEMORY;
  return HandOut(object, iid, out);
}

}  // namespace

HRESULT CreateLibraryObject(std::size_t class_index, REFIID iid, void** object) noexcept {
  try {
    switch (class_index) {
      case kRepeatName:
        return Create<RepeatNameObject>(iid, object);
      case kMultiFiles:
        return Create<MultiFilesObject>(iid, object);
      case kMultiSheets:
        return Create<MultiSheetsObject>(iid, object);
      case kScoreState:
        return Create<ScoreStateObject>(iid, object);
      case kTest:
        return Create<TestObject>(iid, object);
      case kPatternMatchStr:
        return Create<PatternMatchStrObject>(iid, object);
      default:
        return CLASS_E_CLASSNOTAVAILABLE;
    }
  } catch (...) {
    // A class's constructor failed (ClsExcelMultiFiles makes its collection then).
    return E_OUTOFMEMORY;
  }
}

}  // namespace vexmar::com
