#include <vexmar/vexmar.hpp>

int main() { return vexmar::HasWildcard(u"Sheet*") ? 0 : 1; }
