#pragma once

namespace vexmar::example {

// Prints the tour of the matcher, the rule-text routines and the score state; the
// process exit status.
int RunTour();

}  // namespace vexmar::example
