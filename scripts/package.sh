#!/usr/bin/env bash
# Builds every package of Sylvo into dist/ from this checkout:
#   dist/sylvo_<version>_amd64.deb    the Debian package (CPack DEB, build-pkg/)
#   dist/sylvo-<version>-windows.zip  the Windows release zip (CPack ZIP): 32-bit
#                                     DLLs (build-pkg/win32/), 64-bit DLLs, engine
#                                     DLL and sylvo.exe (build-win64/), headers,
#                                     import libraries, Excel module, docs
#   dist/sylvo-<version>.tar.gz, dist/sylvo-<version>-*.whl
#                                     the Python package (python3 -m build)
#   dist/sylvo_<version>.tar.gz       the R package (R CMD build)
# The version is the VERSION file's; the Python and R packages' own version
# fields are checked against it. Installs the Debian packages it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh g++-mingw-w64-x86-64 g++-mingw-w64-i686 dpkg-dev python3-build python3-venv python3-pip \
  python3-setuptools python3-wheel python3-pybind11 pybind11-dev python3-numpy r-base-dev r-cran-rcpp \
  r-cran-knitr r-cran-rmarkdown pandoc

version=$(head -n 1 VERSION)
py_version=$(sed -n 's/^version = "\(.*\)"$/\1/p' python/pyproject.toml)
r_version=$(sed -n 's/^Version: *//p' r/sylvo/DESCRIPTION)
if [ "$py_version" != "$version" ] || [ "$r_version" != "$version" ]; then
  echo "package: VERSION says $version, python/pyproject.toml $py_version, r/sylvo/DESCRIPTION $r_version" >&2
  exit 1
fi
rm -rf dist
mkdir -p dist
jobs=2
clean_env() { env -u CC -u CXX -u CFLAGS -u CXXFLAGS -u CPPFLAGS -u LDFLAGS "$@"; }

# Linux: libraries, engine, sylvo, and the case printer the Windows tests use.
cmake -S . -B build-pkg -DCMAKE_BUILD_TYPE=Release -DSYLVO_BUILD_BENCH=OFF -DSYLVO_BUILD_EXAMPLES=OFF \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON > /dev/null
cmake --build build-pkg -j$jobs --target sylvoa sylvob sylvoc sylvo_engine sylvo_engine_static sylvo \
  sylvo_case_printer
(cd build-pkg && cpack -G DEB -B "$root/build-pkg/cpack" > /dev/null)
cp build-pkg/cpack/sylvo_"$version"_*.deb dist/
# A private prefix for the Python and R builds.
rm -rf build-pkg/prefix
cmake --install build-pkg --prefix "$root/build-pkg/prefix" > /dev/null

# Windows: 64-bit everything, 32-bit model DLLs.
[ -f build-win64/CMakeCache.txt ] || clean_env cmake -S . -B build-win64 -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" > /dev/null
clean_env cmake --build build-win64 -j$jobs
[ -f build-pkg/win32/CMakeCache.txt ] || clean_env cmake -S . -B build-pkg/win32 -DCMAKE_BUILD_TYPE=Release \
  -DSYLVO_BUILD_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" > /dev/null
clean_env cmake --build build-pkg/win32 -j$jobs --target sylvoa sylvob sylvoc
cmake -S packaging/zip -B build-pkg/zip -DSYLVO_WIN32_BUILD="$root/build-pkg/win32" \
  -DSYLVO_WIN64_BUILD="$root/build-win64" > /dev/null
(cd build-pkg/zip && cpack -G ZIP -B "$root/build-pkg/zip/out" > /dev/null)
cp build-pkg/zip/out/sylvo-"$version"-windows.zip dist/

# Python: sdist and wheel from python/ (the extension links the engine built
# in build-pkg/py-engine).
SYLVO_ENGINE_BUILD="$root/build-pkg/py-engine" SYLVO_BUILD_JOBS=$jobs \
  /usr/bin/python3 -m build --no-isolation --sdist --wheel --outdir dist python > build-pkg/python-build.log 2>&1 ||
  { tail -30 build-pkg/python-build.log; exit 1; }

# R: the source tarball of a clean copy of r/sylvo (no build products, no
# engine prefix of this machine); its vignette is built against build-pkg/prefix.
rm -rf build-pkg/r
mkdir -p build-pkg/r
tar -C r --exclude='sylvo/tools/engine-prefix' --exclude='*.o' --exclude='*.so' --exclude='sylvo/src/Makevars' \
  --exclude='sylvo/src/engine_config.h' -cf - sylvo | tar -C build-pkg/r -xf -
(cd build-pkg/r && SYLVO_PREFIX="$root/build-pkg/prefix" R CMD build sylvo > build.log 2>&1) ||
  { tail -30 build-pkg/r/build.log; exit 1; }
cp build-pkg/r/sylvo_"$version".tar.gz dist/

echo "package: dist/ holds"
ls -l dist
