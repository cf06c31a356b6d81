#!/bin/sh
# Installs the sylvo Python package into .venv/ (scripts/setup-python.sh) and
# runs its tests with pytest. The tests compare the package with the three
# model libraries and the sylvo tool, built here in build-py/ (or taken from
# SYLVO_BUILD_DIR when that holds them). Extra arguments go to pytest.
set -eu
cd "$(dirname "$0")/.."
scripts/setup-python.sh
if [ -z "${SYLVO_BUILD_DIR:-}" ]; then
  cmake --build build-py -j2 --target sylvoa sylvob sylvoc sylvo >/dev/null
  SYLVO_BUILD_DIR="$PWD/build-py"
  export SYLVO_BUILD_DIR
fi
exec .venv/bin/python -m pytest -q -p no:cacheprovider python/tests "$@"
