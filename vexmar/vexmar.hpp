#pragma once
// Umbrella header: the whole public API of VexmarExt.
#include "vexmar/component/checked.hpp"
#include "vexmar/component/class_table.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/component/score_state.hpp"
#include "vexmar/component/string_list.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/component/value.hpp"
#include "vexmar/multifile/excel_multi_files.hpp"
#include "vexmar/names/repeat_name.hpp"
#include "vexmar/platform/collection.hpp"
#include "vexmar/platform/directory_listing.hpp"
#include "vexmar/platform/file_name_match.hpp"
