"""Projects an inventory of a few million stands with Dask: a LocalCluster by
default, or a real cluster given by its scheduler's address.

    .venv/bin/python examples/dask_project.py                       # 2,000,000 stands, 2 local workers
    .venv/bin/python examples/dask_project.py --stands 200000 --workers 2
    .venv/bin/python examples/dask_project.py --scheduler tcp://scheduler:8786 --dir /shared/sylvo

It writes a made-up inventory of all three models as CSV partitions
(DIR/inventory/part-NNN.csv, DIR by default build-py/dask-example, made on the workers, one task per partition,
unless they are there already), reads them with sylvo.dask.read_inventory
(the command line's reader, on the workers: every field as text, so the
engine reads the numbers as sylvo project does), projects every stand to --to-age with sylvo.dask.project, and writes
DIR/projected/part-NNN.csv, one row per input row in input order. On a real
cluster DIR must be a directory every worker sees at the same path (a shared
file system), and every worker needs the sylvo package installed.
"""
import argparse
import os
import time

import numpy as np


def make_partition(path, first, count, seed):
    """COUNT made-up stands numbered from FIRST, written to PATH as CSV."""
    import pandas as pd

    rng = np.random.default_rng(seed)
    model = rng.choice(np.array(["a", "b", "c"]), count)
    age = np.round(rng.uniform(8, 40, count), 1)
    by_height = rng.random(count) < 0.25
    site = np.round(rng.uniform(14, 32, count), 2)
    height = np.round(rng.uniform(8, 30, count), 2)
    df = pd.DataFrame({
        "id": [f"S{first + i:08d}" for i in range(count)],
        "stratum": rng.choice(np.array(["north", "ridge", "south", "river flat"]), count),
        "model": model,
        "age_yr": age,
        "trees_per_ha": np.round(rng.uniform(400, 2600, count)),
        "ba_m2_per_ha": np.round(rng.uniform(3, 35, count), 2),
        "site_m": np.where(by_height, "", site.astype(str)),
        "height_m": np.where(by_height, height.astype(str), ""),
        "height_age_yr": np.where(by_height, "30", ""),
    })
    tmp = f"{path}.tmp"
    df.to_csv(tmp, index=False)
    os.replace(tmp, path)
    return count


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--stands", type=int, default=2_000_000, help="stands in the inventory (default 2000000)")
    parser.add_argument("--partitions", type=int, default=16, help="CSV partitions (default 16)")
    parser.add_argument("--dir", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build-py",
                                                      "dask-example"),
                        help="where the inventory and the result go (default build-py/dask-example)")
    parser.add_argument("--scheduler", default=None,
                        help="a running cluster's scheduler address (tcp://HOST:8786); default: a LocalCluster")
    parser.add_argument("--workers", type=int, default=2, help="worker processes of the LocalCluster (default 2)")
    parser.add_argument("--to-age", type=float, default=40.0, help="the age every stand is brought to (default 40)")
    parser.add_argument("--merch-limit", type=float, default=12.0, help="merchantable limit in cm (default 12)")
    args = parser.parse_args()

    import dask
    import dask.dataframe as dd
    from distributed import Client, LocalCluster

    import sylvo.dask

    inventory = os.path.abspath(os.path.join(args.dir, "inventory"))
    projected = os.path.abspath(os.path.join(args.dir, "projected"))
    os.makedirs(inventory, exist_ok=True)
    os.makedirs(projected, exist_ok=True)

    if args.scheduler:
        client = Client(args.scheduler)
        cluster = None
    else:
        # One engine thread per worker process: the workers share the cores.
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True, dashboard_address=None)
        client = Client(cluster)
    print(f"cluster: {len(client.scheduler_info()['workers'])} workers ({args.scheduler or 'LocalCluster'})")

    t0 = time.perf_counter()
    sizes = np.diff(np.linspace(0, args.stands, args.partitions + 1).astype(np.int64))
    paths = [os.path.join(inventory, f"part-{k:03d}.csv") for k in range(args.partitions)]
    firsts = np.concatenate(([0], np.cumsum(sizes)[:-1]))
    todo = [dask.delayed(make_partition)(p, int(f), int(n), 1000 + k)
            for k, (p, f, n) in enumerate(zip(paths, firsts, sizes)) if not os.path.exists(p)]
    if todo:
        dask.compute(*todo)
        print(f"inventory: {args.stands:,} stands in {args.partitions} CSV files under {inventory} "
              f"({time.perf_counter() - t0:.1f} s)")

    t1 = time.perf_counter()
    ddf = sylvo.dask.read_inventory(paths)
    out = sylvo.dask.project(ddf, to_age=args.to_age, merch_limit=args.merch_limit, threads=1)
    out.to_csv(os.path.join(projected, "part-*.csv"), index=False,
               name_function=lambda k: f"{k:03d}")
    seconds = time.perf_counter() - t1

    status = dd.read_csv(os.path.join(projected, "part-*.csv"), usecols=["status"], dtype=str,
                         keep_default_na=False)["status"]
    counts = status.value_counts().compute()
    ok = int(counts.get("ok", 0))
    print(f"projected: {ok + int(counts.drop('ok', errors='ignore').sum()):,} stands to age {args.to_age:g} "
          f"({ok:,} ok) in {seconds:.1f} s, written to {projected}")
    print(out.head(3)[["id", "start_age_yr", "end_age_yr", "site_m", "trees_per_ha", "ba_m2_per_ha",
                       "volume_m3_per_ha", "status"]].to_string(index=False))
    client.close()
    if cluster is not None:
        cluster.close()


if __name__ == "__main__":
    main()
