#!/bin/sh
# sylvo project on a generated 1e6-stand inventory (read, project, write)
# against the engine projecting the same stands in memory, in one run; prints
# the times and their ratios. Usage: bench/bench_inventory.sh [BUILD_DIR]
# (default build; it builds the sylvo tool, libsylvo and sylvo_project_memory
# there unless SYLVO_BENCH_BUILD=0).
set -eu
build=${1:-build}
here=$(dirname "$0")
if [ "${SYLVO_BENCH_BUILD:-1}" != 0 ]; then
    cmake -S "$here/.." -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
    cmake --build "$build" -j"$(nproc)" --target sylvo sylvo_engine sylvo_project_memory > /dev/null
fi
exec /usr/bin/python3 "$here/bench_inventory.py" --tool "$build/bin/sylvo" --memory "$build/bin/sylvo_project_memory" \
    --engine "$build/lib/libsylvo.so" \
    --stands "${SYLVO_BENCH_STANDS:-1000000}" --repeat "${SYLVO_BENCH_REPEAT:-3}"
