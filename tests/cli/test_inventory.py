#!/usr/bin/python3
"""Runs `sylvo project` and `sylvo tables` on inventories as a user does.

Every number that comes back is compared, bit for bit, with the thirteen
exports of the model libraries called through ctypes (a fresh library load
per model); every input row must come back in order, flagged rows with the
line and column at fault; files that cannot be used give exit status 2 and
one line.

    test_inventory.py --tool PATH --lib-dir DIR GROUP
"""

import argparse
import csv
import ctypes
import io
import json
import math
import os
import random
import resource
import subprocess
import sys
import tempfile
import unittest

TOOL = LIB_DIR = None
HEADER = "id,model,age_yr,trees_per_ha,ba_m2_per_ha,site_m,height_m,height_age_yr"
NUMBERS = ["start_age_yr", "end_age_yr", "site_m", "height_m", "trees_per_ha", "ba_m2_per_ha", "qmd_cm",
           "volume_m3_per_ha", "merch_volume_m3_per_ha", "sdi_per_ha"]


class Exports:
    """One model library's exports through ctypes."""

    def __init__(self, model):
        lib = ctypes.CDLL(os.path.join(LIB_DIR, f"libsylvo{model}.so"))
        d = ctypes.c_double
        for name, nargs in (("SylvoHeight", 3), ("SylvoSite", 3), ("SylvoVolume", 3), ("SylvoMerchVol", 4),
                            ("SylvoBaAfter", 4), ("SylvoTphAfter", 4)):
            f = getattr(lib, name)
            f.restype, f.argtypes = d, [d] * nargs
            setattr(self, name, f)
        lib.SylvoGrow.restype = None
        lib.SylvoGrow.argtypes = [d, d, ctypes.POINTER(d), ctypes.POINTER(d)]
        self._grow = lib.SylvoGrow

    def SylvoGrow(self, t1, t2, n, b):
        n, b = ctypes.c_double(n), ctypes.c_double(b)
        self._grow(t1, t2, ctypes.byref(n), ctypes.byref(b))
        return n.value, b.value


EXPORTS = {}


def exports(model):
    if model not in EXPORTS:
        EXPORTS[model] = Exports(model)
    return EXPORTS[model]


def run(args, stdin=None, timeout=600, **kwargs):
    p = subprocess.run([TOOL, *map(str, args)], input=stdin, capture_output=True, timeout=timeout, **kwargs)
    return p.returncode, p.stdout, p.stderr.decode()


def write(tmp, name, text, mode="w"):
    path = os.path.join(tmp, name)
    with open(path, mode) as f:
        f.write(text)
    return path


def bits(x):
    return "nan" if x is None or math.isnan(x) else float(x).hex()


def expected_projection(row, to_age=None, years=None, limit=None, max_sdi=1500.0):
    """The values the exports give for one good input row, or the start of the status."""
    lib = exports(row["model"])
    t1 = float(row["age_yr"])
    t2 = to_age if to_age is not None else t1 + years
    if row.get("site_m"):
        site = float(row["site_m"])
    else:
        site = lib.SylvoSite(float(row["height_m"]), float(row["height_age_yr"]), 0.0)
        if site == 0.0 or not math.isfinite(site):
            return "no site index"
    n, b = lib.SylvoGrow(t1, t2, float(row["trees_per_ha"]), float(row["ba_m2_per_ha"]))
    h = lib.SylvoHeight(t2, site, 0.0)
    if not (math.isfinite(n) and n >= 1.0 and math.isfinite(b) and b > 0 and math.isfinite(h) and h > 0):
        return "no longer a stand"
    qmd = math.sqrt(12732.3954473516 * b / n)
    sdi = n * math.pow(qmd / 25.0, 1.605)
    if not sdi <= max_sdi:
        return "no longer a stand"
    out = {"start_age_yr": t1, "end_age_yr": t2, "site_m": site, "height_m": h, "trees_per_ha": n,
           "ba_m2_per_ha": b, "qmd_cm": qmd, "volume_m3_per_ha": lib.SylvoVolume(h, n, b), "sdi_per_ha": sdi}
    if limit is not None:
        out["merch_volume_m3_per_ha"] = lib.SylvoMerchVol(h, n, b, limit)
    return out


def random_inventory(rng, count):
    rows = []
    for i in range(count):
        model = rng.choice("abc")
        age = rng.choice([rng.randint(5, 60), round(rng.uniform(5, 60), 3)])
        row = {"id": f"p{i}", "model": model, "age_yr": repr(float(age)) if rng.random() < 0.3 else str(age),
               "trees_per_ha": repr(round(rng.uniform(300, 2500), 4)),
               "ba_m2_per_ha": repr(round(min(45, max(2, rng.uniform(0.3, 0.8) * float(age))), 5)),
               "site_m": "", "height_m": "", "height_age_yr": ""}
        if rng.random() < 0.3:
            row["height_m"], row["height_age_yr"] = repr(round(rng.uniform(5, 25), 3)), str(rng.randint(15, 50))
        else:
            row["site_m"] = repr(round(rng.uniform(12, 32), 6))
        rows.append(row)
    return rows


def to_csv(rows, header=HEADER):
    keys = header.split(",")
    return header + "\n" + "".join(",".join(r[k] for k in keys) + "\n" for r in rows)


def read_csv(data):
    return list(csv.DictReader(io.StringIO(data.decode())))


def number(text):
    return None if text == "" else float(text)


class Project(unittest.TestCase):
    def check_rows(self, rows, got, **request):
        self.assertEqual([g["id"] for g in got], [r["id"] for r in rows])
        compared = 0
        for r, g in zip(rows, got):
            want = expected_projection(r, **request)
            if isinstance(want, str):
                self.assertTrue(g["status"].startswith(want), (r, g["status"]))
                self.assertTrue(all(number(g[k]) is None for k in NUMBERS[2:] if k in g), g)
                continue
            self.assertEqual(g["status"], "ok", r)
            for key, value in want.items():
                self.assertEqual(bits(number(g[key])), bits(value), (r["id"], key, g[key], value))
            compared += 1
        return compared

    def test_values_are_the_exports_bit_for_bit(self):
        rng = random.Random(7)
        rows = random_inventory(rng, 3000)
        with tempfile.TemporaryDirectory() as tmp:
            path = write(tmp, "inv.csv", to_csv(rows))
            for request, args in (({"years": 20.0, "limit": 12.0}, ["--years", 20, "--merch-limit", 12]),
                               ({"to_age": 70.0}, ["--to-age", 70, "--threads", 3])):
                with self.subTest(args=args):
                    code, out, err = run(["project", "--input", path, *args])
                    self.assertEqual(code, 0, err)
                    got = read_csv(out)
                    self.assertEqual(("merch_volume_m3_per_ha" in got[0]), "limit" in request)
                    self.assertGreater(self.check_rows(rows, got, **request), 1000)
                    self.assertRegex(err.splitlines()[-1], r"^sylvo: 3000 stands, \d+ flagged, [0-9.]+ s$")

    def test_many_blocks_on_any_number_of_threads(self):
        # An inventory of several blocks, worked on by up to as many threads
        # as asked for and written in input order: the same bytes for every
        # thread count, bad rows in their places (some at the blocks' edges,
        # rows 16384 and 32768 among them), and the values the exports give.
        rows = random_inventory(random.Random(11), 40_000)
        bad = {1, 16_383, 16_384, 16_385, 32_767, 32_768, 39_999}
        for i in bad:
            rows[i]["trees_per_ha"] = "-1"
        with tempfile.TemporaryDirectory() as tmp:
            path = write(tmp, "inv.csv", to_csv(rows))
            outputs = {}
            for threads in (1, 2, 3, 8, 40):
                code, outputs[threads], err = run(["project", "--input", path, "--years", 10, "--merch-limit", 10,
                                                   "--threads", threads])
                self.assertEqual(code, 0, err)
        for threads, out in outputs.items():
            self.assertEqual(out, outputs[1], threads)
        got = read_csv(outputs[1])
        self.assertEqual([g["id"] for g in got], [r["id"] for r in rows])
        for i in bad:
            self.assertEqual(got[i]["status"], f"line {i + 2}, column 4 (trees_per_ha): -1 is not above 0")
        sample = sorted(set(range(0, len(rows), 97)) - bad)
        self.assertGreater(self.check_rows([rows[i] for i in sample], [got[i] for i in sample], years=10.0,
                                           limit=10.0), 150)

    def test_fast_mode_is_the_engines_fast_projection(self):
        # The growth of every stand is the engine's fast mode (a stand's
        # result depends on its own arguments alone), through the C interface.
        rows = [r for r in random_inventory(random.Random(8), 600) if r["site_m"]]
        with tempfile.TemporaryDirectory() as tmp:
            path = write(tmp, "inv.csv", to_csv(rows))
            code, out, err = run(["project", "--input", path, "--years", 15, "--mode", "fast"])
        self.assertEqual(code, 0, err)
        got = read_csv(out)
        engine = ctypes.CDLL(os.path.join(LIB_DIR, "libsylvo.so"))
        options = (ctypes.c_int * 2)(1, 0)  # fast, every core
        compared = 0
        for model in "abc":
            mine = [(r, g) for r, g in zip(rows, got) if r["model"] == model]
            n = len(mine)
            arrays = [(ctypes.c_double * n)(*v) for v in (
                [float(r["age_yr"]) for r, _ in mine], [float(r["age_yr"]) + 15.0 for r, _ in mine],
                [float(r["trees_per_ha"]) for r, _ in mine], [float(r["ba_m2_per_ha"]) for r, _ in mine],
                [0.0] * n, [0.0] * n)]
            self.assertEqual(engine.sylvo_grow_batch("abc".index(model), ctypes.c_size_t(n), *arrays, options), 0)
            for k, (r, g) in enumerate(mine):
                if g["status"] == "ok":
                    self.assertEqual(bits(float(g["trees_per_ha"])), bits(arrays[4][k]), r)
                    self.assertEqual(bits(float(g["ba_m2_per_ha"])), bits(arrays[5][k]), r)
                    compared += 1
        self.assertGreater(compared, 200)

    def test_json_carries_columns_and_uses_null_for_empty(self):
        text = "plot,id,age_yr,trees_per_ha,ba_m2_per_ha,site_m,owner\n7,s1,20,1200,20,24,\"Smith, J\"\n" \
               "8,s2,20,-3,20,24,x\n"
        with tempfile.TemporaryDirectory() as tmp:
            path = write(tmp, "inv.csv", text)
            code, out, err = run(["project", "--input", path, "--to-age", 30, "--format", "json", "--model", "b"])
        doc = json.loads(out)
        self.assertEqual(code, 0)
        self.assertEqual(list(doc[0])[:3], ["id", "plot", "owner"])
        self.assertEqual((doc[0]["owner"], doc[0]["plot"], doc[0]["status"]), ("Smith, J", "7", "ok"))
        want = expected_projection({"model": "b", "age_yr": "20", "trees_per_ha": "1200", "ba_m2_per_ha": "20",
                                    "site_m": "24"}, to_age=30.0)
        for key, value in want.items():
            self.assertEqual(bits(doc[0][key]), bits(value), key)
        self.assertIsNone(doc[0]["note"])
        self.assertIsNone(doc[1]["trees_per_ha"])
        self.assertIn("line 3, column 4 (trees_per_ha)", doc[1]["status"])

    def test_volume_anomalies_are_notes_not_flags(self):
        # A young dense stand of Model A: total volume 0 with basal area,
        # merchantable volume below 0 (as the export gives it).
        text = "id,age_yr,trees_per_ha,ba_m2_per_ha,site_m\ny,10,1590,5.9,16.4\n"
        with tempfile.TemporaryDirectory() as tmp:
            path = write(tmp, "inv.csv", text)
            code, out, err = run(["project", "--input", path, "--to-age", 15, "--merch-limit", 12])
        row = read_csv(out)[0]
        self.assertEqual((code, row["status"]), (0, "ok"))
        self.assertEqual(float(row["volume_m3_per_ha"]), 0.0)
        self.assertIn("total volume 0 with basal area", row["note"])
        self.assertIn("sylvo: warning: the total volume is 0", err)


class BadInput(unittest.TestCase):
    BAD_ROWS = [
        # (row text after the header, the status must contain)
        ("r1,a,abc,1200,20,24,,", "line {n}, column 3 (age_yr): 'abc' is not a number"),
        ("r2,a,20,,20,24,,", "line {n}, column 4 (trees_per_ha): empty"),
        ("r3,a,20,nan,20,24,,", "line {n}, column 4 (trees_per_ha): 'nan' is not a finite number"),
        ("r4,a,20,1200,inf,24,,", "line {n}, column 5 (ba_m2_per_ha): 'inf' is not a finite number"),
        ("r5,a,20,-5,20,24,,", "line {n}, column 4 (trees_per_ha): -5 is not above 0"),
        ("r6,a,20,1200,0,24,,", "line {n}, column 5 (ba_m2_per_ha): 0 is not above 0"),
        ("r7,a,0,1200,20,24,,", "line {n}, column 3 (age_yr): 0 is not above 0"),
        ("r8,a,1001,1200,20,24,,", "line {n}, column 3 (age_yr): 1001 is not above 0 and at most 1000"),
        ("r9,a,20,1200,20,1.3,,", "line {n}, column 6 (site_m): 1.3 is outside the range"),
        ("r10,c,20,1200,20,1.35,,", "line {n}, column 6 (site_m): 1.35 is outside the range"),
        ("r11,d,20,1200,20,24,,", "line {n}, column 2 (model): 'd' is not a model"),
        ("r12,a,20,1200,20,,,", "line {n}, column 6 (site_m): missing"),
        ("r13,a,20,1200,20,,15,", "line {n}, column 8 (height_age_yr): missing"),
        ("r14,a,20,1200,20,24,15,30", "line {n}, column 7 (height_m): given together with site_m"),
        ("r15,a,20,1200,20,24", "line {n}: 6 fields, but the header has 8"),
        ("r16,a,20,1200,20,24,,,", "line {n}: 9 fields, but the header has 8"),
        ("r17,a,20,1200,20,24,,x\"y", "line {n}, column 8: a quote inside a field"),
        ("\"r18\"x,a,20,1200,20,24,,", "line {n}, column 1: text after the closing quote"),
        ("", "line {n}: an empty line"),
        ("r20,a,20,12 00,20,24,,", "line {n}, column 4 (trees_per_ha): '12 00' is not a number"),
        ("r21,a,20,1200,20,,90,30", "no site index"),
        ("r22,a,995,1200,20,24,,", "line {n}, column 3 (age_yr): 995 plus 10 years gives the end age 1005"),
        # Too small for a double: out of range, as the command line reads it; a zero stays a zero.
        ("r23,a,20,1200,2e-400,24,,", "line {n}, column 5 (ba_m2_per_ha): '2e-400' is not a finite number"),
        ("r24,a,20,0.0e-999,20,24,,", "line {n}, column 4 (trees_per_ha): 0 is not above 0"),
    ]

    def test_every_row_comes_back_in_order_with_its_reason(self):
        good = "g{},b,25,1100,22.5,20,,"
        lines, expected = [], []
        for k, (text, reason) in enumerate(self.BAD_ROWS):
            lines.append(good.format(k))
            expected.append(("g%d" % k, "ok"))
            lines.append(text)
            expected.append((text.split(",")[0].strip('"') if text else "", reason.format(n=len(lines) + 1)))
        data = (HEADER + "\n" + "\n".join(lines) + "\n").encode()
        for fmt in ("csv", "json"):
            with self.subTest(format=fmt):
                code, out, err = run(["project", "--input", "-", "--years", 10, "--format", fmt], stdin=data)
                self.assertEqual(code, 0, err)
                got = json.loads(out) if fmt == "json" else read_csv(out)
                self.assertEqual(len(got), len(expected))
                for g, (ident, reason) in zip(got, expected):
                    self.assertIn(reason, g["status"], g)
                    if reason.startswith("ok") or "column 1:" not in reason:  # a broken first field has no id
                        self.assertEqual(g["id"], ident)
                    if reason != "ok":
                        self.assertIn(g["trees_per_ha"], ("", None))
                self.assertIn(f"{len(expected)} stands, {len(self.BAD_ROWS)} flagged", err)

    def test_quoting_bom_crlf_and_no_final_newline(self):
        text = '\ufeffid,age_yr,trees_per_ha,ba_m2_per_ha,site_m,remark\r\n' \
               '"a,1",20,1200,20,24,"said ""hi""\r\nthen left"\r\n' \
               'b,20,1200,20,24,plain'
        with tempfile.TemporaryDirectory() as tmp:
            path = write(tmp, "inv.csv", text.encode("utf-8"), "wb")
            code, out, err = run(["project", "--input", path, "--years", 5])
        rows = read_csv(out)
        self.assertEqual(code, 0, err)
        self.assertEqual([r["id"] for r in rows], ["a,1", "b"])
        self.assertEqual(rows[0]["remark"], 'said "hi"\r\nthen left')  # carried as it was
        self.assertEqual([r["status"] for r in rows], ["ok", "ok"])
        self.assertEqual(rows[0]["trees_per_ha"], rows[1]["trees_per_ha"])

    def test_bytes_that_are_not_utf8(self):
        # CSV output carries every byte as it came; JSON cannot, so a row
        # with such an id or carried field is flagged (the field null), and
        # a quoted cell in a status is shown as \xHH.
        data = b"id,age_yr,trees_per_ha,ba_m2_per_ha,site_m,remark\n" \
               b"s\xff,20,1200,20,24,x\n" \
               b"s2,20,1200,20,24,caf\xe9\n" \
               b"s3,20,1200,20,24,caf\xc3\xa9\n" \
               b"s4,2\xc0\xaf,1200,20,24,\n" \
               b"s5,20,1200,20,24,\xed\xa0\x80\n"
        for command in (["project", "--years", 5], ["tables", "--end-age", 30]):
            with self.subTest(command=command[0]):
                code, out, err = run([*command, "--input", "-"], stdin=data)
                self.assertEqual(code, 0, err)
                self.assertIn(b"s\xff,", out)
                self.assertIn(b",caf\xe9,", out)
                code, out, err = run([*command, "--input", "-", "--format", "json"], stdin=data)
                self.assertEqual(code, 0, err)
                rows = json.loads(out.decode("utf-8"))
                first = {}
                for r in rows:
                    first.setdefault(r["remark"] if r["id"] is None else r["id"], r)
                self.assertEqual(first["x"]["status"], "line 2, column 1 (id): bytes that are not UTF-8 text, "
                                 "which JSON cannot carry (--format csv writes them unchanged)")
                self.assertIsNone(first["s2"]["remark"])
                self.assertIn("line 3, column 6 (remark): bytes that are not UTF-8", first["s2"]["status"])
                self.assertEqual((first["s3"]["remark"], first["s3"]["status"]), ("café", "ok"))
                self.assertIn("line 5, column 2 (age_yr): '2\\xc0\\xaf' is not a number", first["s4"]["status"])
                self.assertIn("line 6, column 6 (remark): bytes that are not UTF-8", first["s5"]["status"])
                self.assertIsNone(first["s4"]["trees_per_ha"])
        code, out, err = run(["project", "--years", 5, "--input", "-", "--format", "json"],
                             stdin=b"id,age_yr,trees_per_ha,ba_m2_per_ha,site_m,r\xe9mark\n")
        self.assertEqual((code, out, err.count("\n")), (2, b"", 1))
        self.assertIn("line 1, column 6: a name in bytes that are not UTF-8 text", err)

    def test_output_that_is_the_input_is_refused_and_the_input_kept(self):
        # More than one read buffer of rows, so that writing would truncate
        # the file while it is read.
        text = HEADER + "\n" + "".join(f"r{k},b,25,1100,22.5,20,,\n" for k in range(5000))
        with tempfile.TemporaryDirectory() as tmp:
            path = write(tmp, "inv.csv", text)
            os.symlink(path, os.path.join(tmp, "link.csv"))
            os.link(path, os.path.join(tmp, "hard.csv"))
            cases = [
                (["--input", path, "--output", path], {}),
                (["--input", path, "--output", os.path.join(tmp, ".", "inv.csv")], {}),
                (["--input", path, "--output", os.path.join(tmp, "link.csv")], {}),
                (["--input", os.path.join(tmp, "hard.csv"), "--output", path], {}),
                (["--input", "-", "--output", path], {"stdin_file": path}),
                (["--input", path], {"stdout_append": path}),
            ]
            for args, how in cases:
                for command in (["project", "--years", 5], ["tables", "--end-age", 40]):
                    with self.subTest(args=args, how=how, command=command[0]):
                        with open(how.get("stdin_file", os.devnull), "rb") as stdin, \
                                open(how.get("stdout_append", os.devnull), "ab") as stdout:
                            p = subprocess.run([TOOL, *map(str, command + args)], stdin=stdin, stdout=stdout,
                                               stderr=subprocess.PIPE, timeout=60)
                        err = p.stderr.decode()
                        self.assertEqual((p.returncode, err.count("\n")), (2, 1), err)
                        self.assertIn("is the input file", err)
                        with open(path) as f:
                            self.assertEqual(f.read(), text)

    def test_a_very_wide_header(self):
        # 400,000 carried columns: each name is checked against the others
        # once (a check of every pair took minutes), and a repeat found.
        names = ["id", "age_yr", "trees_per_ha", "ba_m2_per_ha", "site_m"] + [f"c{k}" for k in range(400000)]
        row = ["s1", "20", "1000", "10", "20"] + ["x"] * 400000
        data = (",".join(names) + "\n" + ",".join(row) + "\n").encode()
        code, out, err = run(["project", "--input", "-", "--years", 5], stdin=data, timeout=60)
        self.assertEqual(code, 0, err)
        self.assertEqual(read_csv(out)[0]["c399999"], "x")
        data = (",".join(names + ["c7"]) + "\n").encode()
        code, out, err = run(["project", "--input", "-", "--years", 5], stdin=data, timeout=60)
        self.assertEqual(code, 2)
        self.assertIn("names the column 'c7' twice (columns 13 and 400006)", err)

    def test_unclosed_quote_at_the_end_is_a_flagged_row(self):
        data = b"id,age_yr,trees_per_ha,ba_m2_per_ha,site_m\na,20,1200,20,24\n\"b,20,1200,20,24\n"
        code, out, err = run(["project", "--input", "-", "--years", 5], stdin=data)
        rows = read_csv(out)
        self.assertEqual((code, len(rows), rows[0]["status"]), (0, 2, "ok"))
        self.assertIn("line 3, column 1: a quoted field is not closed", rows[1]["status"])

    def test_files_that_cannot_be_used_give_status_2_and_one_line(self):
        with tempfile.TemporaryDirectory() as tmp:
            cases = [
                (os.path.join(tmp, "missing.csv"), "cannot be opened"),
                (write(tmp, "empty.csv", ""), "is empty"),
                (write(tmp, "bom.csv", "\ufeff"), "is empty"),
                (write(tmp, "blank.csv", "\nid,age_yr\n"), "no header"),
                (write(tmp, "noba.csv", "id,age_yr,trees_per_ha,site_m\na,1,2,3\n"), "lacks the column ba_m2_per_ha"),
                (write(tmp, "noid.csv", "age_yr,trees_per_ha,ba_m2_per_ha,site_m\n1,2,3,4\n"), "lacks the column id"),
                (write(tmp, "nosite.csv", "id,age_yr,trees_per_ha,ba_m2_per_ha,height_m\na,1,2,3,4\n"),
                 "lacks the column height_age_yr"),
                (write(tmp, "twice.csv", "id,age_yr,trees_per_ha,ba_m2_per_ha,site_m,id\n"), "names the column 'id' twice"),
                (write(tmp, "quote.csv", "id,\"age_yr\n"), "line 1, column 2"),
                (write(tmp, "clash.csv", "id,age_yr,trees_per_ha,ba_m2_per_ha,site_m,status\n"),
                 "a column 'status' (column 6)"),
                (write(tmp, "semicolons.csv", "id;age_yr;trees_per_ha;ba_m2_per_ha;site_m\na;1;2;3;4\n"),
                 "lacks the column id (its header is one field with semicolons in it: fields are separated by commas)"),
            ]
            for path, words in cases:
                for command in (["project", "--years", 5], ["tables", "--end-age", 40]):
                    with self.subTest(path=os.path.basename(path), command=command[0]):
                        code, out, err = run([*command, "--input", path])
                        self.assertEqual((code, out), (2, b""))
                        self.assertEqual(err.count("\n"), 1, err)
                        self.assertIn(words, err)
                        self.assertTrue(err.startswith("sylvo: --input: "), err)
            code, out, err = run(["project", "--input", cases[-5][0]])
            self.assertEqual((code, out, err.count("\n")), (2, b"", 1))
            self.assertIn("--years", err)

    def test_option_values_are_refused_before_anything_is_written(self):
        data = (HEADER + "\nr1,a,20,1200,20,24,,\n").encode()
        cases = [(["--years", "0"], "--years: '0' is not a finite number above 0"),
                 (["--years", "-5"], "--years: '-5' is not a finite number above 0"),
                 (["--years", "5", "--threads", "abc"], "--threads: 'abc' is not a whole number; accepted: "),
                 (["--years", "5", "--threads", "-1"], "--threads: '-1' is below 0; accepted: ")]
        for options, message in cases:
            with self.subTest(options=options):
                code, out, err = run(["project", "--input", "-", *options], stdin=data)
                self.assertEqual((code, out, err.count("\n")), (2, b"", 1), err)
                self.assertIn(message, err)

    @unittest.skipUnless(os.path.exists("/dev/full"), "needs /dev/full")
    def test_output_that_cannot_be_written_gives_status_4_and_one_line(self):
        data = (HEADER + "\nr1,a,20,1200,20,24,,\n").encode()
        commands = [["project", "--input", "-", "--years", 10], ["tables", "--input", "-", "--end-age", 40],
                    ["project", "--input", "-", "--years", 10, "--output", "/dev/full"], ["table"],
                    ["height", "--site", 20, "--age", 30]]
        for command in commands:
            with self.subTest(command=command):
                with open("/dev/full", "wb") as full:
                    p = subprocess.run([TOOL, *map(str, command)], input=data, stdout=full, stderr=subprocess.PIPE,
                                       timeout=60)
                err = p.stderr.decode()
                self.assertEqual(p.returncode, 4, err)
                self.assertTrue(err.endswith("sylvo: cannot write the output (No space left on device)\n"), err)


class Tables(unittest.TestCase):
    def expected_table(self, model, site, start, n, b, end, step, limit, thinnings, max_sdi=1500.0):
        """Rows (age, trees, ba, height, volume, merch as shown) from the exports, and whether it stopped."""
        lib = exports(model)
        ages = sorted(set([start + k * step for k in range(int((end - start) / step) + 1) if start + k * step < end]
                          + [end] + list(thinnings)))
        rows, age = [], start
        for a in ages:
            if a != age:
                n, b = lib.SylvoGrow(age, a, n, b)
                age = a
            states = [(n, b)]
            if a in thinnings:
                kind, residual, p = thinnings[a]
                states.append((residual, lib.SylvoBaAfter(p, n, b, residual)) if kind == "tph"
                              else (lib.SylvoTphAfter(p, n, b, residual), residual))
            for nn, bb in states:
                h = lib.SylvoHeight(a, site, 0.0)
                if not (math.isfinite(nn) and nn >= 1 and math.isfinite(bb) and bb > 0 and h > 0):
                    return rows, True
                qmd = math.sqrt(12732.3954473516 * bb / nn)
                if not nn * math.pow(qmd / 25.0, 1.605) <= max_sdi:
                    return rows, True
                rows.append((a, nn, bb, h, lib.SylvoVolume(h, nn, bb), max(lib.SylvoMerchVol(h, nn, bb, limit), 0.0)))
            n, b = states[-1]
        return rows, False

    def test_long_table_of_many_stands_against_the_exports(self):
        text = ("id,model,age_yr,trees_per_ha,ba_m2_per_ha,site_m,end_age_yr,interval_yr,merch_limit_cm,thinnings\n"
                "t1,a,10,1800,6,24,60,5,12,20:tph=800:p=20\n"
                "t2,b,15,2000,20,18,62,10,15,30:ba=30:p=20;45:tph=300:p=40\n"
                "t3,c,12,1500,10,28,50,4,12,20:tph=700:p=10;36:ba=35:p=25\n"
                "t4,a,10,1800,6,24,40,5,12,20:tph=2000:p=20\n"
                "t5,c,12,1500,10,28,50,4,12,20:tph=7x00\n")
        with tempfile.TemporaryDirectory() as tmp:
            path = write(tmp, "inv.csv", text)
            code, out, err = run(["tables", "--input", path])
        self.assertEqual(code, 0, err)
        got = read_csv(out)
        cases = {"t1": ("a", 24, 10, 1800, 6, 60, 5, 12, {20: ("tph", 800, 20)}),
                 "t2": ("b", 18, 15, 2000, 20, 62, 10, 15, {30: ("ba", 30, 20), 45: ("tph", 300, 40)}),
                 "t3": ("c", 28, 12, 1500, 10, 50, 4, 12, {20: ("tph", 700, 10), 36: ("ba", 35, 25)})}
        self.assertEqual([g["id"] for g in got][-2:], ["t4", "t5"])
        for ident, case in cases.items():
            with self.subTest(stand=ident):
                rows = [g for g in got if g["id"] == ident]
                want, stopped = self.expected_table(*case)
                self.assertEqual(len(rows), len(want))
                for g, (a, n, b, h, v, m) in zip(rows, want):
                    for key, value in (("age_yr", a), ("trees_per_ha", n), ("ba_m2_per_ha", b), ("height_m", h),
                                       ("volume_m3_per_ha", v), ("merch_volume_m3_per_ha", m)):
                        self.assertEqual(bits(number(g[key])), bits(float(value)), (ident, key, a))
                self.assertEqual(rows[-1]["status"].startswith("stopped early at age"), stopped)
                self.assertTrue(all(r["status"] == "ok" for r in rows[:-1]))
        # t1 runs past Model A's runaway: the stand density rule stops it
        self.assertIn("stand density index", [g for g in got if g["id"] == "t1"][-1]["status"])
        self.assertIn("line 5, column 10 (thinnings): '20:tph=2000:p=20' leaves 2000 trees/ha", got[-2]["status"])
        self.assertIn("line 6, column 10 (thinnings): '20:tph=7x00' has tph= without a number", got[-1]["status"])
        self.assertIn("5 stands, 2 flagged", err)

    def test_many_blocks_on_any_number_of_threads(self):
        # Tables of an inventory of several blocks (of 4,096 stands), worked
        # on by several threads: the same bytes for every thread count, every
        # stand's rows in input order, a bad row at a block's edge in place,
        # and a sampled table as the exports give it.
        stands = random_inventory(random.Random(12), 9_000)
        stands[4_096]["trees_per_ha"] = "-1"
        header = HEADER + ",end_age_yr"
        for r in stands:
            r["end_age_yr"] = "70"
        with tempfile.TemporaryDirectory() as tmp:
            path = write(tmp, "inv.csv", to_csv(stands, header))
            outputs = {}
            for threads in (1, 3, 8):
                code, outputs[threads], err = run(["tables", "--input", path, "--interval", 10, "--threads", threads])
                self.assertIn(code, (0, 3), err)
        for threads, out in outputs.items():
            self.assertEqual(out, outputs[1], threads)
        got = read_csv(outputs[1])
        order = [g["id"] for g in got]
        self.assertEqual(list(dict.fromkeys(order)), [r["id"] for r in stands])
        self.assertEqual([g["status"] for g in got if g["id"] == "p4096"],
                         ["line 4098, column 4 (trees_per_ha): -1 is not above 0"])
        s = next(r for r in stands[6_000:] if r["site_m"] and r["model"] == "b")
        want, _ = self.expected_table(s["model"], float(s["site_m"]), float(s["age_yr"]), float(s["trees_per_ha"]),
                                      float(s["ba_m2_per_ha"]), 70.0, 10.0, 0.0, {})
        rows = [g for g in got if g["id"] == s["id"]]
        self.assertGreater(len(want), 2)
        self.assertEqual([bits(number(g["trees_per_ha"])) for g in rows], [bits(n) for _, n, *_ in want])

    def test_json_rows_and_notes(self):
        text = "id,age_yr,trees_per_ha,ba_m2_per_ha,site_m\ny,10,1590,5.9,16.4\n"
        code, out, err = run(["tables", "--input", "-", "--end-age", 30, "--merch-limit", 12, "--format", "json"],
                             stdin=text.encode())
        doc = json.loads(out)
        self.assertEqual(code, 0, err)
        self.assertEqual([r["age_yr"] for r in doc], [10, 15, 20, 25, 30])
        self.assertIn("total volume 0 with basal area", doc[1]["note"])
        self.assertIsNone(doc[0]["pai_m3_per_ha_yr"])


class Memory(unittest.TestCase):
    def peak_kb(self, rows):
        """Peak resident memory of a projection of ROWS generated stands read from a pipe."""
        gen = ("import sys\nw=sys.stdout.write\nw('id,model,age_yr,trees_per_ha,ba_m2_per_ha,site_m\\n')\n"
               f"for i in range({rows}):\n w('s%d,%s,%d,%g,%g,%g\\n' % (i, 'abc'[i % 3], 5 + i % 56, "
               "300 + i % 2200, 2 + i % 40, 12 + i % 20))\n")
        producer = subprocess.Popen(["/usr/bin/python3", "-c", gen], stdout=subprocess.PIPE)
        with tempfile.TemporaryFile() as err:
            # Under a limit on the address space (threads' stacks count in it).
            p = subprocess.run(["/usr/bin/time", "-f", "PEAK %M", TOOL, "project", "--input", "-", "--years", "20",
                                "--output", "/dev/null"], stdin=producer.stdout, stderr=err, timeout=600,
                               preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30)))
            producer.wait()
            err.seek(0)
            text = err.read().decode()
        self.assertEqual(p.returncode, 0, text)
        self.assertIn(f"sylvo: {rows} stands", text)
        return int(text.split("PEAK ")[1].split()[0])

    def test_memory_does_not_grow_with_the_inventory(self):
        small, large = self.peak_kb(150_000), self.peak_kb(1_500_000)
        self.assertLess(large, small + 20_000, (small, large))
        self.assertLess(large, 400_000)

    def test_memory_does_not_grow_with_the_tables_rows(self):
        # Tables of thousands of rows each (Model B in tenths of a year to
        # age 1000; each stops near age 200): 1.1 million rows in all from
        # 600 stands, far fewer than a block of stands, take no more memory
        # than a tenth of them.
        def peak_kb(stands):
            with tempfile.TemporaryDirectory() as tmp:
                path = write(tmp, "long.csv", "id,model,age_yr,trees_per_ha,ba_m2_per_ha,site_m,end_age_yr,interval_yr\n"
                             + "".join(f"s{i},b,{10 + i % 7},{1500 + i},10,{18 + i % 5},1000,0.1\n"
                                       for i in range(stands)))
                p = subprocess.run(["/usr/bin/time", "-f", "PEAK %M", TOOL, "tables", "--input", path, "--output",
                                    os.devnull], capture_output=True, text=True, timeout=600)
            self.assertEqual(p.returncode, 0, p.stderr)
            self.assertIn(f"sylvo: {stands} stands, 0 flagged, {stands} stopped early", p.stderr)
            return int(p.stderr.split("PEAK ")[1].split()[0])

        small, large = peak_kb(60), peak_kb(600)
        self.assertLess(large, small + 30_000, (small, large))


def main():
    global TOOL, LIB_DIR
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--lib-dir", required=True)
    parser.add_argument("group", choices=["project", "bad_input", "tables", "memory"])
    args = parser.parse_args()
    TOOL, LIB_DIR = args.tool, args.lib_dir
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(
        {"project": Project, "bad_input": BadInput, "tables": Tables, "memory": Memory}[args.group])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
