#!/bin/sh
# Creates .venv/ (a virtual environment of Debian's Python that sees Debian's
# numpy, pandas, matplotlib and dask) and installs the sylvo package from
# python/ into it, offline. Afterwards: .venv/bin/python -c "import sylvo"
set -eu
cd "$(dirname "$0")/.."

# What building Sylvo needs (the package builds the engine with CMake from
# this checkout), and the Python side.
scripts/setup.sh python3-numpy python3-pandas python3-matplotlib python3-dask python3-distributed python3-pytest \
  python3-hypothesis python3-pybind11 pybind11-dev python3-venv python3-pip python3-setuptools

if [ ! -x .venv/bin/python ]; then
  /usr/bin/python3 -m venv --system-site-packages .venv
fi
mkdir -p build-py
echo "setup-python: installing the sylvo package into .venv/ (log: build-py/setup-python.log)" >&2
if ! .venv/bin/pip install --no-build-isolation --no-index --no-deps ./python > build-py/setup-python.log 2>&1; then
  echo "setup-python: pip install ./python FAILED; its output, from build-py/setup-python.log:" >&2
  cat build-py/setup-python.log >&2
  exit 1
fi
.venv/bin/python -c "import sylvo; print('setup-python: sylvo', sylvo.__file__)"
