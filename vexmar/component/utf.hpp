#pragma once
// Conversions between the library's UTF-16 strings and UTF-8 at the edges
// (file names, XML, console).
#include <string>
#include <string_view>

#include "vexmar/component/export.hpp"

namespace vexmar {

// UTF-16 to UTF-8. A lone surrogate U+DC80..U+DCFF stands for the raw byte 0x80..0xFF
// of a name that was not valid UTF-8 (see Utf8ToUtf16Escaped) and turns back into it;
// any other lone surrogate becomes U+FFFD.
VEXMAR_API std::string Utf16ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16 for text that must be valid: invalid sequences become U+FFFD.
VEXMAR_API std::u16string Utf8ToUtf16(std::string_view text);

// UTF-8 to UTF-16 that round-trips any byte string: each byte of an invalid sequence
// becomes the lone surrogate U+DC00 + byte, so Utf16ToUtf8 gives the same bytes back.
VEXMAR_API std::u16string Utf8ToUtf16Escaped(std::string_view bytes);

}  // namespace vexmar
