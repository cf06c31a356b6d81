#!/usr/bin/env bash
# Sets up the R package (scripts/setup-r.sh), runs its testthat tests on
# the installed package, then builds the source package and checks it with
# R CMD check (without the PDF manual: it needs LaTeX). Fails on a failed
# test, or on an error or a warning from R CMD check.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-r.sh

Rscript -e 'testthat::test_dir("r/sylvo/tests/testthat", package = "sylvo", load_package = "installed",
                                reporter = "summary", stop_on_failure = TRUE)'

cd r
rm -rf sylvo.Rcheck sylvo_*.tar.gz
R CMD build sylvo
R CMD check --no-manual sylvo_*.tar.gz
log=sylvo.Rcheck/00check.log
if grep -qE '^\* .*\.\.\. *(WARNING|ERROR)$|^Status: .*(WARNING|ERROR)' "$log"; then
  echo "test-r: R CMD check reported a warning or an error (see r/$log)" >&2
  exit 1
fi
echo "test-r: the R package's tests and R CMD check passed ($(grep '^Status:' "$log"))"
