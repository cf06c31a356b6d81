#!/usr/bin/python3
"""Regime files through the sylvo tool, checked against the thirteen exports.

Every thinning must leave what its target asks (recomputed from the row
before it with SylvoBaAfter / SylvoTphAfter and Reineke's index), at the age
its rule says; rows are carried forward with SylvoGrow bit for bit; skipped
events are said on their rows; a fixed-age regime gives the --thin table;
every malformed file exits 2 naming the file, line, column and pointer, and
the shipped JSON Schema agrees with the reader on the same documents.

    test_regime.py --tool PATH --lib-dir DIR --schema FILE GROUP
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

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_inventory  # noqa: E402  (the exports through ctypes)

TOOL = SCHEMA = None
STAND = ["--site", 24, "--start-age", 10, "--trees", 1800, "--ba", 6, "--end-age", 80, "--merch-limit", 12]
DENSE = {"regimes": [{"name": "dense", "events": [
    {"action": "thin", "at": 20, "target": {"trees_per_ha": 800}, "p": 20},
    {"action": "thin", "every": {"from": 25, "step": 10, "to": 45}, "target": {"remove_ba_fraction": 0.25}, "p": 20},
    {"action": "thin", "when": {"sdi_per_ha_over": 900, "from_age": 15, "to_age": 60, "min_years_since_thinning": 5},
     "target": {"sdi_per_ha": 550}, "p": 20, "min_removal": {"volume_m3_per_ha": 15}},
    {"action": "harvest", "when": {"mai_culminates": True}}]},
    {"name": "fixed", "events": [{"action": "thin", "at": 20, "target": {"trees_per_ha": 500}, "p": 20}, {"action": "thin", "at": 32.5, "target": {"trees_per_ha": 300}, "p": 20}]}]}


def run(*args):
    p = subprocess.run([TOOL, *map(str, args)], capture_output=True, text=True, timeout=120)
    return p.returncode, p.stdout, p.stderr


def write(doc, text=None):
    f = tempfile.NamedTemporaryFile("w", suffix=".json", delete=False)
    f.write(text if text is not None else json.dumps(doc, indent=1))
    f.close()
    return f.name


def table(doc, *args, model="b", name=None):
    path = write(doc)
    extra = ["--regime-name", name] if name else []
    stand = STAND[:8] + STAND[10:] if "--end-age" in args else STAND
    code, out, err = run("table", "--model", model, *stand, *args, "--regime", path, *extra, "--format", "json")
    os.unlink(path)
    if code not in (0, 3):
        raise AssertionError(err)
    return json.loads(out), err


def sdi(n, b):
    return n * (math.sqrt(12732.3954473516 * b / n) / 25.0) ** 1.605


class Targets(unittest.TestCase):
    """Each thinning leaves what its target asks, checked against the exports."""

    def check_trajectory(self, lib, rows):
        # Every row is the row before it grown with SylvoGrow (or, at the same
        # age, what a thinning left); the height is SylvoHeight.
        for before, row in zip(rows, rows[1:]):
            if row["age_yr"] != before["age_yr"] and not row.get("harvest"):
                n, b = lib.SylvoGrow(before["age_yr"], row["age_yr"], before["trees_per_ha"], before["ba_m2_per_ha"])
                self.assertEqual((row["trees_per_ha"], row["ba_m2_per_ha"]), (n, b), row["age_yr"])

    def test_every_target_is_met_where_its_rule_says(self):
        for model in "abc":
            lib = test_inventory.exports(model)
            doc, _ = table(DENSE, "--interval", 1, model=model, name="dense")
            rows = doc["rows"]
            self.assertEqual(doc["regime"]["name"], "dense")
            self.check_trajectory(lib, [r for r in rows])
            last_condition = None
            thinned_at = []
            for before, row in zip(rows, rows[1:]):
                event = row["event"] or ""
                if not event.startswith("thin"):
                    continue
                n, b, age = before["trees_per_ha"], before["ba_m2_per_ha"], row["age_yr"]
                self.assertEqual(before["age_yr"], age)
                if event.startswith("thin to 800 trees/ha"):
                    self.assertEqual(age, 20)
                    self.assertEqual(row["trees_per_ha"], 800)
                    self.assertEqual(row["ba_m2_per_ha"], lib.SylvoBaAfter(20, n, b, 800))
                elif event.startswith("thin 25% of the basal area"):
                    self.assertIn(age, (25, 35, 45))
                    self.assertEqual(row["ba_m2_per_ha"], b * (1 - 0.25))
                    self.assertEqual(row["trees_per_ha"], lib.SylvoTphAfter(20, n, b, b * (1 - 0.25)))
                else:
                    self.assertTrue(event.startswith("thin to SDI 550"), event)
                    self.assertGreater(before["sdi_per_ha"], 900)
                    self.assertTrue(15 <= age <= 60)
                    self.assertEqual(row["ba_m2_per_ha"], lib.SylvoBaAfter(20, n, b, row["trees_per_ha"]))
                    self.assertLessEqual(abs(sdi(row["trees_per_ha"], row["ba_m2_per_ha"]) - 550), 1e-9 * 550)
                    self.assertGreaterEqual(before["volume_m3_per_ha"] - row["volume_m3_per_ha"], 15)
                    last_condition = age
                thinned_at.append(age)
                self.assertEqual(row["removed_trees_per_ha"], n - row["trees_per_ha"])
            if model != "a":  # Model A's stand culminates before its SDI passes 900
                self.assertIsNotNone(last_condition, model)
            # The condition fires at the first check age it holds (rows are
            # every check age here), and never within 5 years of any thinning.
            for row in rows:
                if row["event"] and row["event"].startswith("thin to SDI"):
                    prior = [t for t in thinned_at if t < row["age_yr"]]
                    self.assertTrue(not prior or row["age_yr"] - max(prior) >= 5, (model, row["age_yr"]))
            for i, row in enumerate(rows):
                later = rows[i + 1] if i + 1 < len(rows) else None
                if (15 <= row["age_yr"] <= 60 and row["sdi_per_ha"] > 900 and later and later["age_yr"] == row["age_yr"]
                        and not (later["event"] or "").startswith("thin to SDI")):
                    prior = [t for t in thinned_at if t <= row["age_yr"]]
                    # Not fired: a thinning within 5 years, a removal below the minimum (said), or an earlier event at this age.
                    self.assertTrue(prior and row["age_yr"] - max(prior) < 5 or "skipped" in (later["note"] or "")
                                    or row["age_yr"] in thinned_at, (model, row["age_yr"]))

    def test_harvest_when_mai_culminates(self):
        for model in "ab":
            lib = test_inventory.exports(model)
            doc, _ = table(DENSE, "--interval", 1, model=model, name="dense")
            rows = doc["rows"]
            h = rows[-1]
            self.assertTrue(h["harvest"] and doc["harvested"])
            self.assertEqual((h["trees_per_ha"], h["ba_m2_per_ha"], h["volume_m3_per_ha"]), (0, 0, 0))
            standing = rows[-2]
            self.assertEqual(h["removed_volume_m3_per_ha"], standing["volume_m3_per_ha"])
            removed = sum(r["removed_volume_m3_per_ha"] or 0 for r in rows[:-1])
            t = h["age_yr"]
            n, b = lib.SylvoGrow(t, t + 1, standing["trees_per_ha"], standing["ba_m2_per_ha"])
            v_next = lib.SylvoVolume(lib.SylvoHeight(t + 1, 24, 0), n, b)
            self.assertLess((v_next + removed) / (t + 1), (standing["volume_m3_per_ha"] + removed) / t)
            # and not before: the MAI of each year's standing row rose to the next
            year_rows = {}
            for r in rows[:-1]:
                year_rows.setdefault(r["age_yr"], r)
            ages = sorted(year_rows)
            mai = {a: year_rows[a]["mai_m3_per_ha_yr"] for a in ages}
            for a, nxt in zip(ages, ages[1:]):
                self.assertGreaterEqual(mai[nxt], mai[a] - 1e-12 * mai[a] if nxt < t else -1, (model, a))

    def test_relative_density_and_tree_share(self):
        doc = {"name": "shares", "events": [
            {"action": "thin", "at": 25, "target": {"relative_density": 0.4}, "p": 15},
            {"action": "thin", "at": 40, "target": {"remove_trees_fraction": 0.3}, "p": 15}]}
        for model in "abc":
            lib = test_inventory.exports(model)
            out, _ = table(doc, "--max-sdi", 1400, model=model)
            rows = out["rows"]
            for before, row in zip(rows, rows[1:]):
                if row["event"] and row["event"].startswith("thin to relative"):
                    self.assertLessEqual(abs(sdi(row["trees_per_ha"], row["ba_m2_per_ha"]) - 0.4 * 1400), 1e-9 * 560)
                elif row["event"]:
                    n, b = before["trees_per_ha"], before["ba_m2_per_ha"]
                    self.assertEqual(row["trees_per_ha"], n * (1 - 0.3))
                    self.assertEqual(row["ba_m2_per_ha"], lib.SylvoBaAfter(15, n, b, n * (1 - 0.3)))

    def test_fixed_age_regime_is_the_thin_table_bit_for_bit(self):
        for model in "abc":
            for interval in (5, 2.5):
                path = write(DENSE)
                args = ["--model", model, *STAND[:-4], "--end-age", 45, "--merch-limit", 12, "--interval", interval,
                        "--format", "csv"]
                a = run("table", *args, "--thin", "20:tph=500:p=20", "--thin", "32.5:tph=300:p=20")
                b = run("table", *args, "--regime", path, "--regime-name", "fixed")
                os.unlink(path)
                strip = lambda text: [line.rsplit(",", 2)[0] for line in text.splitlines()]  # noqa: E731
                self.assertEqual(a[0], b[0])
                self.assertEqual(strip(a[1]), strip(b[1]), (model, interval))


class Skipped(unittest.TestCase):
    """An event that cannot be done is skipped and its row says why."""

    def test_skips_are_said_on_their_rows(self):
        doc = {"name": "skips", "events": [
            {"action": "thin", "at": 20, "target": {"trees_per_ha": 5000}, "p": 20, "label": "too many"},
            {"action": "thin", "at": 30, "target": {"ba_m2_per_ha": 30}, "p": 20,
             "min_removal": {"volume_m3_per_ha": 5000}},
            {"action": "thin", "at": 40, "target": {"sdi_per_ha": 5000}, "p": 20},
            {"action": "harvest", "when": {"height_m_over": 300}}]}
        out, err = table(doc, "--end-age", 50)
        notes = {r["age_yr"]: r["note"] for r in out["rows"] if r["note"]}
        self.assertIn("skipped /events/0 'too many'", notes[20])
        self.assertIn("not more than the target 5000", notes[20])
        self.assertIn("skipped /events/1", notes[30])
        self.assertIn("below the minimum 5000", notes[30])
        self.assertIn("skipped /events/2", notes[40])
        self.assertIn("is not above the target SDI 5000", notes[40])
        self.assertIn("no harvest: /events/3", notes[50])
        self.assertFalse(any(r["event"] for r in out["rows"]))
        self.assertIn("skipped", err)

    def test_every_ages_before_the_start_are_said(self):
        doc = {"name": "early", "events": [
            {"action": "thin", "every": {"from": 5, "step": 10}, "target": {"remove_ba_fraction": 0.2}, "p": 20}]}
        out, _ = table(doc, "--end-age", 40)
        self.assertIn("at ages 5: before the table's start age 10", out["rows"][0]["note"])
        self.assertEqual([r["age_yr"] for r in out["rows"] if r["event"]], [15, 25, 35])


BAD = [
    # (document text, pointer, problem words, what a schema says: invalid)
    ('{"name": "x", "events": [{"action": "thin", "at": 20, "target": {"trees_per_ha": 800}, "p": 20, "pp": 1}]}',
     "/events/0/pp", "is not a key of an event"),
    ('{"name": "x", "events": [{"action": "thin", "at": "20", "target": {"trees_per_ha": 800}, "p": 20}]}',
     "/events/0/at", "is a string"),
    ('{"name": "x", "events": [{"action": "thin", "at": 20, "target": {"remove_ba_fraction": 1.5}, "p": 20}]}',
     "/events/0/target/remove_ba_fraction", "out of range"),
    ('{"name": "x", "events": [{"action": "thin", "at": 20, "target": {"trees_per_ha": 8, "ba_m2_per_ha": 3},'
     ' "p": 20}]}', "/events/0/target", "has 2 targets"),
    ('{"name": "x", "events": [{"action": "thin", "at": 20, "every": {"from": 5, "step": 1},'
     ' "target": {"trees_per_ha": 8}, "p": 20}]}', "/events/0", "more than one time"),
    ('{"name": "x", "events": [{"action": "thin", "at": 20, "target": {"trees_per_ha": 800}}]}',
     "/events/0", "no \"p\""),
    ('{"name": "x", "events": [{"action": "thin", "when": {"mai_culminates": true}, "target": {"trees_per_ha": 8},'
     ' "p": 2}]}', "/events/0/when/mai_culminates", "harvest only"),
    ('{"name": "x", "events": [{"action": "harvest", "at": 50, "p": 20}]}', "/events/0/p", "not a key of a harvest"),
    ('{"name": "x", "events": [{"action": "cut", "at": 50}]}', "/events/0/action", "is \"cut\""),
    ('{"regimes": [{"name": "x", "events": []}, {"name": "y", "events": [], "$schema": "s"}]}',
     "/regimes/1/$schema", "not a key of a regime"),
    ('{"name": "x", "check_every": 0, "events": []}', "/check_every", "out of range"),
    ('{"name": "x", "events": [{"action": "thin", "at": 20, "target": {"trees_per_ha": 800}, "p": 20,'
     ' "min_removal": {}}]}', "/events/0/min_removal", "is empty"),
]
# The reader's checks no JSON Schema can state (the schema's description lists them).
READER_ONLY = [
    ('{"name": "x", "events": [{"action": "thin", "at": {"search": [30, 20]}, "target": {"trees_per_ha": 8},'
     ' "p": 2}]}', "/events/0/at/search", "not below HIGH"),
    ('{"name": "x", "events": [{"action": "thin", "at": [30, 20], "target": {"trees_per_ha": 8}, "p": 2}]}',
     "/events/0/at/1", "not after the age before it"),
    ('{"regimes": [{"name": "x", "events": []}, {"name": "x", "events": []}]}', "/regimes/1/name",
     "names a regime before it"),
    ('{"name": "x", "name": "y", "events": []}', "/name", "given twice"),
]
GOOD = [json.dumps(DENSE), json.dumps(DENSE["regimes"][1]),
        '{"$schema": "regime.schema.json", "name": "s", "description": "d", "check_every": 2, "events": ['
        '{"action": "thin", "at": {"search": [15, 30], "step": 5}, "target": {"sdi_per_ha": {"search": [300, 700]}},'
        ' "p": 20, "label": "first"},'
        '{"action": "harvest", "at": {"search": [40, 90], "start": 60}}]}',
        '{"name": "w", "events": [{"action": "harvest", "when": {"height_m_over": 20, "from_age": 30}}]}']


class Files(unittest.TestCase):
    """Malformed files exit 2 with the file, line, column and pointer; the schema agrees."""

    def refusal(self, text):
        path = write(None, text)
        code, out, err = run("regime", "check", path)
        os.unlink(path)
        return code, out, err, path

    def test_every_refusal_names_file_line_column_and_pointer(self):
        for text, pointer, words in BAD + READER_ONLY:
            code, out, err, path = self.refusal(text)
            self.assertEqual((code, out), (2, ""), text)
            head = err.split(": ")
            self.assertEqual(head[0], "sylvo")
            place, where = head[1], head[2]
            self.assertEqual(where, pointer, err)
            self.assertIn(words, err)
            line, column = map(int, place.rsplit(":", 2)[1:])
            # The pointer's value (or key, for a key refused) starts at that place.
            offset = column - 1  # one line
            self.assertEqual((place.rsplit(":", 2)[0], line), (path, 1), err)
            last = pointer.rsplit("/", 1)[-1]
            at = text[offset:]
            self.assertTrue(at.startswith('"' + last + '"') or at[0] in '{["-0123456789tfn',
                            (err, at[:20]))

    def test_broken_json_and_unreadable_files(self):
        code, _, err, path = self.refusal('{"name": "x",\n  "events": [}\n')
        self.assertEqual(code, 2)
        self.assertIn(path + ":2:", err)
        self.assertIn("is not JSON", err)
        # A character cut in two where the parser stopped: the message stays UTF-8 text.
        with tempfile.NamedTemporaryFile("wb", suffix=".json", delete=False) as f:
            f.write(b'{"name": "x", "events": [\xc3')
        code, _, err = run("regime", "check", f.name)
        os.unlink(f.name)
        self.assertEqual(code, 2)
        self.assertIn("last read: '\"events\": [\\xC3'", err)
        code, _, err = run("regime", "check", "/nonexistent/r.json")
        self.assertEqual((code, err.strip()), (2, "sylvo: /nonexistent/r.json: cannot be opened; accepted: a readable "
                                                  "regime file (JSON)"))

    def test_schema_and_reader_agree(self):
        import jsonschema
        with open(SCHEMA) as f:
            validator = jsonschema.Draft202012Validator(json.load(f))
        for text in GOOD:
            code, _, err, _ = self.refusal(text)
            self.assertEqual(code, 0, err)
            self.assertEqual(list(validator.iter_errors(json.loads(text))), [], text)
        for text, _, _ in BAD:
            self.assertEqual(self.refusal(text)[0], 2, text)
            self.assertFalse(validator.is_valid(json.loads(text)), text)

    def test_check_prints_each_regime_in_words(self):
        code, out, err, _ = self.refusal(json.dumps(DENSE))
        self.assertEqual(code, 0, err)
        self.assertIn("at 20 thin to 800 trees/ha (p 20)", out)
        self.assertIn("when SDI is over 900 between 15 and 60, at least 5 years apart, thin to SDI 550 (p 20), "
                      "if it removes at least 15 m3/ha", out)
        self.assertIn("harvest when MAI culminates", out)
        code, out, _, _ = self.refusal(GOOD[2])
        self.assertIn("searched by `sylvo optimize`: /events/0/at /events/0/target/sdi_per_ha /events/1/at", out)

    def test_table_refusals(self):
        path = write(DENSE)
        code, out, err = run("table", *STAND, "--regime", path)
        self.assertEqual((code, out), (2, ""))
        self.assertIn("holds several regimes ('dense', 'fixed')", err)
        code, _, err = run("table", *STAND, "--regime", path, "--regime-name", "nope")
        self.assertIn("holds no regime named 'nope'; accepted: one of 'dense', 'fixed'", err)
        code, _, err = run("table", *STAND, "--regime", path, "--regime-name", "dense", "--thin", "20:tph=800:p=20")
        self.assertEqual(code, 2)
        self.assertIn("--thin", err)
        os.unlink(path)
        search = write(None, GOOD[2])
        code, out, err = run("table", *STAND, "--regime", search)
        self.assertEqual((code, out), (2, ""))
        self.assertIn(search + ":1:", err)
        self.assertIn("/events/0/at: is a search range", err)
        os.unlink(search)
        outside = write({"name": "o", "events": [{"action": "thin", "at": 90, "target": {"trees_per_ha": 8}, "p": 2}]})
        code, out, err = run("table", *STAND, "--regime", outside)
        self.assertEqual((code, out), (2, ""))
        self.assertIn("/events/0/at: is age 90, outside the table's ages 10 to 80", err)
        os.unlink(outside)


class Fronts(unittest.TestCase):
    """compare and tables --regimes give the same numbers as table."""

    def test_compare_is_each_table_with_its_summary(self):
        path = write(DENSE)
        code, out, err = run("compare", "--model", "b", *STAND, "--regime", path, "--format", "json")
        self.assertEqual(code, 0, err)
        doc = json.loads(out)
        self.assertEqual([r["summary"]["regime"] for r in doc["regimes"]], ["dense", "fixed"])
        for entry in doc["regimes"]:
            single, _ = table(DENSE, name=entry["summary"]["regime"])
            self.assertEqual(entry["rows"], single["rows"])
            s, rows = entry["summary"], entry["rows"]
            self.assertEqual(s["end_age_yr"], rows[-1]["age_yr"])
            self.assertAlmostEqual(s["removed_volume_m3_per_ha"], sum(r["removed_volume_m3_per_ha"] or 0 for r in rows))
            self.assertEqual(s["max_mai_m3_per_ha_yr"], max(r["mai_m3_per_ha_yr"] for r in rows))
        code, out, _ = run("compare", "--model", "b", *STAND, "--regime", path, "--format", "csv")
        lines = list(csv.DictReader(io.StringIO(out)))
        self.assertEqual(len(lines), sum(len(e["rows"]) for e in doc["regimes"]))
        self.assertEqual({r["regime"] for r in lines}, {"dense", "fixed"})
        os.unlink(path)

    def test_tables_take_each_stands_regime(self):
        path = write(DENSE)
        with tempfile.NamedTemporaryFile("w", suffix=".csv", delete=False) as f:
            f.write("id,model,age_yr,trees_per_ha,ba_m2_per_ha,site_m,end_age_yr,regime\n"
                    "s1,b,10,1800,6,24,80,dense\ns2,b,10,1800,6,24,80,fixed\ns3,b,10,1800,6,24,80,nope\n")
        code, out, err = run("tables", "--input", f.name, "--regimes", path, "--merch-limit", 12, "--format", "json")
        self.assertEqual(code, 0, err)
        rows = json.loads(out)
        for name, sid in (("dense", "s1"), ("fixed", "s2")):
            single, _ = table(DENSE, name=name)
            mine = [r for r in rows if r["id"] == sid]
            self.assertEqual([(r["age_yr"], r["trees_per_ha"], r["event"]) for r in mine],
                             [(r["age_yr"], r["trees_per_ha"], r["event"]) for r in single["rows"]])
        bad = [r for r in rows if r["id"] == "s3"]
        self.assertEqual(len(bad), 1)
        self.assertIn("line 4, column 8 (regime): 'nope' names no regime", bad[0]["status"])
        os.unlink(f.name)
        os.unlink(path)


def main():
    global TOOL, SCHEMA
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--lib-dir", required=True)
    parser.add_argument("--schema", required=True)
    parser.add_argument("group", choices=["targets", "skipped", "files", "fronts"])
    args = parser.parse_args()
    TOOL, SCHEMA = args.tool, args.schema
    test_inventory.LIB_DIR = args.lib_dir
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(
        {"targets": Targets, "skipped": Skipped, "files": Files, "fronts": Fronts}[args.group])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
