#!/usr/bin/python3
"""sylvo table --economics: the ledger recomputed from the thirteen exports
(through ctypes) and the values from the textbook formulas; economics files
refused with file, line, column and pointer; the shipped schema against the
reader.

    test_value.py --tool PATH --lib-dir DIR --schema FILE
"""

import argparse
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
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
REGIMES = os.path.join(ROOT, "examples", "regimes", "dense.json")
PRICES = {"discount_rate": 0.03,
          "assortments": [{"name": "pulp", "min_diameter_cm": 10, "price_per_m3": 25},
                          {"name": "sawlog", "min_diameter_cm": 25, "price_per_m3": 60},
                          {"name": "veneer", "min_diameter_cm": 40, "price_per_m3": 110}],
          "costs": {"thinning_per_ha": 300, "harvest_per_ha": 500, "felling_per_m3": 8,
                    "establishment_per_ha": 1500, "annual_per_ha": 20}}
STAND = ["--site", 24, "--start-age", 10, "--trees", 1800, "--ba", 6, "--end-age", 80, "--merch-limit", 12]


def run(*args):
    p = subprocess.run([TOOL, *map(str, args)], capture_output=True, text=True, timeout=120)
    return p.returncode, p.stdout, p.stderr


def write(doc=None, text=None):
    f = tempfile.NamedTemporaryFile("w", suffix=".json", delete=False)
    f.write(text if text is not None else json.dumps(doc))
    f.close()
    return f.name


class Ledger(unittest.TestCase):
    def test_ledger_and_values_from_the_exports_and_the_formulas(self):
        path = write(PRICES)
        for model in "abc":
            lib = test_inventory.exports(model)
            for name in ("dense", "fixed"):
                code, out, err = run("table", "--model", model, *STAND, "--regime", REGIMES, "--regime-name", name,
                                     "--economics", path, "--format", "json")
                self.assertIn(code, (0, 3), err)
                doc = json.loads(out)
                rows, ledger, value = doc["rows"], doc["ledger"], doc["value"]
                removal_rows = [(i, r) for i, r in enumerate(rows) if r["removed_trees_per_ha"] is not None]
                self.assertEqual(len(ledger), len(removal_rows))
                for rec, (i, row) in zip(ledger, removal_rows):
                    before, harvest = rows[i - 1], bool(row.get("harvest"))
                    self.assertEqual(rec["kind"], "harvest" if harvest else "thinning")
                    self.assertEqual(rec["age_yr"], row["age_yr"])

                    def m(d):
                        stood = lib.SylvoMerchVol(before["height_m"], before["trees_per_ha"], before["ba_m2_per_ha"], d)
                        if harvest:
                            return stood
                        return stood - lib.SylvoMerchVol(row["height_m"], row["trees_per_ha"], row["ba_m2_per_ha"], d)
                    want = {"veneer": m(40), "sawlog": m(25) - m(40), "pulp": m(10) - m(25)}
                    negative = [k for k, v in want.items() if v < 0]
                    want = {k: max(v, 0.0) for k, v in want.items()}
                    self.assertEqual(rec["assortments"], want)
                    self.assertEqual(rec["removed_merch_volume_m3_per_ha"], m(12))
                    self.assertEqual(bool(rec["note"]), bool(negative))
                    revenue = want["pulp"] * 25 + want["sawlog"] * 60 + want["veneer"] * 110
                    cost = (500 if harvest else 300) + 8 * sum(want.values())
                    self.assertAlmostEqual(rec["revenue_per_ha"], revenue, delta=1e-9 * max(1, revenue))
                    self.assertAlmostEqual(rec["cost_per_ha"], cost, delta=1e-9 * cost)
                    self.assertAlmostEqual(rec["net_per_ha"], revenue - cost, delta=1e-9 * max(1, abs(revenue)))
                if not doc["harvested"]:
                    self.assertIsNone(value["lev_per_ha"])
                    self.assertTrue(value["why"])
                    continue
                r, R, t0 = 0.03, rows[-1]["age_yr"], 10
                lev = ((sum(k["net_per_ha"] * (1 + r) ** (R - k["age_yr"]) for k in ledger) - 1500 * (1 + r) ** R)
                       / ((1 + r) ** R - 1) - 20 / r)
                npv = (sum(k["net_per_ha"] / (1 + r) ** (k["age_yr"] - t0) for k in ledger if k["age_yr"] >= t0)
                       - sum(20 / (1 + r) ** j for j in range(1, int(R - t0) + 1)))
                self.assertAlmostEqual(value["lev_per_ha"], lev, delta=1e-9 * abs(lev))
                self.assertAlmostEqual(value["npv_per_ha"], npv, delta=1e-9 * abs(npv))
                self.assertAlmostEqual(value["eav_per_ha"], r * lev, delta=1e-9 * abs(lev))
                if value["irr"] is not None:
                    i = value["irr"]
                    flows = (-1500 + sum(k["net_per_ha"] / (1 + i) ** k["age_yr"] for k in ledger)
                             - sum(20 / (1 + i) ** j for j in range(1, int(R) + 1)))
                    self.assertLess(abs(flows), 1e-6 * 1500, (model, name, i))
        os.unlink(path)

    def test_csv_and_aligned_forms(self):
        path = write(PRICES)
        code, out, _ = run("table", "--model", "b", *STAND, "--regime", REGIMES, "--regime-name", "dense",
                           "--economics", path, "--format", "csv")
        blocks = out.split("\n\n")
        self.assertEqual(code, 0)
        self.assertEqual(len(blocks), 3)
        self.assertTrue(blocks[1].startswith("age_yr,kind,"))
        self.assertIn("pulp_m3_per_ha,sawlog_m3_per_ha,veneer_m3_per_ha", blocks[1])
        self.assertTrue(blocks[2].startswith("discount_rate,rotation_age_yr,npv_per_ha,lev_per_ha"))
        code, out, _ = run("table", "--model", "b", *STAND, "--economics", path)
        self.assertIn("no values: the table has no final harvest", out)
        os.unlink(path)


SEARCH = {"name": "s", "events": [
    {"action": "thin", "at": {"search": [15, 25]}, "target": {"trees_per_ha": 700}, "p": 20},
    {"action": "harvest", "at": {"search": [40, 60]}}]}


class Optimize(unittest.TestCase):
    def test_the_best_is_the_brute_force_best_and_runs_as_it_is(self):
        prices, regime = write(PRICES), write(SEARCH)
        stand = ["--model", "b", *STAND[:8], "--end-age", 60, "--merch-limit", 12]
        results = {}
        for threads in (1, 2):
            code, out, err = run("optimize", *stand, "--regime", regime, "--economics", prices, "--objective", "lev",
                                 "--threads", threads, "--format", "json")
            self.assertEqual(code, 0, err)
            results[threads] = json.loads(out)
        self.assertEqual(results[1], results[2])
        doc = results[1]
        # Brute force over the same whole years, one table at a time.
        best = None
        for thin in range(15, 26):
            for harvest in range(40, 61):
                one = {"name": "s", "events": [
                    {"action": "thin", "at": thin, "target": {"trees_per_ha": 700}, "p": 20},
                    {"action": "harvest", "at": harvest}]}
                path = write(one)
                code, out, _ = run("table", *stand, "--regime", path, "--economics", prices, "--format", "json")
                os.unlink(path)
                lev = json.loads(out)["value"]["lev_per_ha"] if code == 0 else None
                if lev is not None and (best is None or lev > best[0]):
                    best = (lev, thin, harvest)
        self.assertLessEqual(abs(doc["objective_value"] - best[0]), 1e-6 * abs(best[0]))
        self.assertEqual((doc["best"]["events"][0]["at"], doc["best"]["events"][1]["at"]), best[1:])
        self.assertGreaterEqual(doc["objective_value"], doc["start_value"])
        # The best regime, as printed, is a regime file sylvo table takes.
        path = write(doc["best"])
        code, out, _ = run("table", *stand, "--regime", path, "--economics", prices, "--format", "json")
        self.assertEqual(json.loads(out)["value"]["lev_per_ha"], doc["objective_value"])
        os.unlink(path)
        os.unlink(prices)
        os.unlink(regime)

    def test_rotation_curve_and_its_rotations(self):
        prices = write(PRICES)
        fixed = write({"name": "f", "events": [{"action": "thin", "at": 20, "target": {"trees_per_ha": 800},
                                                 "p": 20}]})
        stand = ["--model", "b", *STAND[:8], "--end-age", 60, "--merch-limit", 12]
        code, out, err = run("rotation", *stand, "--regime", fixed, "--economics", prices, "--from", 30, "--to", 60,
                             "--format", "json")
        self.assertEqual(code, 0, err)
        doc = json.loads(out)
        curve = [p for p in doc["curve"] if p["harvested"]]
        self.assertEqual(doc["biological_rotation_yr"], max(curve, key=lambda p: p["mai_m3_per_ha_yr"])["harvest_age_yr"])
        self.assertEqual(doc["economic_rotation_yr"], max(curve, key=lambda p: p["lev_per_ha"])["harvest_age_yr"])
        for p in curve[::7]:
            one = write({"name": "f", "events": [{"action": "thin", "at": 20, "target": {"trees_per_ha": 800},
                                                  "p": 20}, {"action": "harvest", "at": p["harvest_age_yr"]}]})
            _, out, _ = run("table", *stand, "--regime", one, "--economics", prices, "--format", "json")
            self.assertEqual(json.loads(out)["value"]["lev_per_ha"], p["lev_per_ha"])
            os.unlink(one)
        os.unlink(prices)
        os.unlink(fixed)


class Files(unittest.TestCase):
    BAD = [
        ({"discount_rate": 0.03, "assortments": [{"name": "a", "min_diameter_cm": 10, "price_per_m3": 5}],
          "costs": {"planting_per_ha": 3}}, "/costs/planting_per_ha", "is not a key of the costs"),
        ({"discount_rate": 3, "assortments": [{"name": "a", "min_diameter_cm": 10, "price_per_m3": 5}]},
         "/discount_rate", "out of range"),
        ({"discount_rate": 0.03, "assortments": []}, "/assortments", "is empty"),
        ({"discount_rate": 0.03, "assortments": [{"name": "a", "min_diameter_cm": "10", "price_per_m3": 5}]},
         "/assortments/0/min_diameter_cm", "is a string"),
        ({"assortments": [{"name": "a", "min_diameter_cm": 10, "price_per_m3": 5}]}, "", "no \"discount_rate\""),
        ({"discount_rate": 0.03, "assortments": [{"name": "a", "min_diameter_cm": 10, "price_per_m3": -5}]},
         "/assortments/0/price_per_m3", "out of range"),
    ]

    def test_refusals_and_the_schema_agree(self):
        import jsonschema
        with open(SCHEMA) as f:
            validator = jsonschema.Draft202012Validator(json.load(f))
        self.assertTrue(validator.is_valid(PRICES))
        for doc, pointer, words in self.BAD:
            path = write(doc)
            code, out, err = run("table", *STAND, "--economics", path)
            os.unlink(path)
            self.assertEqual((code, out), (2, ""), doc)
            self.assertTrue(err.startswith(f"sylvo: {path}:1:"), err)
            self.assertIn(f": {pointer or '(document)'}: ", err)
            self.assertIn(words, err)
            self.assertFalse(validator.is_valid(doc), doc)
        path = write(text='{"discount_rate": 0.03, "discount_rate": 0.04, "assortments": []}')
        code, _, err = run("table", *STAND, "--economics", path)
        self.assertIn("/discount_rate: is a key given twice", err)
        os.unlink(path)


def main():
    global TOOL, SCHEMA
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--lib-dir", required=True)
    parser.add_argument("--schema", required=True)
    args = parser.parse_args()
    TOOL, SCHEMA = args.tool, args.schema
    test_inventory.LIB_DIR = args.lib_dir
    suite = unittest.TestSuite()
    for case in (Ledger, Optimize, Files):
        suite.addTests(unittest.defaultTestLoader.loadTestsFromTestCase(case))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
