#!/usr/bin/env bash
# The yield explorer's tests: builds the page (scripts/build-web.sh) and the
# native tool, then
#   - tests/web/compare_native.mjs: the WebAssembly engine against the Linux
#     one through Node, random stands of every model, bit by bit;
#   - tests/web/test_explorer.py: the page in headless Chromium (Selenium),
#     compared with `sylvo table`.
# SYLVO_BUILD_DIR: a release build with bin/sylvo and the static engine to
# use (scripts/test.sh passes build/); otherwise the tool is built in
# build-web/native. --screenshot also saves the page to docs/images/explorer.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh emscripten node-acorn chromium chromium-driver python3-selenium
scripts/build-web.sh

native="${SYLVO_BUILD_DIR:-}"
if [ -z "$native" ] || [ ! -x "$native/bin/sylvo" ] || [ ! -f "$native/engine/libsylvo_engine.a" ]; then
  native=build-web/native
  [ -f "$native/CMakeCache.txt" ] || cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release -DSYLVO_BUILD_TESTS=OFF \
    -DSYLVO_BUILD_BENCH=OFF -DSYLVO_BUILD_EXAMPLES=OFF > /dev/null
  cmake --build "$native" -j2 --target sylvo sylvo_engine_static
fi
# The explorer's glue, natively, against that engine.
mkdir -p build-web/native-run
g++ -O2 -std=c++20 -ffp-contract=off -Iinclude -Itools/sylvo -Iweb/src web/src/explorer.cpp tools/sylvo/output.cpp \
  tools/sylvo/numbers.cpp tools/sylvo/library.cpp tests/web/native_run.cpp "$native/engine/libsylvo_engine.a" \
  -lhwy -lpthread -o build-web/native-run/native_run

status=0
echo "== WebAssembly against Linux (Node)"
node tests/web/compare_native.mjs "$PWD/build-web/wasm/sylvo_web.js" build-web/native-run/native_run 400 || status=$?
echo "== the page in headless Chromium"
shot=build-web/explorer.png
[ "${1:-}" = --screenshot ] && shot=docs/images/explorer.png
/usr/bin/python3 tests/web/test_explorer.py build-web/site "$native/bin/sylvo" "$shot" || status=$?
exit "$status"
