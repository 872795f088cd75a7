#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, "fuzz" preset) and runs every one of them briefly
# on its seed corpus: fuzz/corpus/<name> when that folder exists, otherwise the workbook
# fixtures. VEXMAR_FUZZ_SECONDS sets the time per fuzzer (default 15).
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${VEXMAR_FUZZ_SECONDS:-15}

echo "== [fuzz] configure + build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

work=build/fuzz/run
artifacts=build/fuzz/artifacts
rm -rf "$work"
mkdir -p "$work" "$artifacts"
for fuzzer in build/fuzz/fuzz/*_fuzzer; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer" _fuzzer)
  seeds=fuzz/corpus/$name
  [ -d "$seeds" ] || seeds=tests/workbook/fixtures
  mkdir -p "$work/$name"
  echo "== [fuzz] $name for ${seconds}s on $seeds"
  "$fuzzer" -max_total_time="$seconds" -timeout=10 -malloc_limit_mb=64 \
    -artifact_prefix="$artifacts/$name-" -print_final_stats=1 "$work/$name" "$seeds" \
    > "$work/$name.log" 2>&1 || { tail -n 40 "$work/$name.log"; exit 1; }
  grep -E '^stat::number_of_executed_units' "$work/$name.log" || true
done
