#pragma once
// Creation of the library's six classes as COM objects.
#include "vexmar/com/windows_com.hpp"

#include <cstddef>

namespace vexmar::com {

// A new object of the class at `class_index` in the class table, asked for `iid`.
HRESULT CreateLibraryObject(std::size_t class_index, REFIID iid, void** object) noexcept;

}  // namespace vexmar::com
