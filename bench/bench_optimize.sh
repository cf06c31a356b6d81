#!/bin/sh
# The regime optimiser against a Python grid of tables, in one run (see
# bench/bench_optimize.py). Usage: bench/bench_optimize.sh [BUILD_DIR]
# (default build; it builds the sylvo tool there unless SYLVO_BENCH_BUILD=0).
set -eu
build=${1:-build}
here=$(dirname "$0")
if [ "${SYLVO_BENCH_BUILD:-1}" != 0 ]; then
    cmake -S "$here/.." -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
    cmake --build "$build" -j2 --target sylvo > /dev/null
fi
exec /usr/bin/python3 "$here/bench_optimize.py" --tool "$build/bin/sylvo" \
    --economics "$here/../examples/economics/prices.json" --stands "${SYLVO_BENCH_STANDS:-10}"
