#!/usr/bin/env bash
# Runs the weight-reader fuzzer (a differential check against strtof/strtod) briefly on its
# seed corpus. VEXMAR_FUZZ_SECONDS sets the time (default 15).
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${VEXMAR_FUZZ_SECONDS:-15}

echo "== [fuzz] configure + build rule_numbers_fuzzer"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target rule_numbers_fuzzer

work=build/fuzz/run-rule-numbers
artifacts=build/fuzz/artifacts
rm -rf "$work"
mkdir -p "$work" "$artifacts"
echo "== [fuzz] rule_numbers for ${seconds}s"
build/fuzz/fuzz/rule_numbers_fuzzer -max_total_time="$seconds" -timeout=10 -max_len=4096 \
  -artifact_prefix="$artifacts/rule_numbers-" -print_final_stats=1 "$work" fuzz/corpus/rule_numbers \
  > "$work.log" 2>&1 || { tail -n 40 "$work.log"; exit 1; }
grep -E '^stat::number_of_executed_units' "$work.log" || true
