#!/usr/bin/env bash
# Builds the libraries and runs the main job: with no arguments, the example
# host's report for a built-in stand on each model.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j"$(nproc)" --target sylvo_example sylvoa sylvob sylvoc > /dev/null
exec build/bin/sylvo_example "$@"
