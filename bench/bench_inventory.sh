#!/bin/sh
# sylvo project on a generated 1e6-stand inventory (read, project, write)
# against the engine projecting the same stands in memory, in one run; prints
# both times and their ratio. Usage: bench/bench_inventory.sh [BUILD_DIR]
# (default build; it needs the sylvo tool and libsylvo built there).
set -eu
build=${1:-build}
here=$(dirname "$0")
exec /usr/bin/python3 "$here/bench_inventory.py" --tool "$build/bin/sylvo" --engine "$build/lib/libsylvo.so" \
    --stands "${SYLVO_BENCH_STANDS:-1000000}" --repeat "${SYLVO_BENCH_REPEAT:-3}"
