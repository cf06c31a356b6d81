#!/usr/bin/env bash
# Installs the build tree BUILD into a fresh prefix and builds two small
# consumers against it, one with find_package(sylvo), one with pkg-config.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" > /dev/null
cmake -S "$here" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" > /dev/null
cmake --build "$work/consumer" > /dev/null
LD_LIBRARY_PATH="$work/prefix/lib" "$work/consumer/consumer"
"$work/consumer/consumer_cxx"
export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
cc "$here/consumer.c" $(pkg-config --cflags sylvo) $(pkg-config --libs sylvo) -L"$work/prefix/lib" -lsylvoa \
  -Wl,-rpath,"$work/prefix/lib" -o "$work/pkgconfig_consumer"
"$work/pkgconfig_consumer"
echo "installed tree: headers, CMake package and pkg-config file work"
