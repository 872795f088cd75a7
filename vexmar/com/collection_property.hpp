#pragma once
// The COM face of a collection-valued property (PingRules, FilesName). Reads give the
// same collection object as long as the property refers to the same collection, and a
// collection object of another server written by the caller is given back as it was.
// Properties are typed _Collection, a dispatch interface, so every such object is
// held through its IDispatch entries.
#include "vexmar/com/windows_com.hpp"

#include "CollectionInterface.h"  // _Collection, written from the class table by the build
#include "vexmar/com/com_ptr.hpp"
#include "vexmar/platform/collection.hpp"

namespace vexmar::com {

class CollectionProperty {
 public:
  // The object for the property's current collection (null when unset); a reference
  // for the caller.
  _Collection* Read(const CollectionRef& current);
  // What the class should store for a caller's object: its collection when the object
  // is one of this module's; otherwise a stand-in that marks the caller's object.
  CollectionRef Write(_Collection* value);

 private:
  CollectionRef shown_;  // the collection `object_` stands for
  ComPtr<_Collection> object_;
};

}  // namespace vexmar::com
