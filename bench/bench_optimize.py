"""The regime optimiser against a search written the way a Python user
would write it, side by side in one run.

For each of N stands (sites and stockings spread over a range) the best
harvest age and thinning age of a regime are sought by LEV:

- sylvo: one `sylvo optimize` per stand (the engine tables every candidate,
  in exact mode, on --threads threads);
- peer: a grid over the same whole years in Python, one `sylvo table
  --regime FILE --economics FILE --format json` per candidate, its
  `value.lev_per_ha` read back, the best kept (a brute-force search).

Prints stands per second of each, their ratio, and the largest relative
shortfall of the optimiser's objective below the brute-force best (it must
be within 1e-6 on every stand). Usage:
  /usr/bin/python3 bench/bench_optimize.py --tool build/bin/sylvo --economics FILE [--stands N]
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import time


def regime(thin, harvest):
    return {"name": "bench", "events": [
        {"action": "thin", "at": thin, "target": {"remove_ba_fraction": 0.3}, "p": 20},
        {"action": "harvest", "at": harvest}]}


def stand_args(i, stands):
    site = 16.0 + 12.0 * i / max(stands - 1, 1)
    trees = 1200.0 + 97.0 * (i % 9)
    return ["--model", "b", "--site", repr(site), "--start-age", "10", "--trees", repr(trees),
            "--ba", "6", "--end-age", "90", "--merch-limit", "12"]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tool", required=True)
    ap.add_argument("--economics", required=True)
    ap.add_argument("--stands", type=int, default=10)
    ap.add_argument("--thin", default="20:30", help="thinning ages searched, FROM:TO")
    ap.add_argument("--harvest", default="40:90", help="harvest ages searched, FROM:TO")
    ap.add_argument("--threads", type=int, default=2)
    a = ap.parse_args()
    t_lo, t_hi = map(int, a.thin.split(":"))
    h_lo, h_hi = map(int, a.harvest.split(":"))
    work = tempfile.mkdtemp(prefix="sylvo-bench-optimize-")
    free = os.path.join(work, "free.json")
    with open(free, "w") as f:
        json.dump(regime({"search": [t_lo, t_hi]}, {"search": [h_lo, h_hi]}), f)

    def run(args):
        return json.loads(subprocess.run([a.tool] + args, check=True, capture_output=True, text=True).stdout)

    # sylvo optimize, one call per stand.
    start = time.perf_counter()
    ours = []
    for i in range(a.stands):
        out = run(["optimize"] + stand_args(i, a.stands) + ["--regime", free, "--economics", a.economics,
                   "--objective", "lev", "--format", "json", "--threads", str(a.threads)])
        ours.append(out["objective_value"])
    ours_time = time.perf_counter() - start

    # The peer: every whole year of both ranges, one table per candidate.
    fixed = os.path.join(work, "fixed.json")
    start = time.perf_counter()
    peer = []
    for i in range(a.stands):
        best = None
        for t in range(t_lo, t_hi + 1):
            for h in range(h_lo, h_hi + 1):
                with open(fixed, "w") as f:
                    json.dump(regime(t, h), f)
                lev = run(["table"] + stand_args(i, a.stands) + ["--regime", fixed, "--economics", a.economics,
                           "--format", "json"])["value"]["lev_per_ha"]
                if lev is not None and (best is None or lev > best):
                    best = lev
        peer.append(best)
    peer_time = time.perf_counter() - start

    shortfall = max((p - o) / abs(p) for o, p in zip(ours, peer))
    candidates = (t_hi - t_lo + 1) * (h_hi - h_lo + 1)
    print(f"stands {a.stands}, candidates per stand {candidates}, threads {a.threads}")
    print(f"{'':24} {'seconds':>9} {'stands/s':>10}")
    print(f"{'sylvo optimize':24} {ours_time:9.3f} {a.stands / ours_time:10.2f}")
    print(f"{'peer (grid of tables)':24} {peer_time:9.3f} {a.stands / peer_time:10.2f}")
    print(f"ratio (peer time / sylvo time): {peer_time / ours_time:.1f}")
    print(f"largest relative shortfall of sylvo below the brute-force best: {shortfall:.3g}")
    print(f"stands where sylvo is at least the peer's best (1e-9 relative): "
          f"{sum(o >= p - 1e-9 * abs(p) for o, p in zip(ours, peer))} of {a.stands}")
    return 0 if shortfall <= 1e-6 else 1


if __name__ == "__main__":
    sys.exit(main())
