#pragma once
// The earlier name of split_and_match.hpp, kept so that hosts including it still build.
#include "vexmar/text/split_and_match.hpp"
