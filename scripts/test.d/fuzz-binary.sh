#!/usr/bin/env bash
# Builds the compound-file / BIFF fuzzers and the ListWorksheets fuzzer ("fuzz" preset,
# clang) and runs each briefly, seeded from fuzz/corpus (or the fixtures) and, when
# present, the external real workbooks (see fuzz-common.bash for the variables and where
# crashes are kept).
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/test.d/fuzz-common.bash
targets=(list_worksheets compound_file compound_lenient biff)

echo "== [fuzz] configure + build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]/%/_fuzzer}"

# The lenient target reads four bytes of changes before each file: its fixture seeds
# carry every change at once.
lenient=build/fuzz/seeds-compound-lenient
mkdir -p "$lenient"
for f in tests/workbook/fixtures/*.xls; do
  { printf '\x07\x01\x01\x00'; cat "$f"; } >"$lenient/$(basename "$f")"
done

external=$(fuzz_external_seeds)
for name in "${targets[@]}"; do
  seeds=fuzz/corpus/$name
  [ "$name" = compound_lenient ] && seeds=$lenient
  [ -d "$seeds" ] || seeds=tests/workbook/fixtures
  fuzz_run "$name" "build/fuzz/run-binary/$name" "$seeds" ${external:+"$external/$name"}
done
