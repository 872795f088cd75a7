#!/usr/bin/env bash
# as_subproject.sh <repository> <parent-source> <c++ compiler>
# Configures a parent project that adds this one with add_subdirectory(): the parent
# gets the library and its link targets, but none of this project's tests, examples,
# benchmarks or tools, and no install rules.
set -euo pipefail
repository=$1 parent=$2 cxx=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake -S "$parent" -B "$work/build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
  -DVEXMAR_SOURCE_DIR="$repository" >/dev/null

tests=$(ctest --test-dir "$work/build" -N | sed -n 's/^Total Tests: //p')
[ "$tests" = 1 ] || { echo "expected the parent's one test, found $tests"; exit 1; }

cmake --build "$work/build" --target help | sed -n 's/^\([^ :]*\):.*/\1/p' | sort >"$work/targets"
grep -qx VexmarExt "$work/targets" || { echo "the library target is missing"; exit 1; }
unwanted=$(grep -E '_tests?$|^bench|_bench$|^vexmar_demo$|^vexmar_example_host$|^vexmar_reference_doc|fuzzer$|^gtest' \
  "$work/targets" || true)
[ -z "$unwanted" ] || { echo "targets a parent does not want:"; echo "$unwanted"; exit 1; }

cmake --install "$work/build" --prefix "$work/prefix" >/dev/null
[ ! -e "$work/prefix" ] || { echo "installed files:"; find "$work/prefix" -type f; exit 1; }
echo "subproject check passed"
