#include "vexmar/dispatch/collection_interface.hpp"

#include <array>

#include "vexmar/component/class_table.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/dispatch/coercion.hpp"

namespace vexmar::dispatch {
namespace {

using enum InvokeFlags;

constexpr std::int32_t kDispidAdd = 1;
constexpr std::int32_t kDispidCount = 2;
constexpr std::int32_t kDispidRemove = 3;

constexpr std::array<CollectionMember, 5> kMembers{{
    {"Item", kDispidValue, kMethod | kPropertyGet, "Index",
     "the item at a 1-based index (default member)"},
    {"Add", kDispidAdd, kMethod, "Item", "appends an item at the end; equal items are allowed"},
    {"Count", kDispidCount, kMethod | kPropertyGet, "", "the number of items"},
    {"Remove", kDispidRemove, kMethod, "Index", "removes the item at a 1-based index"},
    {"_NewEnum", kDispidNewEnum, kMethod | kPropertyGet, "",
     "an enumerator over the items, in order"},
}};

// The names and ids are those of the class table's collection interface, which the
// Windows server's collection objects serve as well.
static_assert([] {
  for (std::size_t i = 0; i < kMembers.size(); ++i) {
    if (kMembers[i].name != contract::kCollectionMembers[i].name ||
        kMembers[i].dispid != contract::kCollectionMembers[i].dispid) {
      return false;
    }
  }
  return kMembers.size() == contract::kCollectionMembers.size();
}());

// An index as the collection takes it. A string would be a key; no item has one.
std::int32_t IndexOf(const Variant& index) {
  if (std::holds_alternative<std::u16string>(index)) Raise(ErrorNumber::kInvalidProcedureCall);
  return CoerceToInt32(index);
}

}  // namespace

std::span<const CollectionMember> CollectionMembers() noexcept { return kMembers; }

const CollectionInterface& CollectionInterface::Instance() noexcept {
  static const CollectionInterface instance;
  return instance;
}

bool CollectionInterface::IsInstance(const Object& object) const noexcept {
  return dynamic_cast<const Collection*>(&object) != nullptr;
}

std::optional<std::int32_t> CollectionInterface::FindId(std::u16string_view name) const noexcept {
  for (const auto& m : kMembers) {
    if (NameEquals(name, m.name)) return m.dispid;
  }
  return std::nullopt;
}

Variant CollectionInterface::Invoke(const ObjectRef& self, std::int32_t dispid, InvokeFlags flags,
                                    std::span<Variant> args) const {
  const CollectionMember* member = nullptr;
  for (const auto& m : kMembers) {
    if (m.dispid == dispid) member = &m;
  }
  if (member == nullptr ||
      (static_cast<std::uint16_t>(flags) & static_cast<std::uint16_t>(member->flags)) == 0) {
    Raise(ErrorNumber::kObjectDoesNotSupport);
  }
  const std::size_t expected = member->parameter.empty() ? 0 : 1;
  if (args.size() != expected) Raise(ErrorNumber::kWrongArgumentCount);

  auto collection = std::static_pointer_cast<Collection>(self);
  switch (dispid) {
    case kDispidValue:
      return collection->Item(IndexOf(args[0]));
    case kDispidAdd:
      collection->Add(args[0]);
      return Empty{};
    case kDispidCount:
      return collection->Count();
    case kDispidRemove:
      collection->Remove(IndexOf(args[0]));
      return Empty{};
    default:
      // _NewEnum: the enumerator holds the collection while the host walks it.
      return ObjectRef(std::make_shared<CollectionEnumerator>(std::move(collection)));
  }
}

bool CollectionEnumerator::Next(Variant& item) {
  if (next_ > collection_->Count()) return false;
  item = collection_->Item(next_);
  ++next_;
  return true;
}

bool CollectionEnumerator::Skip(std::int32_t count) {
  for (std::int32_t i = 0; i < count; ++i) {
    if (next_ > collection_->Count()) return false;
    ++next_;
  }
  return true;
}

std::shared_ptr<CollectionEnumerator> CollectionEnumerator::Clone() const {
  auto copy = std::make_shared<CollectionEnumerator>(collection_);
  copy->next_ = next_;
  return copy;
}

}  // namespace vexmar::dispatch
