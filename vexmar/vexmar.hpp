#pragma once
// Umbrella header: the whole public API of VexmarExt.
#include "vexmar/component/checked.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/component/score_state.hpp"
#include "vexmar/component/string_list.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/component/value.hpp"
#include "vexmar/workbook/list_worksheets.hpp"
