#!/usr/bin/env bash
# The Windows package tried as a user would, under Wine: scripts/package-windows builds
# VexmarExt-<version>-windows.zip; it is unpacked into a fresh prefix (no collection
# library of the platform's, as on a machine that never had its runtime), register.cmd
# registers it, the read-me's SpreadsheetApplication setting chooses the embedded
# reader, the sample host grade.vbs grades the sample exam and its candidate sections
# must equal the C++ example host's, unregister.cmd removes it, and then nothing of the
# library may be left in the registry.
# Needs the tools that scripts/test.d/windows.sh installs; when they are missing the step
# cannot run (scripts/lib/steps.sh: a failure in CI, else a skip). On a machine whose
# kernel runs no 32-bit programs only the 64-bit half of the package is run.
set -uo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib/deps.sh
source scripts/lib/steps.sh
source scripts/lib/x86.sh
source scripts/lib/wine.sh

wine_step_prerequisites wine-package "$wine64" -- i686-w64-mingw32-g++ x86_64-w64-mingw32-g++ iconv unzip

echo "== wine-package: building the package and the C++ example host"
zip_path=$(scripts/package-windows | tail -n1) || { echo "== wine-package: packaging failed"; exit 1; }
{ cmake --preset windows-x64 >/dev/null &&
  cmake --build --preset windows-x64 -j "$(nproc)" --target vexmar_com_client >/dev/null &&
  cmake --preset debug >/dev/null &&
  cmake --build --preset debug -j "$(nproc)" --target vexmar_demo >/dev/null; } ||
  { echo "== wine-package: build failed"; exit 1; }

wine_fresh_prefix wine-package || exit 1
prefix=$WINEPREFIX

status=0
fail() {
  status=1
  echo "-- $*"
}
echo "== wine-package: $zip_path"
unzip -l "$zip_path" | sed 's/^/   /'
install=$prefix/drive_c/VexmarExt
mkdir -p "$install"
unzip -q "$zip_path" -d "$install" || fail "unzip failed"
out=$prefix/drive_c/out
mkdir -p "$out"

# register.cmd, as an administrator runs it. 32-bit registration needs a kernel that
# runs 32-bit programs.
# cmd writes in the ANSI code page; started with /c, as from Explorer, the script ends
# with a pause, which the empty input answers.
run_cmd() {  # script, transcript
  "$wine64" cmd /c "C:\\VexmarExt\\$1" </dev/null 2>&1 | iconv -f GBK -t UTF-8 -c | tr -d '\r' |
    sed '$a\' >"$2"
}
run_cmd register.cmd "$out/register.txt"
sed 's/^/   register.cmd: /' "$out/register.txt"
grep -q '^Administrator rights: yes' "$out/register.txt" || fail "register.cmd saw no rights"
grep -q '^x64: registered ' "$out/register.txt" || fail "register.cmd did not register x64"
if [[ " ${run_arches[*]} " == *" x86 "* ]]; then
  grep -q '^x86: registered ' "$out/register.txt" || fail "register.cmd did not register x86"
  hosts=(x64 x86)
else
  grep -q '^x86: FAILED' "$out/register.txt" || fail "register.cmd reported no x86 failure"
  echo "   (x86: $x86_not_possible)"
  step_note "x86 runs: $x86_not_possible"
  hosts=(x64)
fi

# The sample host against the sample exam, with the embedded reader as the read-me sets
# it; its candidate sections against the C++ host's report.
"$wine64" reg add 'HKLM\Software\VexmarExt' /v SpreadsheetApplication /t REG_SZ /d Embedded \
  /f /reg:64 >/dev/null 2>&1 || fail "the setting could not be written"
sections() {  # report: from the first candidate on, test paths left out
  tr -d '\r' <"$1" | sed -n '/^candidate /,$p' | sed 's/  (TestPath .*)$//'
}
build/debug/examples/vexmar_demo --no-timing --no-progress examples/sample-exam >"$out/cpp-report.txt"
sections "$out/cpp-report.txt" >"$out/cpp-sections.txt"
for host in "${hosts[@]}"; do
  [ "$host" = x86 ] && { win=$wine32; sys='C:\windows\syswow64'; } || { win=$wine64; sys='C:\windows\system32'; }
  rm -f "$out/report-$host.txt"
  "$win" "$sys\\cscript.exe" //nologo 'C:\VexmarExt\grade.vbs' 'C:\VexmarExt\sample-exam' \
    "C:\\out\\report-$host.txt" >/dev/null 2>&1
  if [ ! -f "$out/report-$host.txt" ]; then
    fail "grade.vbs ($host cscript) wrote no report"
    continue
  fi
  iconv -f UTF-16 -t UTF-8 "$out/report-$host.txt" | sections /dev/stdin >"$out/vbs-sections-$host.txt"
  if [ -s "$out/cpp-sections.txt" ] && diff -u "$out/cpp-sections.txt" "$out/vbs-sections-$host.txt" >"$out/diff-$host.txt"; then
    echo "   grade.vbs ($host cscript): candidate sections identical to the C++ host's" \
      "($(grep -c '^candidate ' "$out/cpp-sections.txt") candidates, $(wc -l <"$out/cpp-sections.txt") lines)"
  else
    fail "grade.vbs ($host cscript): candidate sections differ from the C++ host's:"
    head -40 "$out/diff-$host.txt"
  fi
done
"$wine64" reg query 'HKCR\TypeLib\{000204EF-0000-0000-C000-000000000046}' >/dev/null 2>&1 &&
  fail "the platform's collection library was registered by the package"

# unregister.cmd and the read-me's removal of the setting; then the registry check.
run_cmd unregister.cmd "$out/unregister.txt"
sed 's/^/   unregister.cmd: /' "$out/unregister.txt"
grep -q '^x64: unregistered ' "$out/unregister.txt" || fail "unregister.cmd did not unregister x64"
"$wine64" reg delete 'HKLM\Software\VexmarExt' /f /reg:64 >/dev/null 2>&1
mkdir -p "$prefix/drive_c/check"
cp build/windows-x64/tests/com/wine/vexmar_com_client.exe "$prefix/drive_c/check/"
"$wine64" 'C:\check\vexmar_com_client.exe' absent >"$out/absent.txt" 2>&1 ||
  { fail "entries of the library are left in the registry:"; grep -av '^ok' "$out/absent.txt"; }
echo "   registry after unregister.cmd: $(grep -a 'passed' "$out/absent.txt" | tr -d '\r')"
step_note "registry after unregister.cmd: $(grep -a 'passed' "$out/absent.txt" | tr -d '\r')"
"$wine64" reg query 'HKLM\Software\VexmarExt' /reg:64 >/dev/null 2>&1 &&
  fail "HKLM\\Software\\VexmarExt is left"

[ $status -eq 0 ] && echo "== wine-package: passed" || echo "== wine-package: FAILED"
exit $status
