#!/usr/bin/env bash
# Runs the zip, package-part, XML workbook and XML skeleton fuzzers briefly from a seed corpus made of
# the fixtures. FUZZ_SECONDS sets the time per fuzzer (default 15).
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${FUZZ_SECONDS:-15}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target zip_container_fuzzer package_parts_fuzzer xml_workbook_fuzzer \
  xml_skeleton_fuzzer
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if command -v python3 >/dev/null; then
  python3 fuzz/make_zip_xml_seeds.py tests/workbook/fixtures "$work/seeds"
else  # without Python the fixtures themselves seed every target
  for target in zip_container package_parts xml_workbook xml_skeleton; do
    mkdir -p "$work/seeds/$target"
    cp tests/workbook/fixtures/*.{xlsx,xlsm,xltx,xlsb,ods,ots,fods,xml,zip} "$work/seeds/$target/" 2>/dev/null || true
  done
fi
for target in zip_container package_parts xml_workbook xml_skeleton; do
  mkdir -p "$work/corpus-$target"
  echo "== fuzzing $target for ${seconds}s"
  build/fuzz/fuzz/${target}_fuzzer -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix="$work/" "$work/corpus-$target" "$work/seeds/$target" 2>&1 | tail -n 3
done
