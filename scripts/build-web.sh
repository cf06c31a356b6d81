#!/usr/bin/env bash
# Builds the yield explorer: the engine in WebAssembly (Debian's emscripten,
# from web/CMakeLists.txt, in build-web/wasm) and the static page around it,
# assembled in build-web/site/ (index.html, its script and style, the module).
# The site needs no server of its own: any static file server, or the files
# opened directly, will do (scripts/explore.sh serves it on 127.0.0.1).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh emscripten node-acorn
# Emscripten's optimiser needs acorn, which Debian keeps here.
export NODE_PATH=/usr/share/nodejs
mkdir -p build-web
if [ ! -f build-web/wasm/CMakeCache.txt ]; then
  emcmake cmake -S web -B build-web/wasm -DCMAKE_BUILD_TYPE=Release > /dev/null
fi
cmake --build build-web/wasm -j2
site=build-web/site
rm -rf "$site.new"
mkdir -p "$site.new"
cp web/index.html web/explorer.css web/explorer.js "$site.new/"
cp build-web/wasm/sylvo_web.js "$site.new/"
rm -rf "$site"
mv "$site.new" "$site"
echo "build-web.sh: the explorer is in $site/ (open index.html or run scripts/explore.sh)"
