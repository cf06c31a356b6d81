#!/usr/bin/env bash
# Fuzzing: builds the libFuzzer targets of fuzz/ with clang, AddressSanitizer
# and UndefinedBehaviorSanitizer (the libraries, the engine and the tool's
# sources compiled with the same flags) in build-fuzz/, then runs each
# target for SECONDS from its checked-in corpus, every input under a
# 10-second timeout. Two more targets draw random arguments for the Python
# and R packages' array functions for SECONDS each: fuzz_python (Hypothesis,
# python/tests/test_fuzz_arguments.py, a new seed for every round of 100
# examples per function) and fuzz_r (r/sylvo/tests/testthat/
# test-arguments.R, one seed); they set up and use the packages as
# scripts/test-python.sh and scripts/test-r.sh do.
#
#   scripts/fuzz.sh SECONDS [RUNS [TARGET...]]
#
# RUNS, if given and above 0, also ends a target's run after that many
# executions (whichever comes first); TARGETs pick some of the targets
# (default all). Two runs of the script on different targets may share the
# build once it is made.
# The corpus fuzz/corpus/<target>/ is copied to build-fuzz/fuzz-run/<target>/
# first, so the checked-in one does not grow. One line per target:
# executions, executions per second, coverage (cov: edges, ft: features),
# and findings - crashes, leaks, timeouts, out-of-memory and sanitizer
# reports, whose inputs are kept in build-fuzz/findings/<target>/ and whose
# logs in build-fuzz/fuzz-run/<target>/log. Exit status 1 on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."

fuzzers=(fuzz_exports fuzz_engine fuzz_csv fuzz_inventory fuzz_options fuzz_regime fuzz_explorer fuzz_economics)
all_targets=("${fuzzers[@]}" fuzz_python fuzz_r)
usage() {
  echo "usage: scripts/fuzz.sh SECONDS [RUNS [TARGET...]] (each target's run time and executions, whole" \
    "numbers, SECONDS above 0, RUNS 0 for no limit; targets: ${all_targets[*]})" >&2
  exit 2
}
seconds="${1:-}"
runs="${2:-0}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ] || ! [[ "$runs" =~ ^[0-9]+$ ]]; then
  usage
fi
targets=("${all_targets[@]}")
if [ $# -gt 2 ]; then
  targets=("${@:3}")
  for t in "${targets[@]}"; do
    [[ " ${all_targets[*]} " == *" $t "* ]] || usage
  done
fi

wants() { [[ " ${targets[*]} " == *" $1 "* ]]; }

dir=build-fuzz
if [[ " ${targets[*]} " =~ " fuzz_"(exports|engine|csv|inventory|options|regime|explorer|economics)" " ]]; then
  # clang with libFuzzer and the sanitizer runtimes, and llvm-symbolizer for
  # readable reports, besides what every build needs.
  scripts/setup.sh clang llvm libclang-rt-14-dev
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DSYLVO_BUILD_FUZZERS=ON -DSYLVO_SANITIZE=ON \
    -DSYLVO_BUILD_TESTS=OFF -DSYLVO_BUILD_BENCH=OFF -DSYLVO_BUILD_EXAMPLES=OFF > /dev/null
  cmake --build "$dir" -j"$(nproc)" --target fuzzers
fi
if wants fuzz_python; then
  scripts/setup-python.sh > /dev/null
  cmake --build build-py -j2 --target sylvoa sylvob sylvoc sylvo > /dev/null
fi
wants fuzz_r && scripts/setup-r.sh > /dev/null

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
if symbolizer="$(command -v llvm-symbolizer)"; then
  export ASAN_SYMBOLIZER_PATH="$symbolizer" UBSAN_SYMBOLIZER_PATH="$symbolizer"
fi

status=0
printf '%-16s %12s %9s %8s %8s  %s\n' target executions exec/s cov ft findings
for t in "${targets[@]}"; do
  work="$dir/fuzz-run/$t"
  findings="$dir/findings/$t"
  rm -rf "$work" "$findings"
  mkdir -p "$work" "$findings"
  if [ "$t" = fuzz_python ] || [ "$t" = fuzz_r ]; then
    # Rounds from new seeds until the time is up (or RUNS calls); a failed
    # round keeps its seed in the findings.
    rc=0 execs=0 start=$SECONDS
    while [ $((SECONDS - start)) -lt "$seconds" ] && { [ "$runs" -eq 0 ] || [ "$execs" -lt "$runs" ]; }; do
      seed=$(($(od -An -N4 -tu4 /dev/urandom | tr -d ' ') % 2147483647))  # an R integer too
      if [ "$t" = fuzz_python ]; then
        SYLVO_BUILD_DIR="$PWD/build-py" SYLVO_FUZZ_EXAMPLES=100 .venv/bin/python -m pytest -q -p no:cacheprovider \
          python/tests/test_fuzz_arguments.py --hypothesis-seed="$seed" >> "$work/log" 2>&1 || rc=$?
        [ "$rc" -eq 0 ] && execs=$((execs + 800))  # 100 examples for each of 8 functions
      else
        SYLVO_FUZZ_SEED="$seed" SYLVO_FUZZ_SECONDS=$((seconds - (SECONDS - start))) Rscript -e \
          'testthat::test_file("r/sylvo/tests/testthat/test-arguments.R", package = "sylvo",
             load_package = "installed", reporter = "summary", stop_on_failure = TRUE)' >> "$work/log" 2>&1 || rc=$?
        calls="$(grep -o 'sylvo fuzz: [0-9]* calls' "$work/log" | tail -n 1 | grep -o '[0-9][0-9]*' || true)"
        [ "$rc" -eq 0 ] && execs=$((execs + ${calls:-0}))
      fi
      if [ "$rc" -ne 0 ]; then
        echo "$seed" > "$findings/seed"
        break
      fi
    done
    elapsed=$((SECONDS - start))
    rate=$((execs / (elapsed > 0 ? elapsed : 1)))
    found=""
    [ "$rc" -ne 0 ] && found="exit status $rc with the seed in $findings/seed, log in $work/log"
    if [ -n "$found" ]; then
      status=1
    else
      found="none"
    fi
    printf '%-16s %12s %9s %8s %8s  %s\n' "$t" "$execs" "$rate" - - "$found"
    continue
  fi
  mkdir -p "$work/corpus"
  cp fuzz/corpus/"$t"/* "$work/corpus/"
  rc=0
  "$dir/bin/$t" -max_total_time="$seconds" -runs="$((runs > 0 ? runs : -1))" -timeout=10 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$work/corpus" > "$work/log" 2>&1 || rc=$?
  execs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/log" | grep -o '[0-9]*$' || true)"
  rate="$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$work/log" | grep -o '[0-9]*$' || true)"
  last="$(grep -E '^#[0-9]+.*cov: ' "$work/log" | tail -n 1 || true)"
  cov="$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<< "$last")"
  ft="$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<< "$last")"
  reports="$(grep -cE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|FUZZ FINDING|==[0-9]+== ?ERROR' \
    "$work/log" || true)"
  artifacts="$(find "$findings" -type f | wc -l)"
  found=""
  [ "$rc" -ne 0 ] && found="exit status $rc"
  [ "$artifacts" -gt 0 ] && found="${found:+$found, }$artifacts input(s) in $findings: $(cd "$findings" && ls | tr '\n' ' ')"
  [ "$reports" -gt 0 ] && found="${found:+$found, }$reports report line(s) in $work/log"
  if [ -n "$found" ]; then
    status=1
  else
    found="none"
  fi
  printf '%-16s %12s %9s %8s %8s  %s\n' "$t" "${execs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "$found"
done
exit "$status"
