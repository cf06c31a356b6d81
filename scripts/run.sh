#!/usr/bin/env bash
# Builds the libraries and the sylvo tool and runs the main job: with no
# arguments, the yield table of the built-in example stand (Model A, one
# thinning); any arguments go to sylvo (see build/bin/sylvo --help).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j"$(nproc)" --target sylvo sylvoa sylvob sylvoc > /dev/null
exec build/bin/sylvo "$@"
