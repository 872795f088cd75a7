#pragma once
// Errors leaving the library towards a COM caller: the Automation status
// 0x800A0000 | number, with the Chinese description in the thread's error object
// (early binding) or in EXCEPINFO (dispatch).
#include "vexmar/com/windows_com.hpp"

#include <string_view>

#include "vexmar/component/error.hpp"

namespace vexmar::com {

// Error 10: an array that the member would have to replace is fixed or locked.
Error FixedArrayError(std::u16string_view parameter_name);

// The exception being handled as the library's Error; call only inside a catch block.
// Out of memory for std::bad_alloc, error 51 for anything the library does not raise.
Error CurrentError();

// Sets the thread's error object for the caller and gives the status to return.
HRESULT PublishError(const Error& error, const GUID& iid, std::u16string_view source) noexcept;

// Fills `info` with the error. Whatever it held is overwritten, not freed: a caller's
// EXCEPINFO is an out parameter and may hold garbage.
void FillExcepInfo(EXCEPINFO* info, const Error& error, std::u16string_view source) noexcept;

// Frees the strings of an EXCEPINFO that a callee filled, and empties it.
void ClearExcepInfo(EXCEPINFO* info) noexcept;

}  // namespace vexmar::com
