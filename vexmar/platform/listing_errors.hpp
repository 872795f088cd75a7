#pragma once
// The errors a directory listing raises, with descriptions that name the path, shared
// by the listings of the different platforms.
#include <string_view>

#include "vexmar/component/error.hpp"

namespace vexmar {

// A host path that cannot become a file-system path (an embedded NUL): error 75.
[[noreturn]] void RaiseUnusablePath(std::u16string_view host_path);

// A directory that exists but cannot be read: error 70 when access is denied, 75 for
// any other reason; `system_code` is the platform's error code, shown in the text.
[[noreturn]] void RaiseUnreadableDirectory(std::u16string_view directory, bool access_denied,
                                           long system_code);

// An entry of a directory that could not be examined for a reason other than its
// absence or a denied access: error 75.
[[noreturn]] void RaiseUnreadableEntry(std::u16string_view path, long system_code);

// Whether a path contains a NUL unit.
bool ContainsNul(std::u16string_view text) noexcept;

}  // namespace vexmar
