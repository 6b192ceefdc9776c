#!/usr/bin/env bash
# Installs the build in $1 into a temporary prefix, builds the minimal example
# against it with CMake and with pkg-config, and runs both. Then checks that a
# plain top-level configuration (-DCMAKE_BUILD_TYPE=Release, nothing else)
# leaves warnings as errors off, the release tree having compiled the same
# code with them on; and builds the example as a host that adds the source
# tree with add_subdirectory, which must get ovix::ovix and nothing else (in
# CMake's default build type, the quickest to compile, and file by file as
# plain builds compile, where our own trees use unity batches).
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

cmake -G Ninja -S "$source" -B "$work/plain" -DCMAKE_BUILD_TYPE=Release > /dev/null
grep -q '^OVIX_WERROR:BOOL=OFF$' "$work/plain/CMakeCache.txt"
grep -q '^OVIX_BUILD_TESTS:BOOL=ON$' "$work/plain/CMakeCache.txt"

mkdir "$work/host"
cat > "$work/host/CMakeLists.txt" <<HOST
cmake_minimum_required(VERSION 3.25)
project(subdirectory_host LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
add_subdirectory("$source" ovix)
add_executable(minimal_host "$source/examples/minimal/main.cpp")
target_link_libraries(minimal_host PRIVATE ovix::ovix)
HOST
cmake -G Ninja -S "$work/host" -B "$work/host/build" > /dev/null
if ninja -C "$work/host/build" -t targets all | grep -qE '^(ovix_unit_tests|ovix_tool|ovix_bench)'; then
  echo "an add_subdirectory host gets more than ovix::ovix" >&2
  exit 1
fi
cmake --build "$work/host/build" > /dev/null
"$work/host/build/minimal_host" > /dev/null
echo "add_subdirectory host builds and runs"
