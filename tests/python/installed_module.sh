#!/usr/bin/env bash
# Installs the Python module into temporary prefixes and imports it from there, with
# nothing of the build tree on the path: under a prefix ending in /usr it goes to
# lib/python3/dist-packages (as in the .deb), under others to lib/python3.X/dist-packages.
#   installed_module.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version=$(/usr/bin/python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')
cmake --install "$build" --prefix "$work/system/usr" --component python >/dev/null
test -f "$work/system/usr/lib/python3/dist-packages/vexmar/__init__.pyi"
cmake --install "$build" --prefix "$work/prefix" --component python >/dev/null
module_dir=lib/python$version/dist-packages
test -f "$work/prefix/$module_dir/vexmar/__init__.pyi"
cd "$work"
PYTHONPATH="$work/prefix/$module_dir" /usr/bin/python3 -c '
import vexmar
assert vexmar.__file__.startswith("'"$work"'"), vexmar.__file__
p = vexmar.Dispatch("VexmarExt.ClsPatternMatchStr")
assert p.MatchString("abc", "b", 1, 0) == (2, 1)
print("installed module works:", vexmar.__file__)'
