#!/usr/bin/python3
"""Runs the sylvo tool as a user does and checks what it prints.

Yield tables and query answers are recomputed from the Python reference of
the libraries (tests/reference/sylvo_reference.py), following the table's
definitions (rows carried forward with SylvoGrow, a row before and after each
thinning, MAI and PAI of total production, Reineke's stand density index,
the stop where the stand is no longer a stand, notes on volume anomalies);
every output format is read back; every refusal of bad input must be one
line naming the option.

    test_cli.py --tool PATH --lib-dir DIR GROUP
"""

import argparse
import csv
import io
import json
import math
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "reference"))
import sylvo_reference as ref  # noqa: E402

TOOL = LIB_DIR = None
MODELS = {"A": ref.SylvoA, "B": ref.SylvoB, "C": ref.SylvoC}
KEYS = ["age_yr", "height_m", "trees_per_ha", "ba_m2_per_ha", "qmd_cm", "volume_m3_per_ha",
        "merch_volume_m3_per_ha", "removed_trees_per_ha", "removed_ba_m2_per_ha",
        "removed_volume_m3_per_ha", "mai_m3_per_ha_yr", "pai_m3_per_ha_yr", "sdi_per_ha", "event", "note"]
# The built-in example of the README (sylvo with no arguments).
EXAMPLE = ["--site", 24, "--start-age", 10, "--trees", 1800, "--ba", 6, "--end-age", 35,
           "--merch-limit", 12, "--thin", "20:tph=800:p=20"]


def run(*args):
    p = subprocess.run([TOOL, *map(str, args)], capture_output=True, text=True, timeout=120)
    return p.returncode, p.stdout, p.stderr


def run_json(*args):
    code, out, err = run(*args, "--format", "json")
    return code, json.loads(out), err


def close(a, b):
    return a == b or math.isclose(a, b, rel_tol=1e-12, abs_tol=1e-12)


def invalid(row, max_sdi=1500.0):
    """The rule by which a row's stand is no longer a stand, as words of the reason."""
    n = row["trees_per_ha"]
    if not (math.isfinite(n) and n >= 1.0):
        return "trees"
    if not (math.isfinite(row["ba_m2_per_ha"]) and row["ba_m2_per_ha"] > 0.0):
        return "basal area"
    if not (math.isfinite(row["height_m"]) and row["height_m"] > 0.0):
        return "dominant height"
    if not row["sdi_per_ha"] <= max_sdi:
        return "stand density index"
    return None


def notes(volume, merch, ba, removed):
    """The note words of a row (merch as the export gives it)."""
    words = []
    if volume == 0.0 and ba > 0.0:
        words.append("total volume 0 with basal area")
    if merch is not None and merch > volume:
        words.append("merchantable volume above the total")
    if merch is not None and math.isnan(merch):
        words.append("merchantable volume not a number")
    if removed is not None and removed < 0.0:
        words.append("the thinning leaves more volume than before (negative removal)")
    if merch is not None and merch < 0.0:
        words.append("merchantable volume below 0")
    return "; ".join(words) or None


def reference_table(model, site, shift, start, tph, ba, ages, thinnings, limit, max_sdi=1500.0):
    """Rows at AGES (a thinning age once) from the reference's exports, and
    the (age, rule) of the first row whose stand is no longer a stand, if any.
    THINNINGS maps an age to ("tph" or "ba", residual, p)."""
    lib = MODELS[model]()
    rows, removed_total, last = [], 0.0, None

    def measure(age, n, b, removed=None):
        h = lib.SylvoHeight(age, site, shift)
        row = dict.fromkeys(KEYS)
        qmd = math.sqrt(40000.0 / math.pi * b / n) if n > 0 and b > 0 else math.nan
        merch = lib.SylvoMerchVol(h, n, b, limit)
        row.update(age_yr=age, height_m=h, trees_per_ha=n, ba_m2_per_ha=b, qmd_cm=qmd,
                   volume_m3_per_ha=lib.SylvoVolume(h, n, b),
                   # a negative merchantable volume is shown as 0
                   merch_volume_m3_per_ha=max(merch, 0.0),
                   sdi_per_ha=n * (qmd / 25.0) ** 1.605 if qmd == qmd else math.nan)
        if removed:
            row.update(removed_trees_per_ha=removed[0], removed_ba_m2_per_ha=removed[1],
                       removed_volume_m3_per_ha=removed[2] - row["volume_m3_per_ha"])
        row["note"] = notes(row["volume_m3_per_ha"], merch, b, row["removed_volume_m3_per_ha"])
        return row

    def keep(row):
        nonlocal last
        rule = invalid(row, max_sdi)
        if rule:
            return (row["age_yr"], rule)
        production = row["volume_m3_per_ha"] + removed_total
        row["mai_m3_per_ha_yr"] = production / row["age_yr"]
        if last and row["age_yr"] > last[0]:
            row["pai_m3_per_ha_yr"] = (production - last[1]) / (row["age_yr"] - last[0])
        rows.append(row)
        last = (row["age_yr"], production)
        return None

    n, b, age = tph, ba, start
    for a in ages:
        if a != age:
            n, b = lib.SylvoGrow(age, a, n, b)
            age = a
        before = measure(a, n, b)
        stop = keep(before)
        if stop:
            return rows, stop
        if a in thinnings:
            kind, residual, p = thinnings[a]
            n2, b2 = ((residual, lib.SylvoBaAfter(p, n, b, residual)) if kind == "tph"
                      else (lib.SylvoTphAfter(p, n, b, residual), residual))
            after = measure(a, n2, b2, (n - n2, b - b2, before["volume_m3_per_ha"]))
            target = f"{num(residual)} trees/ha" if kind == "tph" else f"{num(residual)} m2/ha of basal area"
            after["event"] = f"thin to {target} (p {num(p)}): at age {num(a)}"
            removed_total += after["removed_volume_m3_per_ha"]
            stop = keep(after)
            if stop:
                return rows, stop
            n, b = n2, b2
    return rows, None


def num(x):
    """A number as the tool writes it in words: 800, 27.5."""
    text = repr(float(x))
    return text[:-2] if text.endswith(".0") else text


class Tables(unittest.TestCase):
    def assert_rows(self, got, expected):
        self.assertEqual([r["age_yr"] for r in got], [r["age_yr"] for r in expected])
        for g, e in zip(got, expected):
            self.assertEqual(list(g), KEYS)
            for key in KEYS:
                if key in ("note", "event"):
                    self.assertEqual(g[key], e[key], g["age_yr"])
                elif e[key] is None:
                    self.assertIsNone(g[key], (key, g["age_yr"]))
                else:
                    self.assertTrue(close(g[key], e[key]), (key, g["age_yr"], g[key], e[key]))

    def test_no_arguments_print_the_valid_example_of_model_a(self):
        code, out, err = run()
        self.assertEqual((code, err), (0, ""))
        self.assertEqual(run("table"), (0, out, ""))
        self.assertEqual(run(*EXAMPLE), (0, out, ""))
        code, doc, _ = run_json()
        self.assertEqual((doc["model"], doc["version"], doc["stopped"]), ("A", 1.1, None))
        self.assertEqual(len(doc["thinnings"]), 1)
        expected, stop = reference_table("A", 24, 0, 10, 1800, 6, [10, 15, 20, 25, 30, 35],
                                         {20: ("tph", 800, 20)}, 12)
        self.assertIsNone(stop)
        self.assert_rows(doc["rows"], expected)

    def test_negative_merchantable_volume_of_a_young_stand_is_shown_as_zero(self):
        code, doc, err = run_json("--site", 20, "--start-age", 10, "--trees", 1800, "--ba", 6,
                                  "--end-age", 30, "--merch-limit", 12)
        self.assertEqual(code, 0)
        self.assertEqual(err.splitlines(), [l for l in err.splitlines() if "merchantable volume is below 0" in l])
        self.assertEqual(len(err.splitlines()), 1)
        expected, stop = reference_table("A", 20, 0, 10, 1800, 6, [10, 15, 20, 25, 30], {}, 12)
        self.assertIsNone(stop)
        self.assert_rows(doc["rows"], expected)
        self.assertLess(ref.SylvoA().SylvoMerchVol(doc["rows"][0]["height_m"], 1800, 6, 12), 0.0)
        self.assertEqual(doc["rows"][0]["merch_volume_m3_per_ha"], 0.0)

    def test_tables_with_thinnings_agree_with_the_reference(self):
        cases = [
            # site from a height; thinnings off the row interval, by trees and by basal area
            ("A", ["--height", 16, "--height-age", 30, "--start-age", 10, "--trees", 1800, "--ba", 6,
                   "--end-age", 33, "--merch-limit", 10, "--thin", "17.5:tph=900:p=15",
                   "--thin", "25:ba=20:p=30"],
             None, 0, 10, 1800, 6, [10, 15, 17.5, 20, 25, 30, 33],
             {17.5: ("tph", 900, 15), 25: ("ba", 20, 30)}, 10),
            ("B", ["--site", 18, "--shift", 2, "--start-age", 15, "--trees", 2000, "--ba", 20,
                   "--end-age", 62, "--interval", 10, "--merch-limit", 15,
                   "--thin", "30:ba=30:p=20", "--thin", "45:tph=300:p=40"],
             18, 2, 15, 2000, 20, [15, 25, 30, 35, 45, 55, 62],
             {30: ("ba", 30, 20), 45: ("tph", 300, 40)}, 15),
            # Model C's step count depends on the interval between rows
            ("C", ["--site", 28, "--start-age", 12, "--trees", 1500, "--ba", 10, "--end-age", 50,
                   "--interval", 4, "--merch-limit", 12, "--thin", "20:tph=700:p=10",
                   "--thin", "36:ba=35:p=25"],
             28, 0, 12, 1500, 10, [12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 50],
             {20: ("tph", 700, 10), 36: ("ba", 35, 25)}, 12),
        ]
        for model, args, site, shift, start, n, b, ages, thins, limit in cases:
            with self.subTest(model=model):
                code, doc, err = run_json("table", "--model", model.lower(), *args)
                self.assertEqual((code, err, doc["model"]), (0, "", model))
                if site is None:
                    site = MODELS[model]().SylvoSite(16, 30, 0)
                    self.assertTrue(close(doc["stand"]["site_index_m"], site))
                expected, stop = reference_table(model, site, shift, start, n, b, ages, thins, limit)
                self.assertIsNone(stop)
                self.assert_rows(doc["rows"], expected)
                self.assertEqual(sum(r["removed_trees_per_ha"] is not None for r in doc["rows"]), 2)

    def test_table_stops_where_the_stand_is_no_longer_a_stand_and_notes_volume_anomalies(self):
        # Between them the stands stop by the density rule and by their
        # trees, run to their end age with every kind of volume note, and
        # include the runaway of Model A and the collapse of Model C.
        cases = [("A", 24, 10, 1800, 6, 60, 1, {20: ("tph", 800, 20)}, 1500),
                 ("A", 20, 15, 1500, 15, 60, 5, {}, 1500),
                 ("A", 16.4, 10, 1590, 5.9, 30, 5, {}, 1500),
                 ("A", 24, 10, 1800, 6, 100, 90, {}, 1500),
                 ("A", 24, 10, 1800, 6, 35, 5, {}, 700),
                 ("B", 20, 10, 3000, 15, 150, 5, {}, 1500),
                 ("C", 30, 10, 3000, 15, 150, 5, {}, 1500),
                 ("C", 10, 10, 3000, 15, 40, 5, {}, 1500),
                 ("C", 30, 10, 3000, 15, 70, 5, {45: ("tph", 649, 20)}, 1500)]
        rules, kinds = set(), set()
        for model, site, start, n, b, end, step, thins, max_sdi in cases:
            ages = sorted(set(range(start, end + 1, step)) | set(thins) | {end})
            expected, stop = reference_table(model, site, 0, start, n, b, ages, thins, 12, max_sdi)
            args = ["--model", model.lower(), "--site", site, "--start-age", start, "--trees", n,
                    "--ba", b, "--end-age", end, "--interval", step, "--merch-limit", 12, "--max-sdi", max_sdi]
            args += [x for a, (k, r, p) in thins.items() for x in ("--thin", f"{a}:{k}={r}:p={p}")]
            with self.subTest(model=model, site=site, stop=stop):
                code, doc, err = run_json(*args)
                self.assertEqual(code, 3 if stop else 0)
                self.assert_rows(doc["rows"], expected)
                row_notes = {w for r in expected if r["note"] for w in r["note"].split("; ")}
                kinds |= row_notes
                self.assertEqual(err.count("sylvo: warning: "), len(row_notes), err)
                if stop:
                    rules.add(stop[1])
                    self.assertEqual(doc["stopped"]["age_yr"], stop[0])
                    self.assertIn(stop[1], doc["stopped"]["reason"])
                    self.assertIn(f"at age {stop[0]}", err.splitlines()[-1])
                else:
                    self.assertIsNone(doc["stopped"])
                code, out, _ = run(*args, "--format", "csv")
                self.assertEqual(len(out.splitlines()), len(expected) + 1)
        self.assertEqual(rules, {"stand density index", "trees"})
        self.assertEqual(kinds, {"total volume 0 with basal area", "merchantable volume above the total",
                                 "the thinning leaves more volume than before (negative removal)",
                                 "merchantable volume below 0"})

    def test_aligned_table_marks_rows_with_notes_and_explains_the_marks(self):
        code, out, err = run("--site", 16.4, "--start-age", 10, "--trees", 1590, "--ba", 5.9, "--end-age", 30,
                             "--merch-limit", 12)
        labels, units, rows = aligned_columns(out.split("\n\nnote 1")[0] + "\n")
        legend = out.split("\n\nnote 1", 1)[1]
        self.assertEqual((code, labels[-1]), (0, "note"))
        expected, _ = reference_table("A", 16.4, 0, 10, 1590, 5.9, [10, 15, 20, 25, 30], {}, 12)
        marks = [r[-1] for r in rows]
        self.assertEqual([bool(m) for m in marks], [e["note"] is not None for e in expected])
        self.assertIn("total volume 0 with basal area", ("note 1" + legend).splitlines()[0])


def aligned_columns(text):
    """The aligned table's rows as lists of cells, cut at the right edges of
    the labels (every column is right-aligned)."""
    lines = text.split("\n\n", 2)[1].splitlines()  # up to the events listed under it
    edges, pos = [], 0
    for label in lines[0].split():
        pos = lines[0].index(label, pos) + len(label)
        edges.append(pos)
    cut = [[line[(edges[i - 1] if i else 0):edge].strip() for i, edge in enumerate(edges)]
           for line in lines]
    if any(len(line) > edges[-1] for line in lines):
        raise AssertionError("text beyond the last column")
    return cut[0], cut[1], cut[2:]


class Formats(unittest.TestCase):
    def setUp(self):
        code, self.doc, _ = run_json(*EXAMPLE)
        self.assertEqual(code, 0)

    def test_csv_reads_back_as_the_json_values(self):
        code, out, _ = run(*EXAMPLE, "--format", "csv")
        rows = list(csv.DictReader(io.StringIO(out)))
        self.assertEqual((code, list(rows[0])), (0, KEYS))
        self.assertEqual(len(rows), len(self.doc["rows"]))
        for got, want in zip(rows, self.doc["rows"]):
            for key in KEYS:
                if key == "event":
                    self.assertEqual(got[key] or None, want[key])
                else:
                    self.assertEqual(float(got[key]) if got[key] else None, want[key], key)

    def test_aligned_table_holds_the_json_values_by_column(self):
        code, out, _ = run(*EXAMPLE)
        labels, units, rows = aligned_columns(out)
        self.assertEqual(code, 0)
        self.assertEqual(units, ["yr", "m", "/ha", "m2/ha", "cm", "m3/ha", "m3/ha", "/ha", "m2/ha", "m3/ha",
                                 "m3/ha/yr", "m3/ha/yr", "/ha"])
        self.assertEqual(len(rows), len(self.doc["rows"]))
        for cells, want in zip(rows, self.doc["rows"]):
            for key, cell in zip(KEYS, cells):
                if want[key] is None:
                    self.assertEqual(cell, "", key)
                else:
                    decimals = len(cell.partition(".")[2])
                    self.assertLessEqual(abs(float(cell) - want[key]), 0.5 * 10 ** -decimals + 1e-9,
                                         (key, cell, want[key]))

    def test_query_answers_and_none_in_every_format(self):
        for height, code_expected in ((16, 0), (90, 3)):  # 90 m at 30 years: no site index
            code, doc, err = run_json("site", "--height", height, "--age", 30)
            self.assertEqual(code, code_expected)
            site = doc["site_index_m"]
            self.assertEqual(site is None, code == 3)
            self.assertEqual(err.count("\n"), int(code == 3))
            code, out, _ = run("site", "--height", height, "--age", 30, "--format", "csv")
            row = next(csv.DictReader(io.StringIO(out)))
            self.assertEqual((code, row["site_index_m"]), (code_expected, "" if site is None else repr(site)))
            code, out, _ = run("site", "--height", height, "--age", 30)
            line = [ln for ln in out.splitlines() if ln.startswith("site index")][0]
            self.assertEqual(code, code_expected)
            if site is None:
                self.assertEqual(line.split()[-1], "none")
            else:
                self.assertAlmostEqual(float(line.split()[-2]), site, places=3)


class Queries(unittest.TestCase):
    def test_answers_are_the_exports_values(self):
        for model, cls in MODELS.items():
            m = ["--model", model.lower()]
            with self.subTest(model=model):
                checks = [
                    (["height", "--age", 30, "--site", 22, "--shift", 1], "height_m", cls().SylvoHeight(30, 22, 1)),
                    (["age", "--height", 15, "--site", 22], "age_yr", cls().SylvoAge(15, 22, 0)),
                    (["site", "--height", 15, "--age", 25, "--shift", -1], "site_index_m",
                     cls().SylvoSite(15, 25, -1)),
                    (["volume", "--height", 18, "--trees", 900, "--ba", 30, "--merch-limit", 15],
                     "volume_m3_per_ha", cls().SylvoVolume(18, 900, 30)),
                    (["volume", "--height", 18, "--trees", 900, "--ba", 30, "--merch-limit", 15],
                     "merch_volume_m3_per_ha", cls().SylvoMerchVol(18, 900, 30, 15)),
                    (["thin", "--trees", 1200, "--ba", 30, "--p", 20, "--to-trees", 700],
                     "ba_after_m2_per_ha", cls().SylvoBaAfter(20, 1200, 30, 700)),
                    (["thin", "--trees", 1200, "--ba", 30, "--p", 20, "--to-ba", 18],
                     "trees_after_per_ha", cls().SylvoTphAfter(20, 1200, 30, 18)),
                    (["grow", "--start-age", 15, "--trees", 1500, "--ba", 12, "--end-age", 27],
                     "trees_per_ha", cls().SylvoGrow(15, 27, 1500, 12)[0]),
                    (["grow", "--start-age", 15, "--trees", 1500, "--ba", 12, "--end-age", 27],
                     "ba_m2_per_ha", cls().SylvoGrow(15, 27, 1500, 12)[1]),
                ]
                for args, key, want in checks:
                    code, doc, err = run_json(*args, *m)
                    self.assertEqual((code, err, doc["model"]), (0, "", model), args)
                    self.assertTrue(close(doc[key], want), (args, key, doc[key], want))

    def test_values_the_library_gives_as_none_are_null(self):
        cases = [(["age", "--height", 70, "--site", 20], "age_yr", ref.SylvoA().SylvoAge(70, 20, 0) == -999.0),
                 (["site", "--height", 0.5, "--age", 40], "site_index_m", ref.SylvoA().SylvoSite(0.5, 40, 0) == 0.0),
                 (["grow", "--start-age", 10, "--trees", 1800, "--ba", 6, "--end-age", 100], "ba_m2_per_ha",
                  ref.SylvoA().SylvoGrow(10, 100, 1800, 6)[1] < 0)]
        for args, key, reference_says_none in cases:
            with self.subTest(args=args):
                self.assertTrue(reference_says_none)
                code, doc, err = run_json(*args)
                self.assertEqual((code, doc[key], err.count("\n")), (3, None, 1))
                self.assertTrue(err.startswith("sylvo: "))

    def test_every_model_reports_its_version(self):
        for model, version in (("a", 1.1), ("b", 1.0), ("c", 1.2)):
            code, doc, _ = run_json("height", "--age", 30, "--site", 22, "--model", model)
            self.assertEqual((code, doc["model"], doc["version"]), (0, model.upper(), version))


class Errors(unittest.TestCase):
    def test_bad_input_is_one_line_naming_the_option_and_value(self):
        stand = {"--site": 24, "--start-age": 10, "--trees": 1800, "--ba": 6, "--end-age": 35, "--merch-limit": 12}

        def table(thin=(), **changes):
            opts = dict(stand)
            opts.update({"--" + k.replace("_", "-"): v for k, v in changes.items()})
            return ["table"] + [str(x) for kv in opts.items() if kv[1] is not None for x in kv] + \
                [x for t in thin for x in ("--thin", t)]

        cases = [
            (["--model", "d"], "--model", "d"),
            (table(max_sdi=0), "--max-sdi", "0"),
            (["--format", "xml"], "--format", "xml"),
            (table(start_age="abc"), "--start-age", "abc"),
            (table(start_age=-5), "--start-age", "-5"),
            (table(end_age="nan"), "--end-age", "nan"),
            (table(end_age=8), "--end-age", "8"),
            (table(site=1.3), "--site", "1.3"),
            (table(site=80.6), "--site", "80.6"),
            (table(site=1.35) + ["--model", "c"], "--site", "1.35"),
            (table(site=None, height=90, height_age=30), "--height", "90"),
            (table(site=None), "--site", "missing"),
            (table(trees=0), "--trees", "0"),
            (table(ba=-2), "--ba", "-2"),
            (table(interval=0), "--interval", "0"),
            (table(merch_limit=-1), "--merch-limit", "-1"),
            (table(["20:tph=2000:p=20"]), "--thin", "20:tph=2000:p=20"),
            (table(["20:ba=40:p=20"]), "--thin", "20:ba=40:p=20"),
            (table(["25:tph=500:p=20", "20:tph=700:p=20"]), "--thin", "20:tph=700:p=20"),
            (table(["40:tph=500:p=20"]), "--thin", "40:tph=500:p=20"),
            (table(["15:tph=1500:p=20", "15.0000005:tph=1400:p=20"]), "--thin", "15.0000005:tph=1400:p=20"),
            (["--site", 30, "height", "--age", 20, "--site", 20], "--site", "30"),
            (table(["5:tph=500:p=20"]), "--thin", "5:tph=500:p=20"),
            (table(["20:tph=800:p=0"]), "--thin", "20:tph=800:p=0"),
            (table(["20:tph=800:p=-3"]), "--thin", "20:tph=800:p=-3"),
            (table(["20:tph=800"]), "--thin", "20:tph=800"),
            (table(["20:tph=800:ba=20:p=5"]), "--thin", "20:tph=800:ba=20:p=5"),
            (table(["x:tph=800:p=5"]), "--thin", "x:tph=800:p=5"),
            (table() + ["--foo"], "--foo", None),
            (["age", "--height", 10, "--site", 0], "--site", "0"),
            (["thin", "--trees", 1000, "--ba", 20, "--p", 20, "--to-trees", 1200], "--to-trees", "1200"),
            (["grow", "--start-age", 10, "--trees", 1000, "--ba", 20, "--end-age", 1001], "--end-age", "1001"),
        ]
        for args, option, value in cases:
            with self.subTest(args=args):
                code, out, err = run(*args)
                self.assertEqual((code, out), (2, ""))
                self.assertEqual(err.count("\n"), 1, err)
                self.assertTrue(err.startswith("sylvo: ") and option in err, err)
                if value:
                    self.assertIn(value, err)


class Plots(unittest.TestCase):
    """sylvo table --plot: the picture is written beside the table; a name
    that is not .png or .svg, or a plotting step that cannot run, is refused
    before anything is printed."""

    def test_png_and_svg_are_drawn_beside_the_table(self):
        with tempfile.TemporaryDirectory() as work:
            png, svg = os.path.join(work, "table.png"), os.path.join(work, "table.svg")
            code, out, err = run(*EXAMPLE, "--plot", png)
            self.assertEqual(code, 0, err)
            self.assertIn("Yield table, Model A", out)
            with open(png, "rb") as f:
                self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")
            code, out, err = run("table", "--model", "c", "--site", 28, "--start-age", 12, "--trees", 1500,
                                 "--ba", 10, "--end-age", 52, "--merch-limit", 12, "--thin", "20:tph=700:p=10",
                                 "--plot", svg, "--format", "csv")
            self.assertEqual(code, 0, err)
            with open(svg) as f:
                picture = f.read()
            self.assertIn("<svg", picture)
            self.assertIn("Model C", picture)

    def test_refusals_print_nothing(self):
        with tempfile.TemporaryDirectory() as work:
            for env, name, why in [({}, "table.jpg", "not a .png or .svg"),
                                   ({"SYLVO_PYTHON": os.path.join(work, "no-python")}, "table.png",
                                    "cannot be started")]:
                p = subprocess.run([TOOL, *map(str, EXAMPLE), "--plot", os.path.join(work, name)],
                                   capture_output=True, text=True, timeout=120, env={**os.environ, **env})
                self.assertEqual((p.returncode, p.stdout), (2, ""), p.stderr)
                self.assertIn(why, p.stderr)
                self.assertEqual(p.stderr.count("\n"), 1, p.stderr)
                self.assertFalse(os.path.exists(os.path.join(work, name)))


def main():
    global TOOL, LIB_DIR
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--lib-dir", required=True)
    parser.add_argument("group", choices=["tables", "formats", "queries", "errors", "plots"])
    args = parser.parse_args()
    TOOL, LIB_DIR = args.tool, args.lib_dir
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(
        {"tables": Tables, "formats": Formats, "queries": Queries, "errors": Errors, "plots": Plots}[args.group])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
