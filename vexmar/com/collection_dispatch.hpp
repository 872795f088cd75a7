#pragma once
// Dispatch of the collection-valued properties (PingRules, FilesName) by the server
// itself. The type library types them as the platform's _Collection, an interface of
// an imported library; the system's type-library dispatch must load that library to
// pass such a value, and fails (VBScript error 458) on a machine where it is not
// registered. Serving these two entries here makes late binding the same on every
// machine; the type library itself, and with it early binding, is unchanged.
#include "vexmar/com/windows_com.hpp"

#include "CollectionInterface.h"  // _Collection, written from the class table by the build

namespace vexmar::com {

// The get and putref entries of a class's collection property (a class has at most
// one), as its interface implements them.
class CollectionMembers {
 public:
  virtual HRESULT STDMETHODCALLTYPE ReadCollection(_Collection** out) = 0;
  virtual HRESULT STDMETHODCALLTYPE WriteCollection(_Collection* value) = 0;

 protected:
  ~CollectionMembers() = default;
};

// A call of the property, as the type library's dispatch would make it. `flags` is a
// property read or an object write (DISPATCH_PROPERTYPUTREF); `params` are the
// arguments already dereferenced (a write's value is an object, null for Nothing).
// A read with arguments applies them to the collection's default member, as
// `o.FilesName(1)` means.
HRESULT InvokeCollectionProperty(CollectionMembers& members, WORD flags, DISPPARAMS& params,
                                 VARIANT* result, EXCEPINFO* excep, UINT* arg_error);

}  // namespace vexmar::com
