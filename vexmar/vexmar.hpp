#pragma once
// Umbrella header: the whole public API of VexmarExt.
#include "vexmar/component/checked.hpp"
#include "vexmar/component/class_table.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/component/score_state.hpp"
#include "vexmar/component/string_list.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/component/value.hpp"
#include "vexmar/text/letter_case.hpp"
#include "vexmar/text/mod_public_functions.hpp"
#include "vexmar/text/patterns.hpp"
#include "vexmar/text/rule_numbers.hpp"
