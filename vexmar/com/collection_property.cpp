#include "vexmar/com/collection_property.hpp"

#include <memory>

#include "vexmar/com/collection_object.hpp"

namespace vexmar::com {

_Collection* CollectionProperty::Read(const CollectionRef& current) {
  if (!current) return nullptr;
  if (current != shown_ || !object_) {
    object_ = CollectionObject::Wrap(current);
    shown_ = current;
  }
  return ComPtr<_Collection>::Share(object_.Get()).Detach();
}

CollectionRef CollectionProperty::Write(_Collection* value) {
  if (value == nullptr) {
    object_.Reset();
    shown_.reset();
    return nullptr;
  }
  CollectionRef inner = CollectionObject::Unwrap(value);
  // The class only ever replaces a foreign collection by one of its own, so an empty
  // stand-in of its own type keeps its place until then.
  if (!inner) inner = std::make_shared<Collection>();
  object_ = ComPtr<_Collection>::Share(value);
  shown_ = inner;
  return inner;
}

}  // namespace vexmar::com
