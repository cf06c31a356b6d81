#!/usr/bin/env bash
# Installs the Debian packages that building and testing Sylvo need, if any
# is missing. Pass extra package names as arguments. Says one line; the
# package manager's output goes to a log file (default build/setup.log;
# --log FILE as the first argument chooses another) and is shown in full
# only when the install fails.
set -euo pipefail
cd "$(dirname "$0")/.."

log=build/setup.log
if [ "${1:-}" = --log ]; then
  log=$2
  shift 2
fi

packages=(cmake g++ make pkg-config libgtest-dev libbenchmark-dev python3 python3-mpmath libcli11-dev nlohmann-json3-dev
          libhwy-dev libfast-float-dev binutils python3-pandas python3-matplotlib "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

mkdir -p "$(dirname "$log")"
echo "installing build dependencies (once): ${missing[*]} (log: $log)"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# A mirror in the middle of a sync can fail "apt-get update" for one
# architecture's index of a suite: try once more, then go on with the indexes
# there are. Without the i386 index of the security suite, its newer amd64
# versions have no i386 twins and the 32-bit packages cannot be installed
# beside them: the install is tried again with the release's own versions
# preferred. A package that cannot be fetched at all still fails, saying so.
update() { $sudo apt-get update -qq || { sleep 10; $sudo apt-get update -qq; }; }
install() {
  update || echo "setup: apt-get update failed; going on with the package indexes there are" >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$@" && return 0
  local release
  release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$release" ] || return 1
  echo "setup: trying again with the packages of $release itself preferred" >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -t "$release" "$@"
}
echo "== $(date -u '+%F %T') installing: ${missing[*]}" >> "$log"
status=0
install "${missing[@]}" >> "$log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  echo "setup: installing ${missing[*]} FAILED (status $status); the package manager said (from $log):" >&2
  awk 'index($0, "== ") == 1 { buf = "" } { buf = buf $0 "\n" } END { printf "%s", buf }' "$log" >&2
  exit "$status"
fi
grep -q "trying again with the packages" <(awk 'index($0, "== ") == 1 { buf = "" } { buf = buf $0 "\n" } END { printf "%s", buf }' "$log") &&
  echo "setup: the first install could not resolve; installed with the release's own versions preferred"
exit 0
