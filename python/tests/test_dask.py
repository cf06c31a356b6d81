"""sylvo.dask on a LocalCluster of two worker processes: the same rows, the
same bits and the same statuses as sylvo.project on the whole frame."""
import numpy as np
import pandas as pd
import pytest

dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")

import sylvo  # noqa: E402
import sylvo.dask  # noqa: E402
from test_frames import write_inventory  # noqa: E402


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1, dashboard_address=None) as c:
        with distributed.Client(c) as cl:
            yield cl


@pytest.fixture(scope="module")
def parts(tmp_path_factory):
    """An inventory in four CSV files (with bad rows in several of them)."""
    d = tmp_path_factory.mktemp("parts")
    rng = np.random.default_rng(21)
    return [write_inventory(d / f"part-{k}.csv", rng, 1500, k % 2 == 1) for k in range(4)]


def test_project_from_csv_partitions_equals_one_process(client, parts):
    assert len(client.scheduler_info()["workers"]) == 2
    same = parts[::2]  # the files with one header
    ddf = sylvo.dask.read_inventory([str(p) for p in same])
    assert ddf.npartitions == 2
    assert sylvo.dask.read_inventory(str(parts[0].parent / "part-*.csv")).npartitions == 4
    options = dict(to_age=60, merch_limit=12, model="b")
    got = sylvo.dask.project(ddf, **options).compute()
    whole = pd.concat([sylvo.read_inventory(p) for p in same], ignore_index=True)
    want = sylvo.project(whole, **options)
    pd.testing.assert_frame_equal(got.reset_index(drop=True), want, check_exact=True)
    bad = want[want["status"].str.startswith("row ")]
    assert len(bad) > 2 and bad.index.max() > 1500  # numbered as in the whole frame


def test_project_and_tables_from_a_pandas_frame(client, parts):
    whole = pd.concat([sylvo.read_inventory(p) for p in parts], ignore_index=True)
    ddf = dd.from_pandas(whole, npartitions=7)
    got = sylvo.dask.project(ddf, years=30).compute()
    pd.testing.assert_frame_equal(got, sylvo.project(whole, years=30), check_exact=True)
    # A stand's fast result depends on its own values alone, so the
    # partitions give the single run's rows in fast mode too.
    fast = sylvo.dask.project(ddf, years=30, mode="fast").compute()
    pd.testing.assert_frame_equal(fast, sylvo.project(whole, years=30, mode="fast"), check_exact=True)
    got = sylvo.dask.tables(ddf, end_age=70, merch_limit=10, model="c").compute()
    pd.testing.assert_frame_equal(got, sylvo.tables(whole, end_age=70, merch_limit=10, model="c"),
                                  check_exact=True)


def test_meta_and_refusals_before_anything_runs(parts):
    ddf = sylvo.dask.read_inventory([str(p) for p in parts])
    out = sylvo.dask.project(ddf, to_age=50, row_offsets=False)
    assert list(out.columns) == ["id", "stratum", *[k for k in sylvo.PROJECT_KEYS if k != "merch_volume_m3_per_ha"]]
    assert out.dtypes["height_m"] == np.float64 and out.dtypes["status"] == object
    with pytest.raises(ValueError, match="^to_age: given with years"):
        sylvo.dask.project(ddf, to_age=50, years=3)
    with pytest.raises(ValueError, match="^ddf: DataFrame is not a dask DataFrame"):
        sylvo.dask.project(pd.DataFrame(), to_age=50)


def test_read_inventory_refuses_a_record_that_does_not_fit(client, parts, tmp_path):
    # dask.dataframe.read_csv pads a short record; the command line's reader
    # refuses it, naming the file and line, when the partition is computed.
    short = tmp_path / "short.csv"
    lines = parts[0].read_text().splitlines()
    short.write_text("\n".join(lines[:5] + [lines[5].rsplit(",", 1)[0]] + lines[6:]) + "\n")
    ddf = sylvo.dask.read_inventory([str(parts[2]), str(short)])
    with pytest.raises(ValueError, match="short.csv' has a record that does not fit its header: line 6: "):
        sylvo.dask.project(ddf, to_age=60).compute()
    # Files of other headers are refused, not aligned.
    with pytest.raises(ValueError, match="part-1.csv' has the columns .* but the first file"):
        sylvo.dask.read_inventory([str(parts[0]), str(parts[1])]).compute()
