# Sourced by scripts/demo and scripts/test: makes sure Debian packages are present.
# ensure_packages <list-file>: installs the missing ones via apt-get when running as root,
# otherwise names them and stops.
ensure_packages() {
  local list_file=$1 missing=() pkg
  while read -r pkg; do
    pkg=${pkg%%#*}; pkg=${pkg// /}
    [ -n "$pkg" ] || continue
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done < "$list_file"
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "== installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null || apt-get update
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || \
      apt-get install -y --no-install-recommends "${missing[@]}"
  else
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Install them with: sudo apt-get install ${missing[*]}" >&2
    return 1
  fi
}
