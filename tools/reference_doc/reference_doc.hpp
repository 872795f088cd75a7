#pragma once
// The reference page docs/reference.md, generated from the class table: the library
// identity, every class with its members, dispatch ids and types, the collection's
// late-bound members, the argument conversions and errors of late binding, and an
// example session.
#include <string>

namespace vexmar::dispatch {

// The whole page as UTF-8 markdown.
std::string ReferenceMarkdown();

}  // namespace vexmar::dispatch
