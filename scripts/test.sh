#!/usr/bin/env bash
# Builds everything and runs every test.
#   scripts/test.sh              the release build, in build/, then the Python
#                                and R packages' tests (scripts/test-python.sh,
#                                scripts/test-r.sh)
#   scripts/test.sh --sanitize   the same suite under AddressSanitizer and
#                                UndefinedBehaviorSanitizer, in build-sanitize/
#   scripts/test.sh --tsan       the engine's tests under ThreadSanitizer, in
#                                build-tsan/
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/steps.sh
scripts/setup.sh

dir=build
flags=(-DCMAKE_BUILD_TYPE=Release)
select=()
case "${1:-}" in
  --sanitize)
    dir=build-sanitize
    flags+=(-DSYLVO_SANITIZE=ON -DSYLVO_BUILD_BENCH=OFF) ;;
  --tsan)
    dir=build-tsan
    flags+=(-DSYLVO_SANITIZE_THREAD=ON -DSYLVO_BUILD_BENCH=OFF -DSYLVO_BUILD_TOOLS=OFF -DSYLVO_BUILD_EXAMPLES=OFF)
    select=(-R '^engine\.') ;;
esac

mkdir -p "$dir"
step_log "$dir/build.log"
step "configuring $dir/" cmake -S . -B "$dir" "${flags[@]}"
step "building everything in $dir/" cmake --build "$dir" -j"$(nproc)"
status=0
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" "${select[@]}" 2>&1 | tee "$dir/ctest.log" || status=$?
# The Windows DLL tests need the mingw-w64 cross compiler and 32-bit Wine
# (.ci/run installs them); without them ctest only marks them skipped.
if [ -z "${1:-}" ]; then
  if grep -q 'windows_dlls .*Skipped' "$dir/ctest.log"; then
    echo "NOTE: the Windows DLL tests were SKIPPED: $(grep -m1 '^SKIPPED:' "$dir/Testing/Temporary/LastTest.log" | sed 's/^SKIPPED: //')"
  elif ! grep -q 'windows_dlls' "$dir/ctest.log"; then
    echo "NOTE: the Windows DLL tests are not part of this run."
  fi
fi
# The Python and R packages, on the release build's run only.
if [ -z "${1:-}" ]; then
  SYLVO_BUILD_DIR="$PWD/$dir" scripts/test-python.sh || status=$?
  SYLVO_BUILD_DIR="$PWD/$dir" scripts/test-web.sh || status=$?
  scripts/test-r.sh || status=$?
  scripts/test-package.sh || status=$?
  SYLVO_DOCS_R=0 SYLVO_BUILD_DIR="$PWD/$dir" scripts/docs.sh || status=$?
fi
exit "$status"
