"""Yield tables and inventories as DataFrames against the sylvo command
line's CSV output: the same rows, the same bits, the same statuses."""
import csv
import io
import re

import numpy as np
import pandas as pd
import pytest

import sylvo
from conftest import ROOT, assert_bits_equal


def read_cli(text):
    """The tool's CSV, every field as text."""
    return pd.read_csv(io.StringIO(text), dtype=str, keep_default_na=False)


def numbers(texts):
    """CSV fields to doubles as written (shortest round trip); empty is NaN."""
    return np.array([float(t) if t != "" else np.nan for t in texts])


def as_frame_status(status):
    """A status of the tool in a data frame's words: lines of a file are rows
    of the frame (the header is line 1), options are keywords."""
    status = re.sub(r"^line (\d+)", lambda m: f"row {int(m.group(1)) - 1}", status)
    return status.replace("--end-age", "end_age")


def assert_same_frame(got, cli_csv, numeric):
    want = read_cli(cli_csv)
    assert list(got.columns) == list(want.columns)
    assert len(got) == len(want)
    for c in want.columns:
        if c in numeric:
            assert_bits_equal(got[c].to_numpy(dtype=float), numbers(want[c]), c)
        elif c == "status":
            assert list(got[c]) == [as_frame_status(s) for s in want[c]]
        else:
            assert list(got[c]) == list(want[c]), c


TABLE_NUMBERS = [k for k in sylvo.TABLE_KEYS if k not in ("event", "note")]

STANDS = [
    # (python keywords, command-line options)
    (dict(model="a", site=24, start_age=10, trees=1800, ba=6, end_age=35, merch_limit=12,
          thinnings=["20:tph=800:p=20"]),
     "--model a --site 24 --start-age 10 --trees 1800 --ba 6 --end-age 35 --merch-limit 12 --thin 20:tph=800:p=20"),
    (dict(model="a", site=24, start_age=10, trees=1800, ba=6, end_age=60, merch_limit=12,
          thinnings=[(20, "tph", 800, 20)]),
     "--model a --site 24 --start-age 10 --trees 1800 --ba 6 --end-age 60 --merch-limit 12 --thin 20:tph=800:p=20"),
    (dict(model="c", site=28, start_age=12, trees=1500, ba=10, end_age=90, interval=4, merch_limit=12,
          thinnings="20:tph=700:p=10;36:ba=35:p=25"),
     "--model c --site 28 --start-age 12 --trees 1500 --ba 10 --end-age 90 --interval 4 --merch-limit 12 "
     "--thin 20:tph=700:p=10 --thin 36:ba=35:p=25"),
    (dict(model="b", height=16, height_age=30, shift=1.5, start_age=10, trees=1800, ba=6, end_age=33,
          merch_limit=10, thinnings=[(17.5, "tph", 900, 15)], max_sdi=1200),
     "--model b --height 16 --height-age 30 --shift 1.5 --start-age 10 --trees 1800 --ba 6 --end-age 33 "
     "--merch-limit 10 --thin 17.5:tph=900:p=15 --max-sdi 1200"),
    (dict(model="b", site=30.25, start_age=15, trees=2400, ba=9, end_age=120, interval=7, merch_limit=0),
     "--model b --site 30.25 --start-age 15 --trees 2400 --ba 9 --end-age 120 --interval 7 --merch-limit 0"),
]


class TestYieldTable:
    @pytest.mark.parametrize("kwargs,options", STANDS)
    def test_equals_the_command_line(self, kwargs, options, cli):
        kwargs = dict(kwargs)
        model = kwargs.pop("model")
        df = sylvo.yield_table(model, **kwargs)
        r = cli("table", *options.split(), "--format", "csv")
        assert_same_frame(df, r.stdout, TABLE_NUMBERS)
        m = re.search(r"no longer a stand at age (\S+): (.*); the table stops", r.stderr)
        if m:
            assert r.returncode == 3
            assert df.attrs["stop_age"] == float(m.group(1))
            assert df.attrs["stop_reason"] == m.group(2)
        else:
            assert r.returncode == 0 and df.attrs["stop"] is None
        assert df.attrs["model"] == model and df.attrs["version"] == {"a": 1.1, "b": 1.0, "c": 1.2}[model]

    def test_thinnings_as_text_or_tuples(self):
        base = dict(site=22, start_age=10, trees=2000, ba=7, end_age=50, merch_limit=12)
        text = sylvo.yield_table("c", thinnings=["18:tph=900:p=12", "30:ba=20:p=25"], **base)
        joined = sylvo.yield_table("c", thinnings="18:tph=900:p=12;30:ba=20:p=25", **base)
        tuples = sylvo.yield_table("c", thinnings=[(18, "tph", 900, 12), (30.0, "ba", 20, 25)], **base)
        pd.testing.assert_frame_equal(text, joined, check_exact=True)
        pd.testing.assert_frame_equal(text, tuples, check_exact=True)
        assert tuples.attrs["thinnings"] == ["18:tph=900:p=12", "30:ba=20:p=25"]
        removed = text["removed_trees_per_ha"].notna()
        assert list(text.loc[removed, "age_yr"]) == [18, 30]

    def test_without_a_merchantable_limit(self):
        df = sylvo.yield_table("b", site=20, start_age=10, trees=1500, ba=6, end_age=30, merch_limit=None)
        assert df["merch_volume_m3_per_ha"].isna().all() and df["volume_m3_per_ha"].notna().all()

    @pytest.mark.parametrize("kwargs,message", [
        (dict(), r"^site: missing, and so is height with height_age"),
        (dict(site=20, height=15, height_age=30), r"^site: given with height or height_age"),
        (dict(site=20, end_age=5), r"^end_age: '5' is not after the start age 10"),
        (dict(site=20, start_age=2000), r"^start_age: '2000' is not above 0 and at most 1000"),
        (dict(height=90, height_age=20), r"^height: '90' is reached at age 20 by no site index"),
        (dict(site=-3), r"^site: -3 is not a number above 0"),
        (dict(site=20, trees=float("nan")), r"^trees: nan is not a number above 0"),
        (dict(site=20, thinnings=["20:tph=800"]), r"^thinnings: '20:tph=800'"),
        (dict(site=20, thinnings=[(20, "trees", 800, 20)]), r"^thinnings: \(20, 'trees', 800, 20\) is not a thinning"),
        (dict(site=20, thinnings=["30:tph=800:p=20", "20:tph=900:p=20"]),
         r"^thinnings: '20:tph=900:p=20' does not come after the thinning at age 30"),
        (dict(site=20, thinnings=["20:tph=5000:p=20"]), r"^thinnings: '20:tph=5000:p=20' leaves 5000 trees/ha"),
        (dict(site=99), r"^site: '99' is outside the range"),
    ])
    def test_refusals_name_the_argument(self, kwargs, message):
        base = dict(start_age=10, trees=1800, ba=6, end_age=40, merch_limit=12)
        base.update(kwargs)
        with pytest.raises(ValueError, match=message):
            sylvo.yield_table("a", **base)


def write_inventory(path, rng, n, tables):
    """A made-up inventory with every way a row can be bad, some of them."""
    header = ["id", "stratum", "model", "age_yr", "trees_per_ha", "ba_m2_per_ha", "site_m", "height_m",
              "height_age_yr", "shift_yr"]
    if tables:
        header += ["end_age_yr", "interval_yr", "merch_limit_cm", "thinnings"]
    bad = {"age_yr": ["", "abc", "-5", "2000", "nan", "1e999"], "trees_per_ha": ["1.2k", "0", "", "+", "inf"],
           "ba_m2_per_ha": ["-1", "x"], "site_m": ["1.0", "90", "y"], "model": ["d", "AA"],
           "thinnings": ["20:tph=800", "5:tph=100:p=1", "999:ba=1:p=1"], "end_age_yr": ["", "q"],
           "interval_yr": ["0", "-2"]}
    rows = []
    for i in range(n):
        model = "abc"[i % 3]
        age = rng.uniform(5, 40)
        row = {"id": f"S{i:04d}", "stratum": rng.choice(["north", "ridge", 'river "flat", wet']),
               "model": rng.choice([model, model.upper(), ""]), "age_yr": repr(round(age, 1)),
               "trees_per_ha": repr(float(rng.integers(300, 3000))), "ba_m2_per_ha": repr(rng.uniform(2, 45)),
               "site_m": "", "height_m": "", "height_age_yr": "", "shift_yr": rng.choice(["", "0", "1.25", "-2"])}
        if rng.random() < 0.3:
            row["height_m"], row["height_age_yr"] = repr(rng.uniform(8, 30)), "30"
        else:
            row["site_m"] = repr(rng.uniform(14, 32))
        if tables:
            end = age + rng.uniform(10, 60)
            row.update({"end_age_yr": rng.choice([repr(end), ""]), "interval_yr": rng.choice(["", "5", "3.5"]),
                        "merch_limit_cm": rng.choice(["", "12", "0"]),
                        "thinnings": rng.choice(["", f"{age + 5:.1f}:tph=200:p=20",
                                                 f"{age + 5:.1f}:ba=5:p=15;{age + 9:.1f}:tph=150:p=20"])})
        if rng.random() < 0.15:
            col = rng.choice([c for c in bad if c in row])
            row[col] = rng.choice(bad[col])
        rows.append(row)
    with open(path, "w", newline="") as f:
        w = csv.DictWriter(f, fieldnames=header)
        w.writeheader()
        w.writerows(rows)
    return path


PROJECT_NUMBERS = ["start_age_yr", "end_age_yr", "site_m", "height_m", "trees_per_ha", "ba_m2_per_ha", "qmd_cm",
                   "volume_m3_per_ha", "merch_volume_m3_per_ha", "sdi_per_ha"]


class TestInventories:
    @pytest.mark.parametrize("options", [
        dict(to_age=40, merch_limit=12), dict(years=25), dict(to_age=70, model="b", merch_limit=0, max_sdi=900),
    ])
    def test_project_equals_the_command_line(self, options, cli, tmp_path):
        for path in (ROOT / "examples" / "inventory.csv",
                     write_inventory(tmp_path / "inv.csv", np.random.default_rng(11), 600, False)):
            df = sylvo.project(sylvo.read_inventory(path), **options)
            args = [f"--{k.replace('_', '-')}={v}" for k, v in options.items()]
            r = cli("project", "--input", path, *args)
            assert r.returncode == 0, r.stderr
            assert_same_frame(df, r.stdout, PROJECT_NUMBERS)
            flagged = int(re.search(r"(\d+) flagged", r.stderr).group(1))
            assert (df["status"] != "ok").sum() == flagged

    def test_tables_equals_the_command_line(self, cli, tmp_path):
        for path, options in ((ROOT / "examples" / "inventory.csv", dict(merch_limit=12)),
                              (write_inventory(tmp_path / "tab.csv", np.random.default_rng(12), 250, True),
                               dict(end_age=55, interval=5, model="c"))):
            df = sylvo.tables(sylvo.read_inventory(path), **options)
            args = [f"--{k.replace('_', '-')}={v}" for k, v in options.items()]
            r = cli("tables", "--input", path, *args)
            assert r.returncode == 0, r.stderr
            assert_same_frame(df, r.stdout, TABLE_NUMBERS)

    def test_flagged_rows_keep_their_place_with_a_reason(self):
        inv = sylvo.read_inventory(ROOT / "examples" / "inventory.csv")
        out = sylvo.project(inv, to_age=40)
        assert len(out) == len(inv) and list(out["id"]) == list(inv["id"])
        assert out.loc[16, "status"] == "row 17, column 5 (trees_per_ha): '1.2k' is not a number"
        assert out.loc[16, ["height_m", "volume_m3_per_ha"]].isna().all()
        # Numbered as in a larger frame this one is part of:
        later = sylvo.project(inv, to_age=40, row_offset=1000)
        assert later.loc[16, "status"].startswith("row 1017, column 5")
        # A reason found in the projection names its row and column too.
        df = pd.DataFrame({"id": ["a", "b"], "age_yr": [995.0, 20], "trees_per_ha": 1000.0, "ba_m2_per_ha": 20.0,
                           "site_m": 22.0})
        assert sylvo.project(df, model="b", years=10)["status"].tolist() == [
            "row 1, column 2 (age_yr): 995 plus 10 years gives the end age 1005, not above 0 and at most 1000", "ok"]

    def test_read_inventory_refuses_records_that_do_not_fit(self, tmp_path):
        # The command line's reader: quoting, a byte-order mark, CRLF, empty
        # lines passed over, every field text as written.
        good = tmp_path / "good.csv"
        good.write_bytes(b'\xef\xbb\xbfid,age_yr,remark\r\n"a,1",20,"said ""hi""\r\nthen"\r\n\r\nb,+25,\r\n')
        df = sylvo.read_inventory(good)
        assert list(df.columns) == ["id", "age_yr", "remark"]
        assert df.to_dict("list") == {"id": ["a,1", "b"], "age_yr": ["20", "+25"], "remark": ['said "hi"\r\nthen', ""]}
        assert sylvo.read_inventory(tmp_path / "good.csv").shape == (2, 3)
        header_only = tmp_path / "header.csv"
        header_only.write_text("id,age_yr\n")
        assert sylvo.read_inventory(header_only).shape == (0, 2)
        # A data frame has no place for a row that is not one: refused, with
        # the line and column, never padded or shifted.
        cases = [
            (b"id,age_yr,shift_yr\na,20,1\nb,20\n", "line 3: 2 fields, but the header has 3"),
            (b"id,age_yr\na,20\nb,20,5\n", "line 3: 3 fields, but the header has 2"),
            (b'id,age_yr\na,2"0\n', "line 2, column 2: a quote inside a field"),
            (b'id,age_yr\n"a,20\n', "line 2, column 1: a quoted field is not closed"),
            (b"id,age_yr,id\n", "names the column 'id' twice (columns 1 and 3)"),
            (b"id,age_yr\na\xff,20\n", "has text that is not UTF-8: line 2, column 1"),
            (b"", "is empty"),
        ]
        for k, (data, words) in enumerate(cases):
            path = tmp_path / f"bad{k}.csv"
            path.write_bytes(data)
            with pytest.raises(ValueError, match="^path: '.*' .*" + re.escape(words)):
                sylvo.read_inventory(path)
        with pytest.raises(ValueError, match="cannot be opened"):
            sylvo.read_inventory(tmp_path / "missing.csv")
        with pytest.raises(TypeError):
            sylvo.read_inventory(good, sep=";")

    def test_numeric_columns_read_as_the_text_ones(self):
        path = ROOT / "examples" / "inventory.csv"
        text = sylvo.read_inventory(path)
        typed = pd.read_csv(path, float_precision="round_trip", keep_default_na=False, na_values={
            c: [""] for c in ("age_yr", "ba_m2_per_ha", "site_m", "height_m", "height_age_yr", "shift_yr")})
        typed.index = typed.index + 100
        a = sylvo.project(text, to_age=50, merch_limit=10)
        b = sylvo.project(typed, to_age=50, merch_limit=10)
        assert list(b.index) == list(typed.index)  # the input's index is kept
        for c in PROJECT_NUMBERS:
            assert_bits_equal(b[c].to_numpy(), a[c].to_numpy(), c)
        assert list(a["status"]) == list(b["status"])

    def test_a_float_frame_with_missing_and_infinite_cells(self):
        df = pd.DataFrame({"age_yr": [20.0, np.nan, 20.0, 15.0], "trees_per_ha": [900.0, 900.0, np.inf, 1200.0],
                           "ba_m2_per_ha": [20.0, 20.0, 20.0, 18.0], "site_m": [24.0, 24.0, 24.0, np.nan],
                           "height_m": [np.nan, np.nan, np.nan, 14.0], "height_age_yr": [np.nan] * 3 + [25.0],
                           "plot": [1, 2, 3, 4]})
        out = sylvo.project(df, to_age=40, model="b")
        assert list(out.columns[:2]) == ["id", "plot"] and out["plot"].dtype == df["plot"].dtype
        assert out["status"].tolist()[:3] == ["ok", "row 2, column 1 (age_yr): empty; a number is needed",
                                              "row 3, column 2 (trees_per_ha): 'inf' is not a finite number"]
        assert out.loc[3, "status"] == "ok"
        assert out.loc[3, "site_m"] == sylvo.site("b", 14.0, 25.0)
        trees, ba = sylvo.grow("b", 20.0, 40.0, 900.0, 20.0)
        assert (out.loc[0, "trees_per_ha"], out.loc[0, "ba_m2_per_ha"]) == (trees, ba)

    @pytest.mark.parametrize("change,options,message", [
        (lambda d: d.drop(columns="trees_per_ha"), dict(to_age=40), "^df: lacks the column trees_per_ha$"),
        (lambda d: d.drop(columns=["site_m", "height_age_yr"]), dict(to_age=40),
         r"^df: lacks the column height_age_yr \(and site_m\)$"),
        (lambda d: d.assign(status="x"), dict(to_age=40), "^df: has a column status, a name the output gives"),
        (lambda d: d, dict(), "^to_age: missing, and so is years"),
        (lambda d: d, dict(to_age=40, years=5), "^to_age: given with years"),
        (lambda d: d, dict(to_age=-4), "^to_age: -4 is not a number above 0"),
        (lambda d: d, dict(to_age=2000), "^to_age: '2000' is not above 0 and at most 1000"),
        (lambda d: d, dict(years=0), "^years: 0 is not a number above 0"),
        (lambda d: d, dict(to_age=40, model="x"), "^model: 'x' is not a model"),
        (lambda d: d, dict(to_age=40, mode="slow"), "^mode: 'slow' is not a mode"),
        (lambda d: d.values, dict(to_age=40), "^df: ndarray is not a pandas DataFrame$"),
    ])
    def test_refusals(self, change, options, message):
        df = change(sylvo.read_inventory(ROOT / "examples" / "inventory.csv"))
        with pytest.raises(ValueError, match=message):
            sylvo.project(df, **options)

    def test_tables_need_an_end_age(self):
        df = sylvo.read_inventory(ROOT / "examples" / "inventory.csv").drop(columns="end_age_yr", errors="ignore")
        with pytest.raises(ValueError, match="^df: lacks the column end_age_yr, and no end_age is given"):
            sylvo.tables(df)

    def test_project_reads_none_of_a_tables_columns(self):
        df = sylvo.read_inventory(ROOT / "examples" / "inventory.csv")
        df["thinnings"] = "not a thinning"
        df["end_age_yr"] = "x"
        out = sylvo.project(df, to_age=40)
        assert "thinnings" not in out.columns
        assert (out.loc[out["status"] == "ok", "end_age_yr"] == 40).all()
        assert (out["status"] == "ok").sum() == 28
