#!/usr/bin/env bash
# Installs the build in $1 into a temporary prefix, builds the minimal example
# against it with CMake and with pkg-config, and runs both.
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" > /dev/null
cmake -G Ninja -S "$source/examples/minimal" -B "$work/example" \
  -DCMAKE_PREFIX_PATH="$work/prefix" > /dev/null
cmake --build "$work/example" > /dev/null
"$work/example/minimal_host"

libdir=$(dirname "$(find "$work/prefix" -name ovix.pc)")
export PKG_CONFIG_PATH="$libdir"
c++ -std=c++20 "$source/examples/minimal/main.cpp" $(pkg-config --cflags --libs ovix) \
  -Wl,-rpath,"$(pkg-config --variable=libdir ovix)" -o "$work/pkgconfig_host"
"$work/pkgconfig_host" > /dev/null
echo "installed SDK builds and runs"
