#pragma once
// The library's version at run time, for a host that checks that the library it loaded
// is the one it was built against.
#include "vexmar/component/export.hpp"

namespace vexmar {

// "major.minor.patch", such as "1.1.0".
VEXMAR_API const char* LibraryVersion() noexcept;

}  // namespace vexmar
