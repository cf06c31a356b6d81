#!/usr/bin/python3
"""Reading, projecting and writing an inventory with `sylvo project` against
the engine projecting the same stands in memory, in one run.

    bench_inventory.py --tool PATH --memory PATH --engine LIBSYLVO [--stands N] [--repeat R]
    (bench/bench_inventory.sh [BUILD_DIR] runs it on a build tree)

The inventory is generated (fixed seed): integer ages 5 to 60, the three
models mixed, trees 300-2500/ha, basal area 0.3-0.8 m2/ha per year of age
(2-45 m2/ha), site index 12-32 m;
each stand is brought 20 years forward in exact mode on every core. The
engine's side is timed two ways, on the same stands in memory:
- its inventory projection (`sylvo_project_memory`: project_inventory, the
  function the command calls, on every stand at once), which gives every
  number and status the command writes;
- the four batch calls of the C interface that compute the numbers
  (growth, height at the end age, volume, merchantable volume), grouped by
  model, through ctypes: the numbers alone, without the quadratic mean
  diameter, the stand density index, the rule for what is still a stand
  and the statuses.
The best of R runs is taken for each.
"""

import argparse
import ctypes
import os
import resource
import subprocess
import tempfile
import time

import numpy as np


class Options(ctypes.Structure):
    _fields_ = [("mode", ctypes.c_int), ("threads", ctypes.c_int)]


def generate(path, n, seed=1):
    rng = np.random.default_rng(seed)
    model = rng.integers(0, 3, n)
    age = rng.integers(5, 61, n).astype(float)
    trees = np.round(rng.uniform(300, 2500, n), 1)
    # basal area grows with age: 0.3 to 0.8 m2/ha per year of age, 2 to 45 m2/ha
    ba = np.round(np.clip(rng.uniform(0.3, 0.8, n) * age, 2.0, 45.0), 2)
    site = np.round(rng.uniform(12, 32, n), 2)
    letters = np.array(["a", "b", "c"])[model]
    with open(path, "w") as f:
        f.write("id,model,age_yr,trees_per_ha,ba_m2_per_ha,site_m\n")
        for i in range(0, n, 100000):
            s = slice(i, min(i + 100000, n))
            f.writelines(f"s{k},{m},{a:g},{t:g},{b:g},{si:g}\n" for k, m, a, t, b, si in
                         zip(range(s.start, s.stop), letters[s], age[s], trees[s], ba[s], site[s]))
    return model, age, trees, ba, site


def engine_time(lib, model, age, trees, ba, site, years, limit):
    d = ctypes.POINTER(ctypes.c_double)
    opts = Options(0, 0)
    groups = []
    for m in range(3):
        sel = model == m
        k = int(sel.sum())
        t1 = np.ascontiguousarray(age[sel])
        groups.append((m, k, t1, t1 + years, np.ascontiguousarray(trees[sel]), np.ascontiguousarray(ba[sel]),
                       np.ascontiguousarray(site[sel]), np.zeros(k), np.full(k, limit),
                       *(np.empty(k) for _ in range(5))))
    p = lambda a: a.ctypes.data_as(d)  # noqa: E731
    cpu = time.process_time()
    start = time.perf_counter()
    for m, k, t1, t2, n1, b1, s, shift, lim, n2, b2, h, v, mv in groups:
        assert lib.sylvo_grow_batch(m, k, p(t1), p(t2), p(n1), p(b1), p(n2), p(b2), ctypes.byref(opts)) == 0
        assert lib.sylvo_height_batch(m, k, p(t2), p(s), p(shift), p(h), ctypes.byref(opts)) == 0
        assert lib.sylvo_volume_batch(m, k, p(h), p(n2), p(b2), p(v), ctypes.byref(opts)) == 0
        assert lib.sylvo_merch_volume_batch(m, k, p(h), p(n2), p(b2), p(lim), p(mv), ctypes.byref(opts)) == 0
    return time.perf_counter() - start, time.process_time() - cpu


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tool", required=True)
    ap.add_argument("--memory", required=True)
    ap.add_argument("--engine", required=True)
    ap.add_argument("--stands", type=int, default=1_000_000)
    ap.add_argument("--repeat", type=int, default=3)
    args = ap.parse_args()
    lib = ctypes.CDLL(args.engine)
    with tempfile.TemporaryDirectory() as tmp:
        src, dst = os.path.join(tmp, "inventory.csv"), os.path.join(tmp, "projected.csv")
        model, age, trees, ba, site = generate(src, args.stands)
        stands = os.path.join(tmp, "stands.f64")
        np.column_stack([model.astype(float), age, trees, ba, site]).astype("<f8").tofile(stands)
        tool, engine, tool_cpu, engine_cpu, memory, memory_cpu = [], [], [], [], [], []
        for _ in range(args.repeat):
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.perf_counter()
            subprocess.run([args.tool, "project", "--input", src, "--output", dst, "--years", "20",
                            "--merch-limit", "12", "--mode", "exact", "--threads", "0"],
                           check=True, stderr=subprocess.DEVNULL)
            tool.append(time.perf_counter() - start)
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            tool_cpu.append(after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime)
            wall, cpu = engine_time(lib, model, age, trees, ba, site, 20.0, 12.0)
            engine.append(wall)
            engine_cpu.append(cpu)
            wall, cpu, ok = subprocess.run([args.memory, stands, "20", "12", "1"], check=True, capture_output=True,
                                           text=True).stdout.split()
            memory.append(float(wall))
            memory_cpu.append(float(cpu))
        with open(dst) as f:
            next(f)
            rows = ok_rows = 0
            for line in f:
                rows += 1
                ok_rows += ",ok," in line
        assert rows == args.stands, rows
        # Both sides projected the same stands to the same outcome.
        assert ok_rows == int(ok), (ok_rows, ok)
    t, m, e = min(tool), min(memory), min(engine)
    tc, mc, ec = min(tool_cpu), min(memory_cpu), min(engine_cpu)
    print(f"stands {args.stands} ({int(ok)} ok), 20 years forward, exact, every core; "
          f"load average {os.getloadavg()[0]:.2f}")
    print(f"{'':44} {'wall s':>8} {'ratio':>6} {'cpu s':>7} {'ratio':>6}")
    print(f"{'sylvo project (read, project, write a file)':44} {t:8.3f} {'':>6} {tc:7.3f} {'':>6}")
    print(f"{'engine inventory projection in memory':44} {m:8.3f} {t / m:6.2f} {mc:7.3f} {tc / mc:6.2f}"
          "   (target: wall ratio at most 1.5)")
    print(f"{'engine batch calls in memory (numbers only)':44} {e:8.3f} {t / e:6.2f} {ec:7.3f} {tc / ec:6.2f}")


if __name__ == "__main__":
    main()
