#!/usr/bin/env bash
# Installs the Debian packages that building and testing Sylvo need, if any
# is missing. Pass extra package names as arguments.
set -euo pipefail

packages=(cmake g++ make pkg-config libgtest-dev libbenchmark-dev python3 python3-mpmath libcli11-dev nlohmann-json3-dev
          libhwy-dev libfast-float-dev binutils python3-pandas python3-matplotlib "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
