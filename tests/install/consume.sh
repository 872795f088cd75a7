#!/usr/bin/env bash
# consume.sh <build-dir> <consumer-source> <c++ compiler> <source-dir>
# Installs the build into a temporary prefix, checks that exactly the public headers and
# the public symbols are installed, and builds and runs a consumer against the installed
# tree through the CMake package (shared and static) and through pkg-config, a C host
# against the C interface's header alone, and the installed tool.
set -euo pipefail
build=$1 consumer=$2 cxx=$3 source=$4
cc=${CC:-cc}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
include=$prefix/include

echo "== installed headers: the umbrella header and what it includes, the C header, and the"
echo "   earlier names of two renamed headers, kept so that hosts including them still build"
(cd "$include" && find vexmar -type f | sort) >"$work/installed"
{
  "$cxx" -std=c++20 -I"$include" -MM -x c++ "$include/vexmar/vexmar.hpp" |
    tr ' \\' '\n\n' | grep '\.hpp$' | sed "s|^$include/||"
  echo vexmar/vexmar.h
  echo vexmar/text/mod_public_functions.hpp
  echo vexmar/text/patterns.hpp
} | sort -u >"$work/reachable"
if ! diff -u "$work/reachable" "$work/installed"; then
  echo "installed headers differ from those the umbrella header reaches"
  exit 1
fi
wc -l <"$work/installed"

echo "== exported symbols: namespace vexmar, and the C interface's functions exactly"
library=$(find "$prefix" -name 'libVexmarExt.so.*.*' | head -n1)
nm -D --defined-only "$library" | c++filt | awk '{ $1 = ""; $2 = ""; print }' |
  sed 's/^ *//' >"$work/exported"
wc -l <"$work/exported"
sed -n 's/^VEXMAR_C_API .*[ *]\(vexmar_[a-z_0-9]*\)(.*/\1/p' "$include/vexmar/vexmar.h" |
  sort >"$work/c_declared"
grep -v 'vexmar::' "$work/exported" | sort >"$work/c_exported" || true
if ! diff -u "$work/c_declared" "$work/c_exported"; then
  echo "exported symbols outside namespace vexmar differ from the C header's functions"
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
echo "== C host: C11, pedantic, against the installed header alone"
"$cc" -std=c11 -pedantic -Wall -Wextra -Werror "$source/tests/capi/capi_edge_cases.c" \
  -o "$work/c_host" $(pkg-config --cflags --libs VexmarExt) \
  -Wl,-rpath,"$(pkg-config --variable=libdir VexmarExt)"
"$work/c_host" "$source"

echo "== the installed tool"
"$prefix/bin/vexmar" --version
"$prefix/bin/vexmar" sheets "$source/examples/sample-exam/001-张三/成绩表.xls" >/dev/null
echo "consumer builds passed"
