# Sourced by scripts/demo, scripts/test and the Windows steps: makes sure Debian packages
# are present.

# missing_packages <list-file>: prints the packages of the list that are not installed.
missing_packages() {
  local pkg
  while read -r pkg; do
    pkg=${pkg%%#*}; pkg=${pkg// /}
    [ -n "$pkg" ] || continue
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || echo "$pkg"
  done < "$1"
}

# install_command <package>...: what a user without root runs to install them.
install_command() {
  local prefix=
  [[ " $* " == *":i386 "* ]] && prefix="sudo dpkg --add-architecture i386 && sudo apt-get update && "
  echo "${prefix}sudo apt-get install --no-install-recommends $*"
}

# install_command_for <list-file>: install_command for the packages of the list that are
# missing, or for all of them when none is (a tool they bring is missing nonetheless).
install_command_for() {
  local missing
  mapfile -t missing < <(missing_packages "$1")
  [ ${#missing[@]} -gt 0 ] || mapfile -t missing < <(sed -e 's/#.*//' "$1" | tr -s ' \n' '\n' | grep .)
  install_command "${missing[@]}"
}

# install_packages <package>...: apt-get as root; false when they cannot be installed.
install_packages() {
  [[ " $* " == *":i386 "* ]] && { dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386; }
  export DEBIAN_FRONTEND=noninteractive
  { apt-get update -qq >/dev/null || apt-get update; } &&
    { apt-get install -y -qq --no-install-recommends "$@" >/dev/null ||
      apt-get install -y --no-install-recommends "$@"; }
}

# ensure_packages <list-file>: installs the missing ones via apt-get when running as root,
# otherwise names them and stops.
ensure_packages() {
  local missing
  mapfile -t missing < <(missing_packages "$1")
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "== installing: ${missing[*]}"
    install_packages "${missing[@]}"
  else
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Install them with: $(install_command "${missing[@]}")" >&2
    return 1
  fi
}
