# Sourced by the Wine steps of scripts/test (after deps.sh, steps.sh and x86.sh): the
# loaders, and the checks each step makes before it builds anything.

wine32=/usr/lib/wine/wine
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

# wine_step_prerequisites STEP LOADER... -- TOOL...: ends the step as unavailable unless
# the Windows packages, the loaders and tools named and a zh_CN locale (Wine takes its
# code page from it) are here; then sets zh_locale and run_arches.
wine_step_prerequisites() {
  local step=$1 missing tool loader loaders=()
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do loaders+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  unavailable() { step_unavailable "$step" "$1" "$(install_command_for scripts/packages-windows.txt)"; }
  missing=$(missing_packages scripts/packages-windows.txt | tr '\n' ' ')
  [ -z "$missing" ] || unavailable "the Windows packages are missing (scripts/test.d/windows.sh installs them as root)"
  for tool in "$@"; do
    command -v "$tool" >/dev/null || unavailable "$tool missing (scripts/test.d/windows.sh installs it)"
  done
  for loader in "${loaders[@]}"; do
    [ -x "$loader" ] || unavailable "Wine missing (scripts/test.d/windows.sh installs it)"
  done
  zh_locale=$(locale -a 2>/dev/null | grep -i '^zh_CN' | head -n1)
  [ -n "$zh_locale" ] || unavailable "no zh_CN locale"
  set_run_arches "$step"
}

# wine_fresh_prefix STEP: a new, booted prefix in WINEPREFIX, as a machine that never ran
# Windows programs, in the zh_CN locale; every prefix made this way is removed, with its
# wineserver, when the step exits. Fails (after saying so) if Wine cannot boot it.
wine_prefixes=()
wine_remove_prefixes() {
  local p
  for p in "${wine_prefixes[@]}"; do
    WINEPREFIX=$p "$wineserver" -k 2>/dev/null
    rm -rf "$p"
  done
}
wine_fresh_prefix() {
  WINEPREFIX=$(mktemp -d "/tmp/vexmar-$1.XXXXXX")
  wine_prefixes+=("$WINEPREFIX")
  trap wine_remove_prefixes EXIT
  export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=$zh_locale LC_ALL=$zh_locale
  "$wine64" wineboot -i >/dev/null 2>&1 || { echo "== $1: wineboot failed"; return 1; }
}
