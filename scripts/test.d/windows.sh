#!/usr/bin/env bash
# The Windows part of the test command. Cross-builds the 32-bit and the 64-bit
# VexmarExt.dll with MinGW-w64 and tests them under Wine on two machines, each a fresh
# prefix: one without the platform's collection library (as a Windows machine that never
# had the platform's runtime), one with the build's stand-in for it registered. On each:
# registration with regsvr32, the C++ client (unwind tables, registry, type library
# against the class table, module, binding, unregistration), the VBScript and JScript
# suites through cscript with the stand-in spreadsheet application, and at the end
# unregistration, after which nothing of the library may be left in the registry.
# Installs scripts/packages-windows.txt when run as root; when they are missing and cannot
# be installed the step cannot run (scripts/lib/steps.sh: a failure in CI, else a skip).
# On a machine whose kernel runs no 32-bit programs the x86 server is built and checked
# from its file only (scripts/lib/x86.sh), and only the x64 runs are made.
set -uo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib/deps.sh
source scripts/lib/steps.sh
source scripts/lib/x86.sh
source scripts/lib/wine.sh
started=$(date +%s)
jobs=$(nproc)

have_tools() {
  local tool
  for tool in i686-w64-mingw32-g++ x86_64-w64-mingw32-g++ i686-w64-mingw32-widl \
              x86_64-w64-mingw32-widl i686-w64-mingw32-objdump iconv; do
    command -v "$tool" >/dev/null || return 1
  done
  [ -x "$wine32" ] && [ -x "$wine64" ] && [ -f /usr/include/wine/wine/windows/oaidl.idl ] &&
    [ -d /usr/lib/i386-linux-gnu/wine/i386-windows ]
}

mapfile -t missing < <(missing_packages scripts/packages-windows.txt)
if [ ${#missing[@]} -gt 0 ] || ! have_tools; then
  install=$(install_command_for scripts/packages-windows.txt)
  [ "$(id -u)" -eq 0 ] || step_unavailable windows "MinGW-w64 or Wine missing, and not root to install them" "$install"
  echo "== windows: installing the cross compilers and Wine: ${missing[*]}"
  install_packages "${missing[@]}" || step_unavailable windows "the packages could not be installed" "$install"
  have_tools || step_unavailable windows "the tools are still missing after installing" "$install"
fi

set_run_arches windows

# Wine takes its code page from the locale: a Chinese one gives code page 936.
zh_locale=$(locale -a 2>/dev/null | grep -i '^zh_CN' | head -n1)
if [ -z "$zh_locale" ]; then
  [ "$(id -u)" -eq 0 ] && localedef -i zh_CN -f UTF-8 zh_CN.UTF-8 2>/dev/null && zh_locale=zh_CN.UTF-8
  [ -n "$zh_locale" ] || step_unavailable windows "no zh_CN locale and none could be made" "$(install_command locales)"
fi

echo "== windows: cross-building VexmarExt.dll (x86, x64)"
for preset in windows-x86 windows-x64; do
  cmake --preset "$preset" >/dev/null &&
    cmake --build --preset "$preset" -j "$jobs" \
      --target VexmarExt vexmar_com_client StandInSpreadsheet >/dev/null ||
    { echo "== windows: build of $preset failed"; cmake --build --preset "$preset" -j 1 2>&1 | tail -40; exit 1; }
done
built=$(date +%s)

# Wine runs: 32-bit programs only where the kernel runs them (set_run_arches above).
arches=("${run_arches[@]}")

loader() { [ "$1" = x86 ] && echo "$wine32" || echo "$wine64"; }
sysdir() { [ "$1" = x86 ] && echo 'C:\windows\syswow64' || echo 'C:\windows\system32'; }

status=0
summary=()
run_step() {  # label, output file, command...
  local label=$1 out=$2
  shift 2
  "$@" >"$out" 2>&1
  local rc=$?
  local counts
  counts=$(grep -aE '[0-9]+ passed, [0-9]+ failed' "$out" | tail -n1)
  summary+=("$label: ${counts:-no result (exit $rc)}")
  if [ $rc -ne 0 ] || [ -z "$counts" ]; then
    status=1
    echo "-- $label failed:"
    grep -av '^ok' "$out" | head -60
  fi
}

# One machine in a fresh prefix. A fresh prefix, like a Windows machine that never had
# the platform's runtime, has no collection library; with "standin" the build's
# stand-in is registered under its LIBID for the run (and removed), as on a machine that
# has the runtime. Everything must pass on both.
test_machine() {  # standin | bare
  local machine=$1 label arch win sys dll suite
  [ "$machine" = standin ] && label="with the collection library" || label="without the collection library"
  echo "== windows: fresh Wine prefix, $label ($zh_locale)"
  wine_fresh_prefix windows || { status=1; return; }

  root=$WINEPREFIX/drive_c/vexmar
  mkdir -p "$root/work/names/sub.xls" "$root/work/sheets"
  for arch in x86 x64; do
    build=build/windows-$arch
    # The stand-in library stays out of the programs' folders: the system would find it
    # there by its file name.
    mkdir -p "$root/$arch" "$root/standin-$arch"
    cp "$build/vexmar/com/VexmarExt.dll" "$build/tests/com/wine/vexmar_com_client.exe" \
       "$build/tests/com/wine/StandInSpreadsheet.dll" "$root/$arch/"
    cp "$build/vexmar/com/generated/CollectionLibrary.tlb" "$root/standin-$arch/"
  done
  for suite in suite.vbs suite.js; do
    iconv -f UTF-8 -t GBK "tests/com/scripts/$suite" >"$root/$suite"
  done
  # Answer files: ordinary ones, a hidden one, a directory, a long name whose short name
  # would end in .XLS; workbooks for the stand-in application.
  touch "$root/work/names/"{a.xls,B.XLS,book.xlsx,c.txt,.hidden.xls}
  printf 'SHEETS\nSheet1\nMySheet2\nData\n' >"$root/work/sheets/book.xls"
  printf 'NOTHING\n' >"$root/work/sheets/nothing.xls"
  printf 'REFUSE\n文件已损坏，无法打开\n' >"$root/work/sheets/refused.xls"
  printf 'SHEETS\nS1\n!fail\n' >"$root/work/sheets/badname.xls"
  printf 'SHEETS\n工作表一\nData\n' >"$root/work/sheets/cn.xls"

  for arch in "${arches[@]}"; do
    win=$(loader "$arch")
    sys=$(sysdir "$arch")
    for dll in VexmarExt StandInSpreadsheet; do
      "$win" "$sys\\regsvr32.exe" /s "C:\\vexmar\\$arch\\$dll.dll" >/dev/null 2>&1
    done
    if [ "$machine" = standin ]; then
      run_step "collection library $arch" "$root/collection-$arch.txt" \
        "$win" "C:\\vexmar\\$arch\\vexmar_com_client.exe" register-collection-library \
        "C:\\vexmar\\standin-$arch\\CollectionLibrary.tlb"
    fi
  done
  for arch in "${arches[@]}"; do
    win=$(loader "$arch")
    sys=$(sysdir "$arch")
    run_step "client $arch, $label" "$root/client-$arch.txt" \
      "$win" "C:\\vexmar\\$arch\\vexmar_com_client.exe" check "C:\\vexmar\\$arch\\VexmarExt.dll"
    for suite in suite.vbs suite.js; do
      run_step "$suite $arch, $label" "$root/$suite-$arch.txt" \
        "$win" "$sys\\cscript.exe" //nologo "C:\\vexmar\\$suite" 'C:\vexmar\work' "C:\\vexmar\\$suite-$arch.log"
      if [ -f "$root/$suite-$arch.log" ] && grep -q . "$root/$suite-$arch.txt"; then
        iconv -f UTF-16 -t UTF-8 "$root/$suite-$arch.log" | grep -av '^ok' | head -40
      fi
    done
  done
  for arch in "${arches[@]}"; do
    win=$(loader "$arch")
    sys=$(sysdir "$arch")
    for dll in VexmarExt StandInSpreadsheet; do
      "$win" "$sys\\regsvr32.exe" /u /s "C:\\vexmar\\$arch\\$dll.dll" >/dev/null 2>&1
    done
  done
  for arch in "${arches[@]}"; do
    if [ "$machine" = standin ]; then
      run_step "collection library removed $arch" "$root/collection-removed-$arch.txt" \
        "$(loader "$arch")" "C:\\vexmar\\$arch\\vexmar_com_client.exe" unregister-collection-library \
        "C:\\vexmar\\standin-$arch\\CollectionLibrary.tlb"
    fi
    run_step "unregistered $arch, $label" "$root/absent-$arch.txt" \
      "$(loader "$arch")" "C:\\vexmar\\$arch\\vexmar_com_client.exe" absent
  done
  "$wineserver" -k 2>/dev/null
}

test_machine bare
test_machine standin

if [[ " ${run_arches[*]} " != *" x86 "* ]]; then
  echo "== windows: the x86 server, checked from its file:"
  if check_x86_dll_statically build/windows-x86/vexmar/com/VexmarExt.dll \
       build/windows-x64/vexmar/com/VexmarExt.dll vexmar/com/exports.def; then
    summary+=("x86 server file: imports, exports and unwind tables pass")
  else
    status=1
    summary+=("x86 server file: FAILED")
  fi
  summary+=("x86 runs: $x86_not_possible")
fi

for arch in x86 x64; do
  printf '== windows: VexmarExt.dll %s: %s bytes, imports %s\n' "$arch" \
    "$(stat -c %s "$root/$arch/VexmarExt.dll")" \
    "$(objdump -p "$root/$arch/VexmarExt.dll" 2>/dev/null | awk '/DLL Name:/ {print $3}' | tr '\n' ' ')"
done
printf '== windows: %s\n' "${summary[@]}"
for line in "${summary[@]}"; do step_note "$line"; done
finished=$(date +%s)
echo "== windows: build $((built - started)) s, Wine tests $((finished - built)) s, total $((finished - started)) s"
exit $status
