#pragma once
// Compares the bound classes with the class table, in both directions: every class and
// every member entry of the table is bound exactly once, with the parameter types,
// directions and result type that the table states, to a member of the right C++
// class; and nothing is bound that the table does not list. Usable in a constant
// expression (the bindings are checked by static_assert where they are defined) and at
// run time (a test reports each problem by name).
#include <cstddef>
#include <span>
#include <string_view>

#include "vexmar/component/class_table.hpp"
#include "vexmar/dispatch/bound_class.hpp"

namespace vexmar::dispatch {

namespace check_detail {
constexpr bool SameSignature(std::span<const contract::Parameter> bound,
                             std::span<const contract::Parameter> table) {
  if (bound.size() != table.size()) return false;
  for (std::size_t i = 0; i < bound.size(); ++i) {
    if (bound[i].type != table[i].type || bound[i].direction != table[i].direction) return false;
  }
  return true;
}
}  // namespace check_detail

// Calls report(class name, member name, problem) once per mismatch.
template <typename Report>
constexpr void CheckBindings(std::span<const contract::ClassInfo> table,
                             std::span<const BoundClass> bound, Report&& report) {
  for (const auto& info : table) {
    int times = 0;
    for (const auto& b : bound) times += b.name == info.name ? 1 : 0;
    if (times == 0) report(info.name, std::string_view(), std::string_view("class not bound"));
    if (times > 1) report(info.name, std::string_view(), std::string_view("class bound twice"));
  }
  // Indices rather than pointers: they stay constant expressions under every
  // compiler option (pointer tests do not under GCC's undefined-behaviour sanitizer).
  for (const auto& b : bound) {
    std::size_t found = table.size();
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (table[i].name == b.name) found = i;
    }
    if (found == table.size()) {
      report(b.name, std::string_view(), std::string_view("class not in the class table"));
      continue;
    }
    const contract::ClassInfo& info = table[found];
    for (const auto& m : info.members) {
      std::size_t hit = 0;
      int times = 0;
      for (std::size_t i = 0; i < b.members.size(); ++i) {
        if (b.members[i].kind == m.kind && b.members[i].name == m.name) {
          hit = i;
          ++times;
        }
      }
      if (times == 0) {
        report(b.name, m.name, std::string_view("member not bound to a C++ member"));
      } else if (times > 1) {
        report(b.name, m.name, std::string_view("member bound twice"));
      } else {
        if (!check_detail::SameSignature(b.members[hit].parameters, m.parameters)) {
          report(b.name, m.name, std::string_view("parameter types or directions differ"));
        }
        if (b.members[hit].result != m.result) {
          report(b.name, m.name, std::string_view("result type differs"));
        }
      }
    }
    for (const auto& bm : b.members) {
      bool listed = false;
      for (const auto& m : info.members)
        listed = listed || (bm.kind == m.kind && bm.name == m.name);
      if (!listed) report(b.name, bm.name, std::string_view("bound member not in the class table"));
      if (bm.type_tag != b.type_tag) {
        report(b.name, bm.name, std::string_view("bound to a member of another C++ class"));
      }
    }
  }
}

constexpr int CountBindingProblems(std::span<const contract::ClassInfo> table,
                                   std::span<const BoundClass> bound) {
  int problems = 0;
  CheckBindings(table, bound,
                [&problems](std::string_view, std::string_view, std::string_view) { ++problems; });
  return problems;
}

}  // namespace vexmar::dispatch
