// The functions of vexmar/vexmar.h: each checks its pointers, converts at the edge and
// goes through the late-binding layer (DispatchObject), so every member of the class
// table is reached here with nothing written for it.
#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "vexmar/capi/c_errors.hpp"
#include "vexmar/capi/c_object.hpp"
#include "vexmar/capi/c_values.hpp"
#include "vexmar/workbook/list_worksheets.hpp"

namespace vexmar::capi {
namespace {

using dispatch::DispatchObject;
using dispatch::InvokeFlags;

const DispatchObject& ObjectOf(const vexmar_object* handle) {
  if (handle == nullptr) Raise(ErrorNumber::kObjectVariableNotSet);
  return handle->object;
}

void Require(bool given) {
  if (!given) Raise(ErrorNumber::kInvalidProcedureCall);
}

// The parameters of the member a call by name reaches (method or property read, as
// DispatchObject::Call asks), to know which arguments come back; empty for none.
std::span<const contract::Parameter> CalledParameters(const vexmar_object& handle,
                                                      std::int32_t dispid) {
  if (handle.info == nullptr) return {};
  for (const auto& m : handle.info->members) {
    if (m.dispid == dispid &&
        (m.kind == contract::MemberKind::kMethod || m.kind == contract::MemberKind::kPropertyGet)) {
      return m.parameters;
    }
  }
  return {};
}

// Hands the in/out arguments' new values to the caller, also when the call failed
// after the member wrote them. An argument the library had given out before (a list
// from an earlier call passed back) is freed first: its value was copied for the call.
void WriteBack(std::span<const contract::Parameter> parameters, std::span<Variant> values,
               vexmar_value* args) {
  if (parameters.size() != values.size()) return;  // the call never reached the member
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    if (parameters[i].direction != contract::Direction::kInOut) continue;
    ClearOwned(args[i]);
    SetOwned(args[i], values[i]);
  }
}

}  // namespace
}  // namespace vexmar::capi

using namespace vexmar::capi;

extern "C" {

vexmar_status vexmar_create(const char* progid_or_clsid, vexmar_object** object) {
  if (object != nullptr) *object = nullptr;
  return Guarded([&] {
    Require(object != nullptr);
    const auto made = vexmar::dispatch::CreateObject(ToU16(progid_or_clsid));
    *object = NewHandle(made.Ref());
  });
}

vexmar_status vexmar_new_collection(vexmar_object** collection) {
  if (collection != nullptr) *collection = nullptr;
  return Guarded([&] {
    Require(collection != nullptr);
    *collection = NewHandle(vexmar::dispatch::NewCollection().Ref());
  });
}

void vexmar_release(vexmar_object* object) { delete object; }

vexmar_status vexmar_call(vexmar_object* object, const char* name, vexmar_value* args, size_t count,
                          vexmar_value* result) {
  if (result != nullptr) *result = vexmar_empty();
  return Guarded([&] {
    const DispatchObject& target = ObjectOf(object);
    Require(args != nullptr || count == 0);
    std::vector<vexmar::Variant> values;
    values.reserve(count);
    for (std::size_t i = 0; i < count; ++i) values.push_back(ToVariant(args[i]));
    const std::int32_t dispid = target.GetIdOfName(ToU16(name));
    const auto parameters = CalledParameters(*object, dispid);
    vexmar::Variant returned;
    try {
      returned = target.Invoke(dispid, InvokeFlags::kMethod | InvokeFlags::kPropertyGet, values);
    } catch (...) {
      WriteBack(parameters, values, args);
      throw;
    }
    WriteBack(parameters, values, args);
    if (result != nullptr) SetOwned(*result, returned);
  });
}

vexmar_status vexmar_get(vexmar_object* object, const char* name, vexmar_value* result) {
  return vexmar_call(object, name, nullptr, 0, result);
}

vexmar_status vexmar_put(vexmar_object* object, const char* name, const vexmar_value* value) {
  return Guarded([&] {
    const DispatchObject& target = ObjectOf(object);
    Require(value != nullptr);
    // An object goes by reference; no value at all is Nothing to an object property and
    // the empty value to any other, as the Python module writes None.
    const InvokeFlags flags = value->type == VEXMAR_OBJECT ? InvokeFlags::kPropertyPutRef
                              : value->type == VEXMAR_EMPTY
                                  ? InvokeFlags::kPropertyPut | InvokeFlags::kPropertyPutRef
                                  : InvokeFlags::kPropertyPut;
    vexmar::Variant argument = ToVariant(*value);
    target.Invoke(target.GetIdOfName(ToU16(name)), flags, std::span<vexmar::Variant>(&argument, 1));
  });
}

vexmar_status vexmar_list_worksheets(const char* path, vexmar_value* names) {
  if (names != nullptr) *names = vexmar_empty();
  return Guarded([&] {
    Require(path != nullptr && names != nullptr);
    const auto sheets = vexmar::ListWorksheets(std::filesystem::path(std::string(path)));
    if (!sheets) return;
    SetOwned(*names, vexmar::StringList::FromVector(*sheets));
  });
}

void vexmar_value_clear(vexmar_value* value) {
  if (value != nullptr) ClearOwned(*value);
}

}  // extern "C"
