#pragma once
// The shared table of late-binding conversions (tests/support/coercion_cases.tsv) run
// through the platform's Automation conversion, the one the server applies to every
// argument; the Linux tests run the same table through the library's own conversions.
#include "checks.hpp"

namespace vexmar::wine_tests {

void CheckCoercionTable(Checks& checks);

}  // namespace vexmar::wine_tests
