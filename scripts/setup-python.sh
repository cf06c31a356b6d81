#!/bin/sh
# Creates .venv/ (a virtual environment of Debian's Python that sees Debian's
# numpy, pandas, matplotlib and dask) and installs the sylvo package from
# python/ into it, offline. Afterwards: .venv/bin/python -c "import sylvo"
set -eu
cd "$(dirname "$0")/.."

need=""
for pkg in python3-numpy python3-pandas python3-matplotlib python3-dask python3-distributed python3-pytest python3-hypothesis \
           python3-pybind11 pybind11-dev python3-venv python3-pip python3-setuptools cmake g++ libhwy-dev; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || need="$need $pkg"
done
if [ -n "$need" ]; then
  echo "setup-python: installing$need"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $need
fi

if [ ! -x .venv/bin/python ]; then
  /usr/bin/python3 -m venv --system-site-packages .venv
fi
.venv/bin/pip install --quiet --no-build-isolation --no-index --no-deps ./python
.venv/bin/python -c "import sylvo; print('setup-python: sylvo', sylvo.__file__)"
