#pragma once
// Finishing touches on the type library file that the IDL compiler cannot be asked for:
// parameters written with a placeholder name (the IDL has no way to leave a parameter
// unnamed) lose their name, as the values of property writes and results carry none.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vexmar::com {

// The name the IDL gives every parameter that is to stay unnamed.
inline constexpr std::string_view kUnnamedParameter = "vexmar_unnamed";

// Clears, in a type library in the MSFT format, the name of every function parameter
// called `placeholder`. Gives the number of parameters changed; throws
// std::runtime_error when the file is not a well-formed MSFT type library.
std::size_t ClearParameterNames(std::vector<std::uint8_t>& library, std::string_view placeholder);

}  // namespace vexmar::com
