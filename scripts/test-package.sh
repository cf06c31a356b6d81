#!/usr/bin/env bash
# Builds every package (scripts/package.sh) and tests each as a user gets it:
#   - the 64-bit Windows build under wine64 against the Linux build
#     (tests/wine64/run_win64_tests.py: export tables and ordinals, the
#     thirteen exports on the case files and random rows, the engine's C
#     interface, sylvo.exe), and the release zip's contents, its sylvo.exe and
#     a C host linked with the zip's import library run from the unpacked zip;
#   - the Debian package installed with apt-get (removed again at the end),
#     a C and a C++ consumer built against /usr (tests/install), pkg-config,
#     the sylvo command line, the schemas;
#   - the Python wheel in a fresh virtual environment, its tests run there;
#   - the R tarball installed with R CMD INSTALL into a fresh library (it
#     finds the engine of the installed Debian package), a call checked
#     against the command line.
# Installs what it needs (scripts/setup.sh). Prints each stage's time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
start=$(date +%s)
stage() { echo "== $1 ($(($(date +%s) - start)) s)"; }
# i386 Wine runs the zip's 32-bit DLLs (as .ci/run sets it up for the
# 32-bit DLL tests).
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
scripts/setup.sh wine wine32:i386 wine64 python3-pytest python3-hypothesis python3-pandas python3-matplotlib python3-dask \
  python3-distributed unzip
version=$(head -n 1 VERSION)

stage "packages"
scripts/package.sh

stage "64-bit Windows under wine64"
/usr/bin/python3 tests/wine64/run_win64_tests.py --source . --build build-win64 --linux-build build-pkg \
  --rows "${SYLVO_WIN64_ROWS:-20000}"

stage "the release zip"
rm -rf build-pkg/unzipped
mkdir -p build-pkg/unzipped
unzip -q dist/sylvo-"$version"-windows.zip -d build-pkg/unzipped
z=build-pkg/unzipped/sylvo-$version-windows
for f in README.txt VERSION include/sylvo.h include/sylvo_engine.h excel/Sylvo.bas x64-engine/sylvo.exe \
         x64-engine/sylvo_engine.dll x64-engine/lib/sylvo_engine.dll.a examples/sylvo_ctypes.py; do
  [ -f "$z/$f" ] || { echo "FAILED: the zip has no $f"; exit 1; }
done
for arch in x86 x64; do
  for m in a b c; do
    for f in "$arch/sylvo$m.dll" "$arch/lib/sylvo$m.dll.a" "$arch/lib/sylvo$m.def"; do
      [ -f "$z/$f" ] || { echo "FAILED: the zip has no $f"; exit 1; }
    done
  done
  want=$([ $arch = x86 ] && echo "pei-i386" || echo "pei-x86-64")
  objdump -f "$z/$arch/sylvoa.dll" | grep -q "$want" || { echo "FAILED: $arch/sylvoa.dll is not $want"; exit 1; }
done
export WINEPREFIX=$root/build-win64/wineprefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A host built against the zip's own header and import library, run beside the zip's DLL.
x86_64-w64-mingw32-gcc -O2 tests/wine/link_host.c -I "$z/include" "$z/x64/lib/sylvob.dll.a" -static-libgcc \
  -o "$z/x64/link_host.exe"
out=$(/usr/lib/wine/wine64 "$z/x64/link_host.exe" | tr -d '\r' | tr '\n' ' ')
[ "$out" = "imports 13 SylvoVersion => 0x3ff0000000000000 LibMain => 1 " ] ||
  { echo "FAILED: the zip's x64/sylvob.dll through its import library printed: $out"; exit 1; }
# And the 32-bit one through its own import library, in a 32-bit prefix.
i686-w64-mingw32-gcc -O2 tests/wine/link_host.c -I "$z/include" "$z/x86/lib/sylvoa.dll.a" -static-libgcc \
  -o "$z/x86/link_host.exe"
if /usr/bin/wine --version > /dev/null 2>&1 && [ -e /usr/lib/wine/wine ]; then
  out=$(WINEPREFIX=$root/build-pkg/wine32prefix WINEARCH=win32 /usr/bin/wine "$z/x86/link_host.exe" | tr -d '\r' |
        tr '\n' ' ')
  [ "$out" = "imports 13 SylvoVersion => 0x3ff199999999999a LibMain => 1 " ] ||
    { echo "FAILED: the zip's x86/sylvoa.dll through its import library printed: $out"; exit 1; }
  echo "the zip's x86/sylvoa.dll runs under 32-bit Wine through x86/lib/sylvoa.dll.a"
else
  echo "NOTE: 32-bit Wine cannot run here: the zip's 32-bit DLLs were checked as files only"
fi
linux=$(build-pkg/bin/sylvo --model c --format csv)
windows=$(/usr/lib/wine/wine64 "$z/x64-engine/sylvo.exe" --model c --format csv | tr -d '\r')
[ "$linux" = "$windows" ] || { echo "FAILED: the zip's sylvo.exe --model c differs from the Linux sylvo"; exit 1; }
echo "the zip: every folder present, a host linked with x64/lib/sylvob.dll.a runs, sylvo.exe prints Linux's table"

stage "the Debian package"
removed=0
remove() { [ $removed = 1 ] || { $sudo apt-get remove -y -qq sylvo > /dev/null 2>&1 || true; removed=1; }; }
trap remove EXIT
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -o DPkg::Lock::Timeout=600 "$root/dist/sylvo_${version}_amd64.deb" > /dev/null
[ "$(dpkg-query -W -f='${Version}' sylvo)" = "$version" ] || { echo "FAILED: sylvo $version is not installed"; exit 1; }
work=$(mktemp -d)
cmake -S tests/install -B "$work/consumer" > /dev/null
cmake --build "$work/consumer" > /dev/null
"$work/consumer/consumer"
"$work/consumer/consumer_cxx"
cc tests/install/consumer.c $(pkg-config --cflags --libs sylvo) -lsylvoa -o "$work/pkgconfig_consumer"
"$work/pkgconfig_consumer"
[ "$(/usr/bin/sylvo --model b --format csv)" = "$(build-pkg/bin/sylvo --model b --format csv)" ] ||
  { echo "FAILED: /usr/bin/sylvo differs from the build's"; exit 1; }
for s in schemas/*.schema.json; do
  [ -e "$s" ] || continue
  cmp "$s" "/usr/share/sylvo/schemas/$(basename "$s")" || { echo "FAILED: $s is not installed"; exit 1; }
done
echo "the Debian package: consumers (CMake package, pkg-config) built and run, /usr/bin/sylvo, schemas"

stage "the Python wheel in a fresh virtual environment"
rm -rf build-pkg/venv
/usr/bin/python3 -m venv --system-site-packages build-pkg/venv
build-pkg/venv/bin/pip install --quiet --no-index --no-deps dist/sylvo-"$version"-*.whl
where=$(cd "$work" && "$root/build-pkg/venv/bin/python" -c "import sylvo; print(sylvo.__file__)")
case "$where" in "$root"/build-pkg/venv/*) ;; *) echo "FAILED: sylvo imported from $where"; exit 1 ;; esac
(cd "$work" && SYLVO_BUILD_DIR="$root/build-pkg" "$root/build-pkg/venv/bin/python" -m pytest -q -p no:cacheprovider \
  "$root/python/tests")

stage "the R tarball in a fresh library"
rm -rf build-pkg/rlib
mkdir -p build-pkg/rlib
# Found through the installed package's pkg-config file.
(cd "$work" && R CMD INSTALL -l "$root/build-pkg/rlib" "$root/dist/sylvo_$version.tar.gz" > "$work/r-install.log" 2>&1) ||
  { tail -30 "$work/r-install.log"; exit 1; }
want=$(/usr/bin/sylvo height --model b --age 40 --site 24 --format csv | tail -n 1 | cut -d, -f4)
got=$(cd "$work" && Rscript -e "library(sylvo, lib.loc = '$root/build-pkg/rlib')" \
  -e "cat(sprintf('%.17g', sylvo_height('b', 40, 24)), packageDescription('sylvo', lib.loc = '$root/build-pkg/rlib')\$Version)")
echo "R: sylvo_height('b', 40, 24) and version: $got; sylvo height: $want"
/usr/bin/python3 -c "import sys; sys.exit(float('$want') != float('$(echo "$got" | cut -d' ' -f1)'))" ||
  { echo "FAILED: R and sylvo disagree"; exit 1; }
[ "$(echo "$got" | cut -d' ' -f2)" = "$version" ] || { echo "FAILED: the R package is not version $version"; exit 1; }

remove
rm -rf "$work"
stage "every package built and tested"
