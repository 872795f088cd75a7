#!/usr/bin/env bash
# consume.sh <build-dir> <consumer-source> <c++ compiler>
# Installs the build into a temporary prefix, checks that exactly the public headers and
# the public symbols are installed, and builds and runs a consumer against the installed
# tree through the CMake package (shared and static) and through pkg-config.
set -euo pipefail
build=$1 consumer=$2 cxx=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
include=$prefix/include

echo "== installed headers: the umbrella header and what it includes, nothing else"
(cd "$include" && find vexmar -type f | sort) >"$work/installed"
"$cxx" -std=c++20 -I"$include" -MM -x c++ "$include/vexmar/vexmar.hpp" |
  tr ' \\' '\n\n' | grep '\.hpp$' | sed "s|^$include/||" | sort -u >"$work/reachable"
if ! diff -u "$work/reachable" "$work/installed"; then
  echo "installed headers differ from those the umbrella header reaches"
  exit 1
fi
wc -l <"$work/installed"

echo "== exported symbols: namespace vexmar only"
library=$(find "$prefix" -name 'libVexmarExt.so.*.*' | head -n1)
nm -D --defined-only "$library" | c++filt | awk '{ $1 = ""; $2 = ""; print }' >"$work/exported"
wc -l <"$work/exported"
if grep -v 'vexmar::' "$work/exported"; then
  echo "symbols outside namespace vexmar are exported"
  exit 1
fi

echo "== CMake package (shared and static; every header alone)"
cmake -S "$consumer" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/consumer_shared"
"$work/cmake-build/consumer_static"

echo "== pkg-config"
pc_dir=$(dirname "$(find "$prefix" -name VexmarExt.pc)")
export PKG_CONFIG_PATH=$pc_dir
version="-DVEXMAR_EXPECTED_VERSION=\"$(pkg-config --modversion VexmarExt)\""
"$cxx" -std=c++20 "$version" "$consumer/main.cpp" -o "$work/consumer_pc" \
  $(pkg-config --cflags --libs VexmarExt) -Wl,-rpath,"$(pkg-config --variable=libdir VexmarExt)"
"$work/consumer_pc"
"$cxx" -std=c++20 "$version" "$consumer/main.cpp" -o "$work/consumer_pc_static" \
  $(pkg-config --cflags VexmarExt) "$(pkg-config --variable=libdir VexmarExt)/libVexmarExt.a" \
  $(pkg-config --libs-only-l --static VexmarExt | sed 's/-lVexmarExt//')
"$work/consumer_pc_static"
echo "consumer builds passed"
