#!/usr/bin/env bash
# Installs the build into a temporary prefix and imports the Python module from there,
# with nothing of the build tree on the path.
#   installed_module.sh BUILD_DIR PYTHON_INSTALL_DIR
set -euo pipefail
build=$1 module_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" --component python >/dev/null
test -f "$work/prefix/$module_dir/vexmar/__init__.pyi"
cd "$work"
PYTHONPATH="$work/prefix/$module_dir" /usr/bin/python3 -c '
import vexmar
assert vexmar.__file__.startswith("'"$work"'"), vexmar.__file__
p = vexmar.Dispatch("VexmarExt.ClsPatternMatchStr")
assert p.MatchString("abc", "b", 1, 0) == (2, 1)
print("installed module works:", vexmar.__file__)'
