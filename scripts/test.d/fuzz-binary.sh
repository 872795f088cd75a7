#!/usr/bin/env bash
# Builds the compound-file / BIFF fuzzers and the ListWorksheets fuzzer ("fuzz" preset,
# clang) and runs each briefly, seeded from fuzz/corpus (or the fixtures) and, when
# present, the external real workbooks (see fuzz-common.bash for the variables and where
# crashes are kept).
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/test.d/fuzz-common.bash
targets=(list_worksheets compound_file biff)

echo "== [fuzz] configure + build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]/%/_fuzzer}"

external=$(fuzz_external_seeds)
for name in "${targets[@]}"; do
  seeds=fuzz/corpus/$name
  [ -d "$seeds" ] || seeds=tests/workbook/fixtures
  fuzz_run "$name" "build/fuzz/run-binary/$name" "$seeds" ${external:+"$external/$name"}
done
