#pragma once
// Collections as late-bound objects, with the members and dispatch ids of the
// platform's ordered collection, so that a host can use PingRules and FilesName by
// name:
//   Item(Index)  0   method or property read, the default member; 1-based
//   Add(Item)    1   method; appends (no key or position)
//   Count        2   method or property read
//   Remove(Index) 3  method
//   _NewEnum     -4  method or property read; an enumerator over the items
// An index outside 1..Count is the subscript error (9); a string index asks for a key,
// and as items are never added with a key no key is found (invalid procedure call, 5).
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "vexmar/component/export.hpp"
#include "vexmar/dispatch/dispatch_interface.hpp"
#include "vexmar/platform/collection.hpp"

namespace vexmar::dispatch {

inline constexpr std::int32_t kDispidValue = 0;
inline constexpr std::int32_t kDispidNewEnum = -4;

struct CollectionMember {
  std::string_view name;
  std::int32_t dispid;
  InvokeFlags flags;           // the kinds it answers to
  std::string_view parameter;  // empty when it has none
  std::string_view description;
};

// The collection's members in dispatch-id order (also listed by the reference page).
VEXMAR_API std::span<const CollectionMember> CollectionMembers() noexcept;

class VEXMAR_API CollectionInterface final : public DispatchInterface {
 public:
  static const CollectionInterface& Instance() noexcept;

  std::string_view TypeName() const noexcept override { return "Collection"; }
  bool IsInstance(const Object& object) const noexcept override;
  std::optional<std::int32_t> FindId(std::u16string_view name) const noexcept override;
  Variant Invoke(const ObjectRef& self, std::int32_t dispid, InvokeFlags flags,
                 std::span<Variant> args) const override;
};

// What _NewEnum gives: walks the collection's items in order. It reads the collection
// as it stands at each step, so items added meanwhile are reached and removed ones
// are not; it never reads outside the collection.
class VEXMAR_API CollectionEnumerator : public Object {
 public:
  explicit CollectionEnumerator(CollectionRef collection) noexcept
      : collection_(std::move(collection)) {}

  // The next item into `item`; false (and `item` untouched) after the last.
  bool Next(Variant& item);
  // Passes over up to `count` items; false when fewer were left.
  bool Skip(std::int32_t count);
  void Reset() noexcept { next_ = 1; }
  // A new enumerator over the same collection at the same position.
  std::shared_ptr<CollectionEnumerator> Clone() const;

 private:
  CollectionRef collection_;
  std::int32_t next_ = 1;
};

}  // namespace vexmar::dispatch
