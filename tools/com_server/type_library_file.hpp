#pragma once
// Finishing touches on the type library file that the IDL compiler cannot be asked for:
// parameters written with a placeholder name (the IDL has no way to leave a parameter
// unnamed) lose their name, as the values of property writes and results carry none;
// and an imported library is recorded with its own LCID (the IDL compiler records the
// importing library's).
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "vexmar/component/guid.hpp"

namespace vexmar::com {

// The name the IDL gives every parameter that is to stay unnamed.
inline constexpr std::string_view kUnnamedParameter = "vexmar_unnamed";

// Clears, in a type library in the MSFT format, the name of every function parameter
// called `placeholder`. Gives the number of parameters changed; throws
// std::runtime_error when the file is not a well-formed MSFT type library.
std::size_t ClearParameterNames(std::vector<std::uint8_t>& library, std::string_view placeholder);

// Sets the LCID of every import record of the library `libid`. Gives the number of
// records changed; throws std::runtime_error for a malformed MSFT type library.
std::size_t SetImportLcid(std::vector<std::uint8_t>& library, const Guid& libid,
                          std::uint32_t lcid);

}  // namespace vexmar::com
