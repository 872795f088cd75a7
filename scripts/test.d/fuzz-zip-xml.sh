#!/usr/bin/env bash
# Builds the zip, package-part, XML workbook and XML skeleton fuzzers ("fuzz" preset,
# clang) and runs each briefly, seeded from the fixtures and, when present, the external
# real workbooks (see fuzz-common.bash for the variables and where crashes are kept).
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/test.d/fuzz-common.bash
targets=(zip_container package_parts xml_workbook xml_skeleton)
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]/%/_fuzzer}"

fixture_seeds=build/fuzz/seeds-zip-xml
rm -rf "$fixture_seeds"
if [ -x /usr/bin/python3 ]; then
  /usr/bin/python3 fuzz/make_zip_xml_seeds.py tests/workbook/fixtures "$fixture_seeds"
else  # without Python the fixtures themselves seed every target
  for target in "${targets[@]}"; do
    mkdir -p "$fixture_seeds/$target"
    cp tests/workbook/fixtures/*.{xlsx,xlsm,xltx,xlsb,ods,ots,fods,xml,zip} "$fixture_seeds/$target/" 2>/dev/null || true
  done
fi
external=$(fuzz_external_seeds)
for target in "${targets[@]}"; do
  fuzz_run "$target" "build/fuzz/corpus-$target" "$fixture_seeds/$target" \
    ${external:+"$external/$target"}
done
