#pragma once
// Windows paths of any length: a path too long for the classic limit is handed to the
// wide file functions in its extended-length form ("\\?\C:\..." or "\\?\UNC\server\..."),
// which the system takes verbatim, so it is made absolute and normalised first.
#include <string>

namespace vexmar {

std::wstring ExtendedLengthPath(const std::wstring& path);

}  // namespace vexmar
