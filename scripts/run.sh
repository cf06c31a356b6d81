#!/usr/bin/env bash
# Builds the libraries and the sylvo tool and runs the main job: with no
# arguments, the yield table of the built-in example stand (Model A, one
# thinning); any arguments go to sylvo (see build/bin/sylvo --help).
# Set-up and build say one line each (on standard error); their output is
# in build/setup.log and build/build.log, shown in full only on a failure.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/steps.sh
scripts/setup.sh >&2
step_log build/build.log
if [ ! -f build/CMakeCache.txt ]; then
  step "configuring build/" cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
fi
step "building the libraries and the sylvo tool in build/" \
  cmake --build build -j"$(nproc)" --target sylvo sylvoa sylvob sylvoc
exec build/bin/sylvo "$@"
