#pragma once
// The arguments of one dispatch call, made fit for the type library's own dispatch.
//
// Script hosts pass every variable as a by-reference Variant (VT_BYREF|VT_VARIANT) and
// constants and JScript values by value. The type library's dispatch accepts neither
// for a typed by-reference parameter (long*, float*, BSTR*, SAFEARRAY(BSTR)*). Such an
// argument is converted into storage of the declared type here, the member works on
// that storage, and afterwards the value is written back into the caller's Variant;
// a by-value argument simply has nowhere to go back to. A by-reference Variant for an
// in parameter is passed on as a copy of its value, and Null or Empty for a collection
// (JScript's null) as no object.
#include "vexmar/com/windows_com.hpp"

#include <memory>
#include <vector>

#include "vexmar/component/class_table.hpp"

namespace vexmar::com {

class DispatchArguments {
 public:
  DispatchArguments() = default;
  DispatchArguments(const DispatchArguments&) = delete;
  DispatchArguments& operator=(const DispatchArguments&) = delete;
  ~DispatchArguments();

  // `member` is the method or property write being called, if known. Gives S_OK, or
  // the dispatch status for an argument that cannot take the declared type with
  // *arg_error set to its index. Throws Error 10 for a fixed or locked array that the
  // member would have to replace, and std::bad_alloc.
  HRESULT Prepare(const DISPPARAMS& params, const contract::Member* member, UINT* arg_error);

  DISPPARAMS* Params() noexcept { return &params_; }

  // After the member ran: the in/out values into the caller's Variants.
  void WriteBack();

 private:
  struct Slot {
    VARIANT* target = nullptr;  // the caller's Variant, when it was passed by reference
    const contract::Parameter* parameter = nullptr;
    bool keep_string_array = false;  // the caller's Variant held an array of BSTR
    VARIANT copy;                    // an in argument's dereferenced value (owned)
    BSTR text = nullptr;
    LONG number = 0;
    float single = 0.0f;
    VARIANT_BOOL flag = VARIANT_FALSE;
    SAFEARRAY* array = nullptr;
  };

  // An in/out argument: its value found, then converted into the slot's storage of the
  // declared type, to which `arg` is made to refer.
  HRESULT PrepareInOut(VARIANTARG& arg, Slot& slot);
  // The caller's Variant behind a by-reference Variant (through references to
  // references), left null for a by-value argument; a typed reference of another type
  // is refused, as the member's value could not go back into it.
  static HRESULT FindCallerVariant(const VARIANTARG& arg, VARIANT** target);
  static HRESULT PrepareStringList(const VARIANT& value, VARIANTARG& arg, Slot& slot);
  static HRESULT PrepareScalar(const VARIANT& value, VARTYPE declared, VARIANTARG& arg,
                               Slot& slot);

  std::unique_ptr<Slot[]> slots_;
  std::vector<VARIANTARG> args_;
  DISPPARAMS params_{};
};

}  // namespace vexmar::com
