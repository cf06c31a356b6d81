#!/bin/sh
# The engine benchmark in one run and one table: for each model, on the
# standard job (1e6 stands, 10 -> 40 years) and on an inventory (whole-year
# ages 5 to 60, horizons of 1 to 50 years, mixed), stands per second of
#   - a loop over the model's SylvoGrow export (library loaded with dlopen),
#   - the engine's exact mode on 1 thread and on every core,
#   - the engine's fast mode on 1 thread and on every core,
#   - the numpy peer (bench/numpy_peer.py under /usr/bin/python3),
# and the ratios exact-1 / export loop, fast-1 / numpy and every core / 1
# thread, each beside its target. The numpy peer is first checked against the
# engine's exact mode.
#
#   bench/run-engine-bench.sh [BUILD_DIR]     (default: build; builds what it runs)
#
# The slow rows run on fewer stands (the export loop on 1e5, numpy on
# NUMPY_STANDS, default 2e5): stands per second is what is compared. Each
# figure is the best of REPETITIONS runs (default 3; the engine's runs
# interleaved in random order), so that other work on a shared machine
# disturbs the comparison less.
set -eu

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "${1:-$source_dir/build}" && pwd)
python=/usr/bin/python3
numpy_stands=${NUMPY_STANDS:-200000}
repetitions=${REPETITIONS:-3}

# SYLVO_BENCH_BUILD=0 runs what is built already.
if [ "${SYLVO_BENCH_BUILD:-1}" != 0 ]; then
  cmake --build "$build_dir" -j2 --target sylvo_engine_bench sylvoa sylvob sylvoc >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

cut -d' ' -f1 /proc/loadavg >"$work/load_before"
echo "engine benchmark: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')" >&2
echo "checking the numpy peer against the engine's exact mode ..." >&2
"$python" "$source_dir/bench/numpy_peer.py" check --engine "$build_dir/lib/libsylvo.so" >"$work/check.jsonl"
echo "timing the export loop and the engine ..." >&2
"$build_dir/bin/sylvo_engine_bench" --benchmark_format=json --benchmark_repetitions="$repetitions" \
  --benchmark_enable_random_interleaving=true >"$work/engine.json"
echo "timing the numpy peer ($numpy_stands stands) ..." >&2
"$python" "$source_dir/bench/numpy_peer.py" time --stands "$numpy_stands" --repeats "$repetitions" >"$work/numpy.jsonl"

cut -d' ' -f1 /proc/loadavg >"$work/load_after"

"$python" - "$work" "$repetitions" <<'EOF'
import json
import sys

work = sys.argv[1]
engine = json.load(open(f"{work}/engine.json"))
numpy_rows = [json.loads(line) for line in open(f"{work}/numpy.jsonl")]
check = [json.loads(line) for line in open(f"{work}/check.jsonl")]

jobs = ["standard", "inventory"]
rate = {}
for b in engine["benchmarks"]:
    if b.get("error_occurred"):
        sys.exit(f"{b['name']}: {b.get('error_message')}")
    if b.get("run_type") != "iteration":
        continue
    fields = dict(part.split(":") for part in b["run_name"].split("/")[1:] if ":" in part)
    model, job = "abc"[int(fields["model"])], jobs[int(fields["job"])]
    if b["name"].startswith("BM_ExportLoop"):
        key = "export"
    else:
        key = ("exact" if fields["mode"] == "0" else "fast") + ("-1" if fields["threads"] == "1" else "-all")
    rate[model, job, key] = max(rate.get((model, job, key), 0.0), b["items_per_second"])
for row in numpy_rows:
    rate[row["model"], row["job"], "numpy"] = row["stands_per_s"]

exact_target = {"a": 1.8, "b": 2.2, "c": 1.15}
columns = ["export", "exact-1", "exact-all", "fast-1", "fast-all", "numpy"]
load = [open(f"{work}/load_{w}").read().strip() for w in ("before", "after")]
print(f"{engine['context']['num_cpus']} cores (load average {load[0]} before, {load[1]} after: other work on the "
      "machine lowers the every-core figures); stands per second (k = 1e3, M = 1e6), best of "
      f"{sys.argv[2]} runs; ratios with their targets")


def si(x):
    return f"{x / 1e6:.2f}M" if x >= 1e6 else f"{x / 1e3:.1f}k"


def ratio(x, target):
    return f"{x:5.2f}{'' if x >= target else '!'} (>={target})"


header = (f"{'model':5} {'job':9} " + " ".join(f"{c:>9}" for c in columns) +
          f"  {'exact-1/export':>16} {'fast-1/numpy':>14} {'exact all/1':>13} {'fast all/1':>13}")
print(header)
print("-" * len(header))
missed = 0
for model in "abc":
    for job in jobs:
        r = {c: rate[model, job, c] for c in columns}
        ratios = [(r["exact-1"] / r["export"], exact_target[model]), (r["fast-1"] / r["numpy"], 5.0),
                  (r["exact-all"] / r["exact-1"], 1.7), (r["fast-all"] / r["fast-1"], 1.7)]
        missed += sum(x < t for x, t in ratios)
        widths = [16, 14, 13, 13]
        print(f"{model.upper():5} {job:9} " + " ".join(f"{si(r[c]):>9}" for c in columns) + "  " +
              " ".join(f"{ratio(x, t):>{w}}" for (x, t), w in zip(ratios, widths)))
print("! below its target" if missed else "every ratio at or above its target")
agree = ", ".join(f"{c['model'].upper()} {c['job']} {100 * c['share_agreeing']:.2f}%" for c in check)
print(f"numpy peer agrees with exact mode (within 1e-12, or both NaN) on: {agree}")
EOF
