#pragma once
// The earlier name of matcher_classes.hpp, kept so that hosts including it still build.
#include "vexmar/text/matcher_classes.hpp"
