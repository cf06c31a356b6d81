#!/usr/bin/env bash
# Builds the manual (docs/) into build-docs/html, running every example in
# it, with every warning an error. Also the man page build-docs/man/sylvo.1.
#   scripts/docs.sh          the sylvo tool from build/ (built if needed)
# Environment: SYLVO_BUILD_DIR, the build of the tool and engine to use
# (default build); SYLVO_DOCS_R=0 leaves the R package's set-up out (the
# manual's R examples then need the package installed already).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/steps.sh
out=$root/build-docs
mkdir -p "$out"
step_log "$out/docs.log"
: > "$out/docs.log"
start=$(date +%s)

scripts/setup.sh --log "$out/docs.log" python3-sphinx python3-myst-parser furo help2man python3-numpy python3-pandas \
  python3-matplotlib python3-dask python3-distributed python3-pybind11 pybind11-dev
if [ "${SYLVO_DOCS_R:-1}" != 0 ]; then
  step "installing the R package (scripts/setup-r.sh)" scripts/setup-r.sh
fi

build=${SYLVO_BUILD_DIR:-build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  step "configuring $build" cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release
fi
step "building the sylvo tool and the engine in $build" \
  cmake --build "$build" -j2 --target sylvo sylvo_engine_static sylvoa sylvob sylvoc
build=$(cd "$build" && pwd)
engine=$build/engine/libsylvo_engine.a
[ -f "$engine" ] || engine=$build/lib/libsylvo_engine.a

# The Python package for the examples and autodoc: its sources, with the
# extension module built here against that engine.
step "building the Python extension in build-docs/python" sh -c "
  cmake -S python -B '$out/python' -DCMAKE_BUILD_TYPE=Release -DPython3_EXECUTABLE=/usr/bin/python3 \
    -DSYLVO_SOURCE_DIR='$root' -DSYLVO_ENGINE_LIB='$engine' -DCMAKE_LIBRARY_OUTPUT_DIRECTORY='$out/python/lib' &&
  cmake --build '$out/python' -j2"
pkg=$out/pypath/sylvo
rm -rf "$out/pypath"
mkdir -p "$pkg"
ln -s "$root"/python/sylvo/*.py "$pkg/"
ln -s "$out"/python/lib/_engine*.so "$pkg/"

mkdir -p docs/_generated
step "writing the man page build-docs/man/sylvo.1" sh -c "
  mkdir -p '$out/man' &&
  help2man --no-info --no-discard-stderr --help-option=--help-all --version-string='$(cat VERSION 2>/dev/null || git describe --always 2>/dev/null || echo dev)' \
    --name='yield tables and inventories of the Sylvo growth-and-yield models' \
    --output='$out/man/sylvo.1' '$build/bin/sylvo' &&
  cp '$out/man/sylvo.1' docs/_generated/sylvo.1"

export SYLVO_DOCS_BIN=$build/bin SYLVO_DOCS_PYTHONPATH=$out/pypath
step "building the manual into build-docs/html (every example run)" \
  /usr/bin/python3 -m sphinx -b html -W --keep-going -E -n -q docs "$out/html"
step "testing the examples' directive (tests/docs)" env SYLVO_DOCS_BIN="$build/bin" /usr/bin/python3 tests/docs/test_run_examples.py
step "checking the command reference against sylvo --help-all" \
  /usr/bin/python3 tests/docs/check_reference.py "$build/bin/sylvo" "$out/html"
echo "docs: build-docs/html/index.html, build-docs/man/sylvo.1 ($(( $(date +%s) - start )) s)"
