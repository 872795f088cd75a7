#pragma once
// The document type name of an XML document, read from the bytes before its root
// element, for XML parsers that refuse a document type declaration without naming it.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vexmar::workbook {

// The name (UTF-8, prefix included) of the document type declaration that the prolog
// holds before anything else but the XML declaration, processing instructions, comments
// and white space; std::nullopt when it holds none. The encoding is told as a parser
// tells it: a byte-order mark, or UTF-16 by a first "<", else UTF-8.
std::optional<std::string> FindDoctypeName(std::span<const std::byte> prolog);

// The encoding label of an XML declaration at the very start of `text` (an ASCII-based
// encoding): true with [*begin, *end) the label's bytes, false when there is none.
bool FindEncodingLabel(std::string_view text, std::size_t* begin, std::size_t* end) noexcept;

}  // namespace vexmar::workbook
