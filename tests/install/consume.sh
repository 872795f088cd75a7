#!/usr/bin/env bash
# consume.sh <build-dir> <consumer-source> <c++ compiler>
set -euo pipefail
build=$1 consumer=$2 cxx=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
test -f "$prefix/include/vexmar/vexmar.hpp"

echo "== CMake package (shared and static)"
cmake -S "$consumer" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/consumer_shared"
"$work/cmake-build/consumer_static"

echo "== pkg-config"
pc_dir=$(dirname "$(find "$prefix" -name VexmarExt.pc)")
export PKG_CONFIG_PATH=$pc_dir
"$cxx" -std=c++20 "$consumer/main.cpp" -o "$work/consumer_pc" $(pkg-config --cflags --libs VexmarExt) \
  -Wl,-rpath,"$(pkg-config --variable=libdir VexmarExt)"
"$work/consumer_pc"
"$cxx" -std=c++20 "$consumer/main.cpp" -o "$work/consumer_pc_static" $(pkg-config --cflags VexmarExt) \
  "$(pkg-config --variable=libdir VexmarExt)/libVexmarExt.a" $(pkg-config --libs-only-l --static VexmarExt | sed 's/-lVexmarExt//')
"$work/consumer_pc_static"
echo "consumer builds passed"
