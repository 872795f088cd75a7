#pragma once
// The COM face of a collection-valued property (PingRules, FilesName). Reads give the
// same collection object as long as the property refers to the same collection, and a
// collection object of another server written by the caller is given back as it was.
#include "vexmar/com/windows_com.hpp"

#include "vexmar/com/com_ptr.hpp"
#include "vexmar/platform/collection.hpp"

namespace vexmar::com {

class CollectionProperty {
 public:
  // The object for the property's current collection (null when unset).
  IDispatch* Read(const CollectionRef& current);
  // What the class should store for a caller's object: its collection when the object
  // is one of this module's; otherwise a stand-in that marks the caller's object.
  CollectionRef Write(IDispatch* value);

 private:
  CollectionRef shown_;  // the collection `object_` stands for
  ComPtr<IDispatch> object_;
};

}  // namespace vexmar::com
