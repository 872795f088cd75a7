#include "vexmar/com/class_factory.hpp"

#include <cstddef>

#include "vexmar/com/module.hpp"
#include "vexmar/com/objects.hpp"
#include "vexmar/com/windows_guid.hpp"
#include "vexmar/component/class_table.hpp"

namespace vexmar::com {
namespace {

// A factory is a constant object of the module: it holds no state, so its reference
// count is not kept; only LockServer keeps the module loaded.
class ClassFactory final : public IClassFactory {
 public:
  constexpr explicit ClassFactory(std::size_t class_index) noexcept : class_index_(class_index) {}
  virtual ~ClassFactory() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
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
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return CreateLibraryObject(class_index_, iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      LockModule();
    } else {
      UnlockModule();
    }
    return S_OK;
  }

 private:
  std::size_t class_index_;
};

ClassFactory g_factories[] = {ClassFactory(0), ClassFactory(1), ClassFactory(2),
                              ClassFactory(3), ClassFactory(4), ClassFactory(5)};
static_assert(std::size(g_factories) == contract::kClasses.size());

}  // namespace

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) noexcept {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  for (std::size_t i = 0; i < contract::kClasses.size(); ++i) {
    if (IsEqualCLSID(clsid, ToGuid(contract::kClasses[i].clsid))) {
      return g_factories[i].QueryInterface(iid, object);
    }
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace vexmar::com
