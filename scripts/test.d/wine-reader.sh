#!/usr/bin/env bash
# The embedded workbook reader inside the Windows server, under Wine (x86 and x64):
#  1. the reader's own suites (fixture tables, code pages, damaged and hostile files),
#     cross-built and run on Windows;
#  2. every fixture listed by the Windows reader and by the Linux reader: identical lines
#     (names, or error number and description);
#  3. the worksheet-check table (sheets.vbs through cscript, and the C++ client
#     vexmar_sheet_client) against the Linux build's answers, with the setting
#     SpreadsheetApplication at Embedded (machine-wide), AutomationThenEmbedded (per user)
#     and embedded (environment variable), and no spreadsheet application registered;
#     with no setting the check must keep today's cannot-open answer. The table runs
#     first without the platform's collection library (as on a machine that never had
#     the platform's runtime), then with the build's stand-in for it registered.
# Needs the tools that scripts/test.d/windows.sh installs; when they are missing the step
# cannot run (scripts/lib/steps.sh: a failure in CI, else a skip). On a machine whose
# kernel runs no 32-bit programs only the x64 runs are made (scripts/lib/x86.sh).
set -uo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib/deps.sh
source scripts/lib/steps.sh
source scripts/lib/x86.sh
source scripts/lib/wine.sh
root_dir=$(pwd)
started=$(date +%s)
jobs=$(nproc)

wine_step_prerequisites wine-reader "$wine32" "$wine64" -- i686-w64-mingw32-g++ x86_64-w64-mingw32-g++ iconv

echo "== wine-reader: building (x86, x64, Linux tools)"
for preset in windows-x86 windows-x64; do
  { cmake --preset "$preset" >/dev/null &&
    cmake --build --preset "$preset" -j "$jobs" --target VexmarExt vexmar_workbook_tests \
      vexmar_list_worksheets vexmar_sheet_client vexmar_com_client >/dev/null; } ||
    { echo "== wine-reader: build of $preset failed"; exit 1; }
done
{ cmake --preset debug >/dev/null &&
  cmake --build --preset debug -j "$jobs" --target vexmar_list_worksheets vexmar_sheet_check >/dev/null; } ||
  { echo "== wine-reader: Linux build failed"; exit 1; }
built=$(date +%s)

arches=("${run_arches[@]}")

wine_fresh_prefix wine-reader || exit 1
prefix=$WINEPREFIX

fixtures=$root_dir/tests/workbook/fixtures
win_fixtures="Z:${fixtures//\//\\}"
work=$prefix/drive_c/vexmar-reader
mkdir -p "$work"
mapfile -t books < <(cat "$fixtures"/expect-*.tsv | grep -v '^#' | cut -f1 | grep . | sort -u)
printf '%s\n' "${books[@]}" >"$work/books.txt"
rules=$root_dir/tests/com/scripts/sheet-rules.txt
iconv -f UTF-8 -t GBK "$rules" >"$work/rules.gbk"
iconv -f UTF-8 -t GBK tests/com/scripts/sheets.vbs >"$work/sheets.vbs"
for arch in x86 x64; do
  # The stand-in library stays out of the programs' folders: the system would find it
  # there by its file name.
  mkdir -p "$work/$arch" "$work/standin-$arch"
  cp build/windows-$arch/vexmar/com/VexmarExt.dll build/windows-$arch/tests/com/wine/vexmar_sheet_client.exe \
     build/windows-$arch/tests/com/wine/vexmar_com_client.exe \
     build/windows-$arch/tests/workbook/wine/vexmar_workbook_tests.exe \
     build/windows-$arch/tests/workbook/wine/vexmar_list_worksheets.exe "$work/$arch/"
  cp build/windows-$arch/vexmar/com/generated/CollectionLibrary.tlb "$work/standin-$arch/"
done

loader() { [ "$1" = x86 ] && echo "$wine32" || echo "$wine64"; }
sysdir() { [ "$1" = x86 ] && echo 'C:\windows\syswow64' || echo 'C:\windows\system32'; }
status=0
summary=()
same() {  # label, expected file, got file
  if diff -u "$2" "$3" >"$3.diff"; then
    summary+=("$1: identical ($(wc -l <"$2") lines)")
  else
    status=1
    summary+=("$1: DIFFERENT")
    echo "-- $1 differs:"
    head -40 "$3.diff"
  fi
}

# 1 and 2: the reader itself.
(cd "$fixtures" && "$root_dir/build/debug/tests/workbook/vexmar_list_worksheets" "${books[@]}") >"$work/list-linux.txt"
for arch in "${arches[@]}"; do
  win=$(loader $arch)
  # The one suite left out builds file names from narrow UTF-8 text, which Windows reads
  # in the ANSI code page; the server always passes wide names.
  (cd "$fixtures" && "$win" "C:\\vexmar-reader\\$arch\\vexmar_workbook_tests.exe" \
     --gtest_filter=-SheetNameFromFileName.* >"$work/suites-$arch.txt" 2>&1)
  counts=$(grep -a 'test suites ran' "$work/suites-$arch.txt" | tr -d '\r')
  if grep -aq '^\[  PASSED  \]' "$work/suites-$arch.txt" && ! grep -aq 'FAILED' "$work/suites-$arch.txt"; then
    summary+=("reader suites $arch: ${counts:-?}, all passed")
  else
    status=1
    summary+=("reader suites $arch: FAILED (${counts:-no result})")
    grep -a -B2 -A8 'Failure\|FAILED' "$work/suites-$arch.txt" | head -60
  fi
  (cd "$fixtures" && "$win" "C:\\vexmar-reader\\$arch\\vexmar_list_worksheets.exe" "${books[@]}" 2>&1) |
    tr -d '\r' >"$work/list-$arch.txt"
  same "fixture listing $arch" "$work/list-linux.txt" "$work/list-$arch.txt"
done

# 3: the worksheet check through the registered server, without a spreadsheet application.
"$root_dir/build/debug/tests/sheets/vexmar_sheet_check" "$fixtures" "$rules" "${books[@]}" >"$work/sheets-linux.txt"
awk -F'\t' '{print $1 "\t" $2 "\tFalse\t无法打开EXCEL,请确定是否安装了EXCEL!\t"}' "$work/sheets-linux.txt" \
  >"$work/sheets-automation.txt"
for arch in "${arches[@]}"; do
  "$(loader $arch)" "$(sysdir $arch)\\regsvr32.exe" /s "C:\\vexmar-reader\\$arch\\VexmarExt.dll" >/dev/null 2>&1
done
# The stand-in collection library, registered or removed for the table's second run.
collection_library() {  # register | unregister
  local arch
  for arch in "${arches[@]}"; do
    "$(loader $arch)" "C:\\vexmar-reader\\$arch\\vexmar_com_client.exe" "$1-collection-library" \
      "C:\\vexmar-reader\\standin-$arch\\CollectionLibrary.tlb" >"$work/collection-$1-$arch.txt" 2>&1 ||
      { status=1; echo "-- $1 the stand-in collection library ($arch) failed:"; grep -av '^ok' "$work/collection-$1-$arch.txt"; }
  done
}
set_value() {  # hive, value (empty: delete)
  if [ -n "$2" ]; then
    "$wine64" reg add "$1\\Software\\VexmarExt" /v SpreadsheetApplication /t REG_SZ /d "$2" /f >/dev/null 2>&1
  else
    "$wine64" reg delete "$1\\Software\\VexmarExt" /f >/dev/null 2>&1
  fi
}
run_table() {  # label, expected file
  local label=$1 expected=$2 arch win
  for arch in "${arches[@]}"; do
    win=$(loader $arch)
    rm -f "$work/vbs.log"
    "$win" "$(sysdir $arch)\\cscript.exe" //nologo 'C:\vexmar-reader\sheets.vbs' "$win_fixtures" \
      'C:\vexmar-reader\rules.gbk' 'C:\vexmar-reader\books.txt' 'C:\vexmar-reader\vbs.log' >/dev/null 2>&1
    if [ -f "$work/vbs.log" ]; then
      iconv -f UTF-16 -t UTF-8 "$work/vbs.log" | tr -d '\r' >"$work/vbs-$label-$arch.txt"
    else
      : >"$work/vbs-$label-$arch.txt"
    fi
    same "sheets.vbs $label $arch" "$expected" "$work/vbs-$label-$arch.txt"
    (cd "$work" && "$win" "C:\\vexmar-reader\\$arch\\vexmar_sheet_client.exe" "$win_fixtures" \
       "Z:${rules//\//\\}" "${books[@]}" 2>&1) | tr -d '\r' >"$work/client-$label-$arch.txt"
    same "C++ client $label $arch" "$expected" "$work/client-$label-$arch.txt"
  done
}
run_tables() {  # machine label
  run_table "automation-default $1" "$work/sheets-automation.txt"
  set_value HKLM Embedded
  run_table "embedded-machine $1" "$work/sheets-linux.txt"
  set_value HKCU AutomationThenEmbedded
  set_value HKLM Automation
  run_table "automation-then-embedded-user $1" "$work/sheets-linux.txt"
  set_value HKCU ""
  set_value HKLM ""
  VEXMAR_SPREADSHEET_APPLICATION=embedded run_table "embedded-environment $1" "$work/sheets-linux.txt"
}
run_tables without-collection-library
collection_library register
run_tables with-collection-library
collection_library unregister
for arch in "${arches[@]}"; do
  "$(loader $arch)" "$(sysdir $arch)\\regsvr32.exe" /u /s "C:\\vexmar-reader\\$arch\\VexmarExt.dll" >/dev/null 2>&1
  printf '== wine-reader: VexmarExt.dll %s: %s bytes, imports %s\n' "$arch" \
    "$(stat -c %s "$work/$arch/VexmarExt.dll")" \
    "$(objdump -p "$work/$arch/VexmarExt.dll" 2>/dev/null | awk '/DLL Name:/ {print $3}' | tr '\n' ' ')"
done
[[ " ${run_arches[*]} " == *" x86 "* ]] || summary+=("x86 runs: $x86_not_possible")
printf '== wine-reader: %s\n' "${summary[@]}"
for line in "${summary[@]}"; do step_note "$line"; done
finished=$(date +%s)
echo "== wine-reader: build $((built - started)) s, Wine tests $((finished - built)) s"
exit $status
