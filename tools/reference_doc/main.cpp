// Prints the reference page; docs/reference.md is this program's output.
#include <iostream>

#include "tools/reference_doc/reference_doc.hpp"

int main() {
  std::cout << vexmar::dispatch::ReferenceMarkdown();
  return std::cout.good() ? 0 : 1;
}
