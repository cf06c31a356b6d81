"""Regimes through the Python package: the same documents as the command
line (a dict or a file's path) give the same tables, events and notes, and a
refused document names its place as the command line does."""
import json

import numpy as np
import pandas as pd
import pytest

import sylvo
from test_frames import TABLE_NUMBERS, assert_same_frame

REGIMES = {"regimes": [
    {"name": "dense", "events": [
        {"action": "thin", "at": 20, "target": {"trees_per_ha": 800}, "p": 20},
        {"action": "thin", "every": {"from": 25, "step": 10, "to": 45}, "target": {"remove_ba_fraction": 0.25},
         "p": 20},
        {"action": "thin", "when": {"sdi_per_ha_over": 900, "from_age": 15, "min_years_since_thinning": 5},
         "target": {"sdi_per_ha": 550}, "p": 20, "min_removal": {"volume_m3_per_ha": 15}},
        {"action": "harvest", "when": {"mai_culminates": True}}]},
    {"name": "light", "check_every": 2, "events": [
        {"action": "thin", "when": {"ba_m2_per_ha_over": 35}, "target": {"relative_density": 0.45}, "p": 12},
        {"action": "harvest", "at": 70}]}]}
STAND = dict(site=24, start_age=10, trees=1800, ba=6, end_age=80, merch_limit=12)
OPTIONS = "--site 24 --start-age 10 --trees 1800 --ba 6 --end-age 80 --merch-limit 12".split()


@pytest.fixture()
def regime_file(tmp_path):
    path = tmp_path / "regimes.json"
    path.write_text(json.dumps(REGIMES))
    return path


@pytest.mark.parametrize("model", ["a", "b", "c"])
@pytest.mark.parametrize("name", ["dense", "light"])
def test_a_regime_table_equals_the_command_line(model, name, regime_file, cli):
    df = sylvo.yield_table(model, regime=REGIMES, regime_name=name, **STAND)
    r = cli("table", "--model", model, *OPTIONS, "--regime", regime_file, "--regime-name", name, "--format", "csv")
    assert_same_frame(df, r.stdout, TABLE_NUMBERS)
    from_path = sylvo.yield_table(model, regime=regime_file, regime_name=name, **STAND)
    pd.testing.assert_frame_equal(df, from_path, check_exact=True)
    assert df.attrs["regime"]["name"] == name
    if df.attrs["harvested"]:
        assert df.attrs["summary"]["standing_volume_m3_per_ha"] == 0 and df["trees_per_ha"].iloc[-1] == 0
        assert df["event"].iloc[-1].startswith("harvest: ")


def test_refusals_name_the_place(tmp_path):
    bad = {"name": "x", "events": [{"action": "thin", "at": 20, "target": {"trees": 800}, "p": 20}]}
    with pytest.raises(ValueError, match=r"^<regime>:1:\d+: /events/0/target/trees: is not a key of a target"):
        sylvo.yield_table("a", regime=bad, **STAND)
    path = tmp_path / "bad.json"
    path.write_text('{"name": "x",\n "events": [1]}')
    with pytest.raises(ValueError, match=r"bad.json:2:13: /events/0: is a number, not an event"):
        sylvo.yield_table("a", regime=path, **STAND)
    with pytest.raises(ValueError, match=r"holds several regimes \('dense', 'light'\)"):
        sylvo.yield_table("a", regime=REGIMES, **STAND)
    with pytest.raises(ValueError, match="thinnings: given together with regime"):
        sylvo.yield_table("a", regime=REGIMES, regime_name="dense", thinnings="20:tph=800:p=20", **STAND)
    with pytest.raises(ValueError, match="cannot be opened"):
        sylvo.yield_table("a", regime=tmp_path / "missing.json", **STAND)


def test_tables_and_compare_equal_the_command_line(regime_file, cli, tmp_path):
    inv = pd.DataFrame({"id": ["s1", "s2", "s3"], "model": ["b", "c", "a"], "age_yr": [10, 12, 10],
                        "trees_per_ha": [1800, 1500, 2000], "ba_m2_per_ha": [6, 9, 7], "site_m": [24, 26, 20],
                        "end_age_yr": [80, 70, 60], "regime": ["dense", "light", "nope"]})
    path = tmp_path / "inv.csv"
    inv.to_csv(path, index=False)
    df = sylvo.tables(sylvo.read_inventory(path), regimes=regime_file, merch_limit=12)
    r = cli("tables", "--input", path, "--regimes", regime_file, "--merch-limit", 12)
    assert r.returncode == 0, r.stderr
    assert_same_frame(df, r.stdout, TABLE_NUMBERS)
    assert df["status"].iloc[-1].startswith("row 3, column 8 (regime): 'nope' names no regime")
    with pytest.raises(ValueError, match="has a column regime, but no regimes are given"):
        sylvo.tables(inv, merch_limit=12)

    long = sylvo.compare("b", regimes=regime_file, **STAND)
    doc = json.loads(cli("compare", "--model", "b", *OPTIONS, "--regime", regime_file, "--format", "json").stdout)
    summary = long.attrs["summary"]
    assert list(summary["regime"]) == ["dense", "light"]
    for entry, (_, row) in zip(doc["regimes"], summary.iterrows()):
        for key, value in entry["summary"].items():
            assert row[key] == value or (value is None and np.isnan(row[key])), key
        mine = long[long["regime"] == row["regime"]]
        assert list(mine["trees_per_ha"]) == [x["trees_per_ha"] for x in entry["rows"]]
