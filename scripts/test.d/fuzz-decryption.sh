#!/usr/bin/env bash
# Builds the fuzzers of workbooks saved with a password ("fuzz" preset, clang) and runs
# each briefly on its seed corpus (fuzz/corpus/<name>, made by fuzz/make_decryption_seeds.py).
# VEXMAR_FUZZ_SECONDS sets the time per fuzzer (default 15).
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${VEXMAR_FUZZ_SECONDS:-15}
targets=(biff_decryption encrypted_package)

echo "== [fuzz] configure + build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]/%/_fuzzer}"

work=build/fuzz/run-decryption
artifacts=build/fuzz/artifacts
rm -rf "$work"
mkdir -p "$work" "$artifacts"
for name in "${targets[@]}"; do
  seeds=fuzz/corpus/$name
  mkdir -p "$work/$name"
  echo "== [fuzz] $name for ${seconds}s on $seeds"
  "build/fuzz/fuzz/${name}_fuzzer" -max_total_time="$seconds" -timeout=10 -malloc_limit_mb=64 \
    -artifact_prefix="$artifacts/$name-" -print_final_stats=1 "$work/$name" "$seeds" \
    > "$work/$name.log" 2>&1 || { tail -n 40 "$work/$name.log"; exit 1; }
  grep -E '^stat::number_of_executed_units' "$work/$name.log" || true
done
