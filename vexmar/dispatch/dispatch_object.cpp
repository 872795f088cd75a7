#include "vexmar/dispatch/dispatch_object.hpp"

#include <new>
#include <stdexcept>
#include <string>

#include "vexmar/dispatch/class_interface.hpp"
#include "vexmar/dispatch/collection_interface.hpp"
#include "vexmar/platform/collection.hpp"

namespace vexmar::dispatch {
namespace {

const DispatchInterface* InterfaceOf(const Object& object) noexcept {
  for (const auto& c : ClassInterfaces()) {
    if (c.IsInstance(object)) return &c;
  }
  if (CollectionInterface::Instance().IsInstance(object)) return &CollectionInterface::Instance();
  return nullptr;
}

// The text of a braced CLSID; nullopt for anything else (non-ASCII units included).
std::optional<Guid> ParseBracedClsid(std::u16string_view text) {
  if (text.size() != 38 || text.front() != u'{') return std::nullopt;
  std::string ascii;
  for (char16_t unit : text) {
    if (unit > 0x7F) return std::nullopt;
    ascii.push_back(static_cast<char>(unit));
  }
  return ParseGuid(ascii);
}

DispatchObject Instantiate(const ClassInterface* cls) {
  if (cls == nullptr) Raise(ErrorNumber::kCannotCreateObject);
  return TranslateOutOfMemory([cls] { return DispatchObject(cls->Create(), *cls); });
}

}  // namespace

DispatchObject::DispatchObject(ObjectRef object) : object_(std::move(object)) {
  if (object_ == nullptr) Raise(ErrorNumber::kObjectVariableNotSet);
  interface_ = InterfaceOf(*object_);
  if (interface_ == nullptr) Raise(ErrorNumber::kTypeMismatch);
}

std::string_view DispatchObject::TypeName() const noexcept {
  return object_ == nullptr ? std::string_view() : interface_->TypeName();
}

std::int32_t DispatchObject::GetIdOfName(std::u16string_view name) const {
  if (object_ == nullptr) Raise(ErrorNumber::kObjectVariableNotSet);
  const auto id = interface_->FindId(name);
  if (!id) Raise(ErrorNumber::kObjectDoesNotSupport);
  return *id;
}

Variant DispatchObject::Invoke(std::int32_t dispid, InvokeFlags flags,
                               std::span<Variant> args) const {
  // The call's own reference: the host may drop this handle (or the last other one)
  // while the member runs.
  const ObjectRef self = object_;
  const DispatchInterface* const methods = interface_;
  if (self == nullptr) Raise(ErrorNumber::kObjectVariableNotSet);
  return TranslateOutOfMemory([&] { return methods->Invoke(self, dispid, flags, args); });
}

InvokeStatus DispatchObject::TryInvoke(std::int32_t dispid, InvokeFlags flags,
                                       std::span<Variant> args) const noexcept {
  InvokeStatus status;
  try {
    try {
      status.value = Invoke(dispid, flags, args);
      return status;
    } catch (const Error& e) {
      status.error = e;
    } catch (const std::bad_alloc&) {
      status.error = Error(ErrorNumber::kOutOfMemory);
    } catch (const std::length_error&) {
      status.error = Error(ErrorNumber::kOutOfMemory);
    } catch (...) {
      status.error = Error(ErrorNumber::kApplicationDefined);
    }
    status.hresult = status.error->HResult();
  } catch (...) {
    // Not even the error could be built (no memory for its description).
    status.error.reset();
    status.hresult = static_cast<std::int32_t>(0x800A0007u);  // out of memory
  }
  return status;
}

Variant DispatchObject::Get(std::u16string_view name) const {
  return Invoke(GetIdOfName(name), InvokeFlags::kPropertyGet | InvokeFlags::kMethod, {});
}

Variant DispatchObject::Call(std::u16string_view name, std::span<Variant> args) const {
  return Invoke(GetIdOfName(name), InvokeFlags::kMethod | InvokeFlags::kPropertyGet, args);
}

void DispatchObject::Put(std::u16string_view name, Variant value) const {
  Invoke(GetIdOfName(name), InvokeFlags::kPropertyPut, std::span<Variant>(&value, 1));
}

void DispatchObject::PutRef(std::u16string_view name, const DispatchObject& value) const {
  PutRef(name, value.Ref());
}

void DispatchObject::PutRef(std::u16string_view name, ObjectRef value) const {
  Variant argument(std::move(value));
  Invoke(GetIdOfName(name), InvokeFlags::kPropertyPutRef, std::span<Variant>(&argument, 1));
}

DispatchObject CreateObject(std::u16string_view prog_id_or_clsid) {
  if (const auto clsid = ParseBracedClsid(prog_id_or_clsid)) return CreateObject(*clsid);
  return Instantiate(FindClassByProgId(prog_id_or_clsid));
}

DispatchObject CreateObject(const Guid& clsid) { return Instantiate(FindClassByClsid(clsid)); }

DispatchObject NewCollection() {
  return TranslateOutOfMemory([] {
    return DispatchObject(std::make_shared<Collection>(), CollectionInterface::Instance());
  });
}

}  // namespace vexmar::dispatch
