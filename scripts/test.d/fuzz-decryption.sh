#!/usr/bin/env bash
# Builds the fuzzers of workbooks saved with a password ("fuzz" preset, clang) and runs
# each briefly, seeded from fuzz/corpus/<target> (made by fuzz/make_decryption_seeds.py)
# and, when present, the external real workbooks (see fuzz-common.bash for the variables
# and where crashes are kept).
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/test.d/fuzz-common.bash
targets=(biff_decryption encrypted_package)

echo "== [fuzz] configure + build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]/%/_fuzzer}"

external=$(fuzz_external_seeds)
for name in "${targets[@]}"; do
  fuzz_run "$name" "build/fuzz/run-decryption/$name" "fuzz/corpus/$name" \
    ${external:+"$external/$name"}
done
