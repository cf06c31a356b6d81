#!/usr/bin/env bash
# Installs what the R package needs and the package itself:
#   - the Debian packages for building the engine and for R (r-base-dev,
#     Rcpp, testthat, knitr, rmarkdown, pandoc for the vignette);
#   - the engine, built in build-r/ and installed (headers, libraries, the
#     static libsylvo_engine.a the package links, pkg-config file) into the
#     prefix .r-engine/ at the top of the checkout, with the sylvo command
#     line in .r-engine/bin (the tests compare with it);
#   - the package r/sylvo, with R CMD INSTALL, into R's site library (or,
#     where that is not writable, the user's library). The engine's prefix
#     is written to r/sylvo/tools/engine-prefix (not in git), so that
#     R CMD INSTALL, R CMD build and R CMD check of r/sylvo find it.
# Environment: SYLVO_PREFIX, the prefix to install the engine into
# (default .r-engine in the checkout).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. scripts/steps.sh

scripts/setup.sh r-base-dev r-cran-rcpp r-cran-jsonlite r-cran-testthat r-cran-knitr r-cran-rmarkdown pandoc

prefix=${SYLVO_PREFIX:-$root/.r-engine}
mkdir -p build-r
step_log build-r/setup-r.log
step "configuring build-r/" cmake -S . -B build-r -DCMAKE_BUILD_TYPE=Release -DSYLVO_BUILD_TESTS=OFF \
  -DSYLVO_BUILD_BENCH=OFF -DSYLVO_BUILD_EXAMPLES=OFF
step "building the engine in build-r/" cmake --build build-r -j2
step "installing the engine into $prefix" cmake --install build-r --prefix "$prefix"
install -D -m 755 build-r/bin/sylvo "$prefix/bin/sylvo"
echo "setup-r: the engine is installed in $prefix"
# The package's configure reads the prefix from here when SYLVO_PREFIX is
# not set, also in the copies R CMD build and R CMD check make.
mkdir -p r/sylvo/tools
(cd "$prefix" && pwd) > r/sylvo/tools/engine-prefix

library=()
site=$(Rscript -e 'cat(.libPaths()[1])')
if [ ! -w "$site" ]; then
  user=$(Rscript -e 'cat(Sys.getenv("R_LIBS_USER"))')
  mkdir -p "$user"
  library=(-l "$user")
fi
step "installing the R package (R CMD INSTALL r/sylvo)" \
  env SYLVO_PREFIX="$prefix" R CMD INSTALL --preclean --clean "${library[@]}" r/sylvo
echo "setup-r: the R package sylvo is installed (library(sylvo))"
