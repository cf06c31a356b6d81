#!/usr/bin/env bash
# Builds everything and runs every test.
#   scripts/test.sh              the release build, in build/
#   scripts/test.sh --sanitize   the same suite under AddressSanitizer and
#                                UndefinedBehaviorSanitizer, in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

dir=build
flags=(-DCMAKE_BUILD_TYPE=Release)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize
  flags+=(-DSYLVO_SANITIZE=ON -DSYLVO_BUILD_BENCH=OFF)
fi

cmake -S . -B "$dir" "${flags[@]}" > /dev/null
cmake --build "$dir" -j"$(nproc)"
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
