#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

The binary targets read their input with libFuzzer's FuzzedDataProvider,
which takes numbers from the end of the input: the encoder below writes
the bytes a call sequence needs in the order the target consumes them, and
reverses them. Text seeds (CSV files, command lines) are written as they
are. Files the fuzzer found later (crash inputs kept as regressions) are
left alone: only the files named here are rewritten.

    fuzz/make_seeds.py
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

# The edge values of fuzz_values.h, by index.
EDGE = {0.0: 0, 1e-6: 2, 1.3: 4, 1.372: 6, 2.0: 7, 80.5: 9, 1000.0: 18, 2147483648.0: 23,
        float("inf"): 28, float("nan"): 30}


class Enc:
    """Bytes in the order FuzzedDataProvider consumes them."""

    def __init__(self):
        self.taken = []

    def int_in(self, value, low, high):
        rng, offset = high - low, value - low
        assert 0 <= offset <= rng
        n = 0
        while n < 8 and (rng >> (8 * n)) > 0:
            n += 1
        # The first byte consumed is the most significant.
        for k in reversed(range(n)):
            self.taken.append((offset >> (8 * k)) & 0xFF)
        return self

    def boolean(self, b):
        return self.int_in(1 if b else 0, 0, 255)

    def u64(self, bits):
        for k in reversed(range(8)):
            self.taken.append((bits >> (8 * k)) & 0xFF)
        return self

    def int32(self, v):
        # ConsumeIntegral<int>: the range min..max, offset from min.
        return self.int_in(v + 2**31, 0, 2**32 - 1)

    def value(self, x):
        """A double through sylvo_fuzz::value: an edge, a quarter, or raw bits."""
        if x in EDGE or x != x:
            self.int_in(0, 0, 3)
            return self.int_in(EDGE[float("nan")] if x != x else EDGE[x], 0, 31)
        q = x * 4
        if q == int(q) and -20 <= q <= 2500:
            self.int_in(2, 0, 3)
            return self.int_in(int(q), -20, 2500)
        self.int_in(3, 0, 3)
        return self.u64(struct.unpack("<Q", struct.pack("<d", x))[0])

    def data(self, front=b""):
        return front + bytes(reversed(self.taken))


def write(target, name, data):
    d = os.path.join(HERE, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


# fuzz_exports: the library, then calls (0 LibMain, 1 SylvoVersion, 2-4 the
# growth exports, 5 SylvoVolume, 6 SylvoMerchVol, 7 the thinning exports,
# 8 SylvoSite, 9-10 SylvoHeight, 11 SylvoAge, 12 SylvoGain).
def exports_seed(lib, calls):
    e = Enc().int_in(lib, 0, 2)
    for op, args in calls:
        e.int_in(op, 0, 12)
        if op == 0:
            e.int_in(1, 0, 2**32 - 1).boolean(True)
        for x in args:
            e.value(x)
    return e.data()


stand = [(1, []), (0, []), (2, [10, 1800, 6, 40]), (5, [18, 900, 30]), (6, [18, 900, 30, 12]),
         (7, [20, 1800, 30, 800])]
site_play = [(9, [20, 24, 0]), (8, [16, 30, 0]), (9, [20, 1.25, 0]), (11, [15, 1.2, 0.5]),
             (12, [15, 2.5, 30]), (9, [20, 1.0, 0]), (11, [15, 80.5, 0])]
for lib, letter in enumerate("abc"):
    write("fuzz_exports", f"stand_{letter}", exports_seed(lib, stand))
    write("fuzz_exports", f"site_{letter}", exports_seed(lib, site_play))
write("fuzz_exports", "long_span_a", exports_seed(0, [(3, [10, 1800, 6, 2147483648.0]), (4, [10, 1800, 6, 0.0])]))


# fuzz_engine: the function (0 grow ... 7 tph_after), the call's model,
# options, count, a pool of values per argument, the arrays' elements, where
# each array goes (0 NULL, 1-2 another's place, 3 an overlap, 4-7 its own),
# and a code for sylvo_strerror.
INPUTS = [4, 3, 3, 3, 3, 4, 4, 4]


def engine_seed(f, model, mode, threads, count, pools, places, options=True):
    e = Enc().int_in(f, 0, 7)
    e.boolean(True).int_in(model, 0, 2)
    e.boolean(options)
    e.boolean(True).int_in(mode, 0, 1)
    e.int_in(threads, -1, 4)
    e.boolean(False).int_in(count, 0, 300)
    for k in range(4):
        for j in range(6):
            e.value(pools[k][j] if k < len(pools) else 1.0)
    for i in range(count):
        for k in range(INPUTS[f]):
            e.boolean(True).int_in(i % 6, 0, 5)
    for p in places:
        e.int_in(p[0], 0, 7)
        if p[0] in (1, 2, 3):
            e.int_in(p[1], 0, INPUTS[f] + (2 if f == 0 else 1) - 1)
            if p[0] == 3:
                e.int_in(p[2], 1, count - 1)
    e.int32(1)
    return e.data()


ages = [[10, 10, 15, 20, 10, 30], [40, 40, 40, 60, 25, 40], [1800, 900, 2400, 600, 1500, 1200],
        [6, 12, 9, 30, 8, 20]]
own = [(4,)] * 6
write("fuzz_engine", "grow_exact", engine_seed(0, 0, 0, 2, 12, ages, own))
write("fuzz_engine", "grow_fast", engine_seed(1 - 1, 2, 1, 3, 20, ages, own))
write("fuzz_engine", "grow_in_place", engine_seed(0, 1, 0, 1, 16, ages, [(4,), (4,), (4,), (4,), (1, 2), (1, 3)]))
write("fuzz_engine", "grow_overlap", engine_seed(0, 0, 0, 0, 8, ages, [(4,), (4,), (4,), (4,), (3, 0, 3), (4,)]))
sites = [[20, 40, 15, 60, 5, 100], [24, 1.2, 30, 80.5, 1e-6, 18], [0, 0.5, -2, 3, 0, 0], [1] * 6]
write("fuzz_engine", "height", engine_seed(1, 0, 0, 0, 10, sites, [(4,)] * 4))
write("fuzz_engine", "site_null", engine_seed(2, 2, 0, 2, 6, sites, [(4,), (0,), (4,), (4,)]))
write("fuzz_engine", "merch_in_place", engine_seed(5, 1, 0, 4, 9, ages, [(4,)] * 4 + [(1, 0)]))

# fuzz_csv: the example inventory and variants of its format.
example = open(os.path.join(ROOT, "examples", "inventory.csv"), "rb").read()
write("fuzz_csv", "inventory.csv", example)
write("fuzz_csv", "crlf.csv", example.replace(b"\n", b"\r\n"))
write("fuzz_csv", "bom.csv", b"\xef\xbb\xbf" + example)
write("fuzz_csv", "quoted.csv",
      'id,note,age_yr\n"a ""quoted"" id","two\nlines, and a comma",12\n"",,"7"\r\n'
      '"unclosed,1\n')
write("fuzz_csv", "faults.csv", 'id,age_yr\nx"y,1\n"a"b,2\n\n\n3,4,5\nlast,without end')

# fuzz_inventory: a CSV file, then the options (consumed from the end):
# tables, json, model, mode, threads, then each number option given or not.
def inventory_seed(csv, tables, json=False, to_age=None, years=None, end_age=None, interval=None,
                   merch=None, max_sdi=None, model=None, mode=0, threads=0):
    e = Enc().boolean(tables).boolean(json)
    e.boolean(model is not None)
    if model is not None:
        e.int_in(model, 0, 5)
    e.int_in(mode, 0, 3).int_in(threads, 0, 4)
    for x in (to_age, years, end_age, interval, merch, max_sdi):
        e.boolean(x is not None)
        if x is not None:
            e.value(x)
    return e.data(csv)


write("fuzz_inventory", "project", inventory_seed(example, False, to_age=40, merch=12, threads=2))
write("fuzz_inventory", "project_years_fast", inventory_seed(example, False, years=15, mode=1, model=2))
write("fuzz_inventory", "project_json", inventory_seed(example, False, json=True, to_age=60, threads=1))
write("fuzz_inventory", "tables", inventory_seed(example, True, end_age=50, interval=5, merch=12, threads=2))
write("fuzz_inventory", "tables_json_crlf",
      inventory_seed(b"\xef\xbb\xbf" + example.replace(b"\n", b"\r\n"), True, json=True, end_age=45, max_sdi=1200))

# fuzz_options: a command and NAME=VALUE lines.
write("fuzz_options", "table",
      "table\nsite=24\nstart-age=10\ntrees=1800\nba=6\nend-age=60\nmerch-limit=12\n"
      "thin=20:tph=800:p=20\nthin=30:ba=25:p=20")
write("fuzz_options", "table_height", "table\nmodel=c\nheight=16\nheight-age=30\nstart-age=10\ntrees=1500\n"
      "ba=10\nend-age=52\ninterval=4\nmerch-limit=12\nthin=17.5:p=15:tph=900\nmax-sdi=1400\nformat=json")
write("fuzz_options", "height", "height\nage=20\nsite=24\nshift=0.5\nformat=csv")
write("fuzz_options", "grow", "grow\nmodel=b\nstart-age=10\ntrees=1800\nba=6\nend-age=40")
write("fuzz_options", "thin", "thin\ntrees=1000\nba=30\np=20\nto-ba=20")
write("fuzz_options", "queries", "age\nheight=16\nsite=1.2\nnumber=+5\nnumber=1e-400\nnumber=.5e1\n"
      "number=0x10\nthinnings=20:tph=800:p=20;30:ba=25:p=20")
write("fuzz_options", "volume_site", "volume\nheight=18\ntrees=900\nba=30\nmerch-limit=12\nage=30")
