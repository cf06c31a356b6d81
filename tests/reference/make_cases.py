#!/usr/bin/python3
"""Writes tests/cases/sylvoa.cases, sylvob.cases and sylvoc.cases (with
--check: compares them with a fresh generation and writes nothing).

Every result comes from the plain-double reference in sylvo_reference.py,
replayed call by call on a library loaded afresh at each `@load`, so the
stored module state (site index, age shift, last trial of a site search) is
the one the library under test holds. Fixed seeds: same output on every run.
"""

import math
import os
import random
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import sylvo_reference as ref  # noqa: E402

CASES_DIR = os.path.join(os.path.dirname(HERE), "cases")
SEEDS = {"sylvoa": 20240501, "sylvob": 20240502, "sylvoc": 20240503}
CANONICAL_NAN = 0x7FF8000000000000
RELOAD_EVERY = 40
NAN, INF = float("nan"), float("inf")
SHORT = {"H": "SylvoHeight", "A": "SylvoAge", "G": "SylvoGain",
         "S": "SylvoSite"}
# zero of either sign, negative, not a number, infinite, tiny and huge
ODD = (0.0, -0.0, -5.0, NAN, INF, -INF, 5e-324, 1e-300, 1e300)
# ordinary forester inputs: range and the numbers of digits they are given to
KINDS = {"age": (5.0, 150.0, (0, 1, 2, 3)), "shift": (-3.0, 10.0, (0, 1, 2)),
         "tph": (100.0, 5000.0, (0, 0, 1)), "ba": (1.0, 80.0, (1, 2, 3)),
         "height": (1.0, 60.0, (1, 2, 3)), "site": (1.0, 80.0, (1, 2, 3)),
         "young": (5.0, 45.0, (0, 1, 2)), "span": (-3.0, 10.0, (0, 1, 2, 3)),
         "long": (10.0, 60.0, (0, 1)), "p": (1.0, 150.0, (0, 1, 2))}


def bits(v):
    return "0x%016x" % (CANONICAL_NAN if v != v else
                        struct.unpack("<Q", struct.pack("<d", v))[0])


def around(x):
    return (math.nextafter(x, -INF), x, math.nextafter(x, INF))


def table(text, n):
    """The numbers written in text, n to a tuple."""
    v = tuple(float(x) for x in text.split())
    return tuple(v[i:i + n] for i in range(0, len(v), n))


def substituted(base, values):
    """base with one argument at a time replaced by each of values."""
    for pos in range(len(base)):
        for v in values:
            yield base[:pos] + (v,) + base[pos + 1:]


class Draws(random.Random):
    def u(self, lo, hi, digits=None):
        x = lo + (hi - lo) * self.random()
        return x if digits is None else round(x, digits)

    def pick(self, seq):
        return seq[int(self.random() * len(seq))]

    def __call__(self, kind):
        lo, hi, digits = KINDS[kind]
        return self.u(lo, hi, self.pick(digits))


class CaseWriter:
    """Replays calls on a reference library and records them."""

    def __init__(self, name):
        self.name = name
        self.cls = ref.MODELS[name]
        self.lines, self.lib, self.since_load, self.calls = [], None, 0, 0

    def comment(self, text):
        self.lines += ["", "# " + text]

    def load(self):
        self.lib = self.cls()
        self.lines.append("@load")
        self.since_load = 0

    def unit(self):
        """Start of an independent group of calls: reload now and then."""
        if self.lib is None or self.since_load >= RELOAD_EVERY:
            self.load()

    def call(self, export, *args):
        """Calls the export on the library; records the call and result."""
        if export == "LibMain":
            result = self.lib.LibMain(*args)
            text = "LibMain %d %d %d => %d" % (args + (result,))
        else:
            args = tuple(float(a) for a in args)
            if export.startswith("SylvoGrow"):
                gap = abs(args[1] - args[0] if export == "SylvoGrow"
                          else args[3] - args[0])
                # keep every projection short; the huge ones are refused
                assert gap != gap or gap < 5e3 or gap >= 2.0 ** 31, args
            result = getattr(self.lib, export)(*args)
            out = result if export == "SylvoGrow" else (result,)
            text = " ".join([export] + [repr(a) for a in args] + ["=>"]
                            + [bits(r) for r in out])
        self.lines.append(text)
        self.since_load += 1
        self.calls += 1
        return result

    def grow(self, t1, N1, B1, t2):
        """The three growth exports on one stand."""
        self.call("SylvoGrowTph", t1, N1, B1, t2)
        self.call("SylvoGrowBa", t1, N1, B1, t2)
        return self.call("SylvoGrow", t1, t2, N1, B1)

    def script(self, text):
        """Calls written 'H t S u, A H S u, G H u S, S H t u, ...'."""
        for item in text.split(","):
            code, *args = item.split()
            self.call(SHORT[code], *[float(a) for a in args])

    def scratch(self, S, u):
        """A library aside, its site curve set to S and u."""
        lib = self.cls()
        lib.set_site(S, u)
        return lib


def version_and_entry(w, dr):
    w.comment("version and entry notifications")
    w.load()
    w.call("SylvoVersion")
    for args in table("268435456 1 0  268435456 2 0  268435456 3 0  "
                      "268435456 0 0  0 4 0  1 255 1  268435456 0 1  "
                      "2147483647 2147483647 2147483647", 3):
        w.call("LibMain", *args)
    w.call("SylvoVersion")


STEP_GAPS = (0.0, 5e-07, 1e-06, 1.0000000000000002e-06, 1.5e-06, 0.5, 1.0,
             1.0000005, 1.000002, 3.9, 3.999, 4.0, 4.0000001, 5.0,
             5.0000001, 5.000002, 5.5, 7.999, 8.0, 10.0, 12.0)
# t1 N1 B1 t2: gaps as exact differences of integral ages, ages far apart,
# negative or tiny, and stands far from the ordinary ones
EXTREME_STANDS = table("""
    30 900 18 50   20 900 18 30   25 900 18 25.5   30 900 18 35   35 900 18 30
    50 900 18 30   10 900 18 14   14 900 18 10   100 900 18 110
    110 900 18 100
    1 1500 20 2147483649   2147483649 1500 20 1   -1e9 1500 20 1.2e9
    0 1500 20 0
    1e300 1500 20 -1e300   -5 1500 20 -3   -3 1500 20 5   -1 1500 20 1
    5 1500 20 -5   -10 1500 20 -10   5e-324 1500 20 5e-324
    1e-300 1500 20 1   0.001 1500 20 2   0.1 5000 1 5   1e300 1500 20 1e300
    1e15 1500 20 1.0000000000000002e15   25 1500 20 3e-17
    5 40000 60 30   5 100000 5 15   150 100 80 300   10 3 0.5 60
    40 800 250 45   60 300 1 10   3 4999 79 1   150 5000 80 140""", 4)


def growth(w, dr):
    w.comment("step-count boundaries of both step rules, forward and back")
    for t1 in (20.0, 37.3, 1.5):
        for gap in STEP_GAPS:
            for t2 in (t1 + gap, t1 - gap) if gap else (t1,):
                if t2 > 0.0:
                    w.unit()
                    w.grow(t1, 1200.0, 22.5, t2)
    w.comment("each argument odd in turn (NaN in both outside the domain), "
              "integral ages, extreme ages and stands")
    for args in tuple(substituted((25.0, 1500.0, 20.0, 35.0), ODD)) \
            + EXTREME_STANDS:
        w.unit()
        w.grow(*args)
    w.comment("ordinary stands; some forward and back again")
    for i in range(230):
        w.unit()
        # the dynamics stay well behaved mostly in younger stands
        t1 = dr("young") if dr.random() < 0.5 else dr("age")
        N1, B1 = dr("tph"), dr("ba")
        if i % 8 == 7:
            t2 = round(t1 + dr.u(1.0, 25.0, 1), 3)
            N2, B2 = w.call("SylvoGrow", t1, t2, N1, B1)
            w.call("SylvoGrow", t2, t1, N2, B2)
            continue
        t2 = round(t1 + dr("span" if dr.random() < 0.75 else "long"), 3)
        t2 = t2 or 1.0
        w.call("SylvoGrowTph", t1, N1, B1, t2)
        w.call("SylvoGrowBa", t1, N1, B1, t2)
        if i % 3 == 0:
            w.call("SylvoGrow", t1, t2, N1, B1)


# H N B at the edges of the volume equations
VOLUME_STANDS = table("0 0 0  2 3000 30  1.5 5000 80  3 120 70  30 10 20  "
                      "40 5 2  60 100 80  1 100 1  20 1273.23954473516 10  "
                      "10 1000 12.732395447351601", 3)


def volumes(w, dr):
    w.comment("volumes with each argument odd in turn; edge stands")
    for H, N, B in tuple(substituted((20.0, 1000.0, 25.0), ODD)) \
            + VOLUME_STANDS:
        w.unit()
        w.call("SylvoVolume", H, N, B)
        for d in (0.0, 12.0):
            w.call("SylvoMerchVol", H, N, B, d)
    w.unit()
    for args in tuple((20.0, 1000.0, 25.0, d) for d in ODD + (
            -1e-300, 17.841241161527712, 1000.0)) + table(
            "20 nan nan nan  nan nan nan nan  20 1000 1e-300 0.001", 4):
        w.call("SylvoMerchVol", *args)
    w.comment("volumes of ordinary stands")
    for i in range(160):
        w.unit()
        H, N, B = dr("height"), dr("tph"), dr("ba")
        w.call("SylvoVolume", H, N, B)
        D = ref.quadratic_mean_diameter(B, N)
        d = (0.0 if i % 5 == 0 else round(D * dr.u(0.7, 1.3), 1)
             if i % 5 == 1 else dr.u(0.0, 60.0, dr.pick((0, 1))))
        w.call("SylvoMerchVol", H, N, B, d)
    w.comment("merchantable volume falling as the diameter limit grows")
    for H, N, B in table("22 800 30  12 3000 25  35 250 45", 3):
        w.unit()
        D = ref.quadratic_mean_diameter(B, N)
        for f in (0.0, 0.1, 0.3, 0.5, 0.7, 0.9, 1.0, 1.1, 1.3, 1.6, 2.0, 3.0):
            w.call("SylvoMerchVol", H, N, B, round(D * f, 2))


def thinning(w, dr):
    w.comment("thinning with each argument odd in turn")
    for ba, tph in zip(substituted((30.0, 1500.0, 30.0, 900.0), ODD),
                       substituted((30.0, 1500.0, 30.0, 20.0), ODD)):
        w.unit()
        w.call("SylvoBaAfter", *ba)
        w.call("SylvoTphAfter", *tph)
    for args in table("0 0 0 0  -1 -1 -1 -1  nan nan nan nan  nan 0 nan nan",
                      4):
        w.call("SylvoBaAfter", *args)
        w.call("SylvoTphAfter", *args)
    w.comment("thinning response of ordinary stands, both directions")
    for _ in range(130):
        w.unit()
        p, N1, B1 = dr("p"), dr("tph"), dr("ba")
        N2 = round(N1 * dr.u(0.2, 0.99), dr.pick((0, 1)))
        B2 = round(B1 * dr.u(0.2, 0.99), dr.pick((1, 2, 3)))
        Ba = w.call("SylvoBaAfter", p, N1, B1, N2)
        w.call("SylvoTphAfter", p, N1, B1, B2)
        if dr.random() < 0.3:
            # the two are inverse only up to the rounding of cN
            w.call("SylvoTphAfter", p, N1, B1, Ba)
    w.comment("fourth argument equal to and above the value before")
    for p, N1, B1 in table("30 1500 30  1 400 12.5  120 4800 75  0.02 800 20",
                           3):
        w.unit()
        for f in (1.0, 1.01, 1.5, 3.0, 10.0, 100.0, 1e4, 1e8, 1e12):
            w.call("SylvoBaAfter", p, N1, B1, N1 * f)
            w.call("SylvoTphAfter", p, N1, B1, B1 * f)


SITE_BOUNDARIES = (around(1e-06) + around(1.3) + around(1.372) + around(18.5)
                   + (9.99e-07, 0.0, -0.0, -1.0, 1e-300, 0.5, 1.0, 2.0, 80.5,
                      80.50000000000001, 80.5000001, 81.0, 1000.0, NAN, INF,
                      -INF))
# the site index at which a site curve changes form
THRESHOLD = {"sylvoa": around(18.5), "sylvob": (), "sylvoc": around(1.372)}
CURVE_SITES = {"sylvoa": (1.31, 2.0, 5.0, 12.0, 30.0, 60.0, 80.5),
               "sylvob": (1.31, 2.0, 5.0, 12.0, 18.0, 30.0, 60.0, 80.5),
               "sylvoc": (1e-06, 0.01, 0.5, 1.0, 1.38, 2.0, 10.0, 30.0, 60.0,
                          80.5)}
SHIFTS = {2.0: (2.5,), 18.5: (2.5,), 30.0: (-1.0, 2.5), 1.372: (2.0,),
          1.0: (-0.5,), 60.0: (5.0,)}
# t u: ages and shifts of the searches at the ends of the interval
SEARCH_AGES = table("20 0  50 0  100 0  35 4  12 -2.5", 2)
# H t u: searches whose residual never changes sign (curve age below zero)
NO_SIGN_CHANGE = table("""
    6.66 2.99 -4.78   10 5 -8   -3 5 -8   0 5 -8   20 -5 0   20 -1.0000001 0
    0 -1 0   1 -1 0   20 -1 0   0 -0.5 -0.5   20 0 0   1.3 5 0   0.3 1 0
    20 1e300 0   5 3 0   1 0.5 0""", 3)
LOAD_SCRIPTS = (
    "H 30 1 0, H -1 1 0, H 0 1 0, H 0.4 1.3 0, H 1 1e-06 0, A 1 1 0, "
    "A 10 1 0, G 25 0 1.3, G 0.5 0 1.3",
    "H 30 25 3, H 30 1 0, A 15 1.3 0, H 30 81 0, H 30 1 0, G 15 7 12, "
    "H 30 1e-06 0, A 15 0 0, G 15 0 1.2, S 18 40 2, H 40 1 0, A 18 1 0, "
    "S 0.5 40 -1, H 40 1 0, S 200 40 3, G 30 0 1, S nan 40 3, H 40 1 0",
    "S 22 60 0, H 60 1.1 0, H 60 1.3 5, S 6.66 2.99 -4.78, H 60 1.1 0, "
    "A 10 0.9 0",
    "H -1.5 1 0, H -1 1 0, H -0.5 1 0, H 5 1 0, H 50 1 0, A 0 1 0, "
    "A 0.5 1 0, A 1.3 1 0, A 18 1 0, A 1000 1 0",
    "H -1 1.3 0, G 1 0 1e-06")


def curve_points(lib, S, u):
    """The ages at which a piece of the site curve starts or ends, from
    curve age 0 to the index age, and the height the curve approaches (the
    age of a greater height is refused)."""
    if isinstance(lib, ref.SylvoC):
        w0 = 13.25 - S / 6.096          # curve time at breast height
        return ((-1.0 - u, w0 - 1.0 - u, w0 + 49.0 - u),
                S * ref.cexp(-lib.curve_rate * lib.reference_term))
    K, top = lib.breast_height_age, 1.3 + (S - 1.3) * lib.curve_factor(50.0)
    if isinstance(lib, ref.SylvoB):
        return (-1.0 - u, K - 1.0 - u, K + 49.0 - u), top
    return (-1.0 - u, K - 1.5 - u, K - 1.0 - u, K - 0.5 - u, K + 0.5 - u,
            K + 48.5 - u), top


def site_range(w, dr):
    w.comment("site index range, then calls whose site set_site declines")
    for S in SITE_BOUNDARIES:
        w.load()
        w.script("H 40 %r 0, H 40 1 0, A 15 %r 2, A 15 1 0, G 15 3 %r, "
                 "G 1 0 1e-06, H 10 %r -2, H 10 1.2 1" % (S, S, S, S))
    w.comment("odd ages, heights and age shifts")
    for S in (12.0, 35.0):
        w.load()
        for v in (0.0, -0.0, -1.0, -1e-300, NAN, INF, -INF):
            w.script("H %r %r 0, H 30 %r %r, A %r %r 0, A 12 %r %r, "
                     "G %r 0 %r, G 12 %r %r, H 30 1 0"
                     % (v, S, S, v, v, S, S, v, v, S, v, S))


def site_curve(w, dr):
    w.comment("each piece of the site curve, its ends and the upper limit")
    for S in CURVE_SITES[w.name] + THRESHOLD[w.name]:
        for u in (0.0,) + SHIFTS.get(S, ()):
            keys, top = curve_points(w.scratch(S, u), S, u)
            keys = sorted(keys)
            mids = [(a + b) / 2.0 for a, b in zip(keys, keys[1:])]
            w.load()
            at_keys = [w.call("SylvoHeight", a, S, u)
                       for k in keys for a in around(k)][1::3]
            at_mids = [w.call("SylvoHeight", a, S, u) for a in mids]
            for a in (-2.0, -0.5, 0.0, 1.0, 150.0, 1e6, INF, NAN):
                w.call("SylvoHeight", a, S, u)
            w.load()
            for H in ([h for k in at_keys + [top, 1.3] for h in around(k)]
                      + at_mids + [top * 1.01, 0.0, -0.0, -1.0, 5e-324, 0.5,
                                   1.35, 1.372, 2.0, S, 100.0, INF, NAN]):
                w.call("SylvoAge", H, S, u)
            for H in at_mids:
                w.call("SylvoGain", H, u, S)
    w.comment("random ages on each piece of the curve and back")
    for _ in range(120):
        w.unit()
        S = dr.u(1.31, 80.5, 3) if dr.random() < 0.85 else dr.u(0.0, 2.0, 4)
        u = dr.pick((0.0, 0.0, dr("shift")))
        keys = sorted(curve_points(w.scratch(S, u), S, u)[0]) + [150.0]
        i = int(dr.u(0, len(keys) - 1))
        H = w.call("SylvoHeight", dr.u(keys[i], keys[i + 1]), S, u)
        w.call("SylvoAge", H, S, u)
    w.comment("heights, ages and gains of ordinary stands")
    for i in range(110):
        w.unit()
        t, S, u = dr("age"), dr("site"), dr("shift")
        H = w.call("SylvoHeight", t, S, u)
        Hq = dr("height") if i % 3 == 0 else round(H, dr.pick((1, 2, 3)))
        w.call("SylvoAge", Hq, S, u)
        w.call("SylvoGain", Hq, u, S)
        if i % 4 == 0:
            w.call("SylvoHeight", round(dr.u(-3.0, 5.0), 2), S, u)


def site_search(w, dr):
    lo, hi = w.cls.search_lo, w.cls.search_hi
    w.comment("site searches at and near the ends and where the curve "
              "changes form")
    for t, u in SEARCH_AGES:
        for S in (around(lo) + around(hi) + THRESHOLD[w.name]
                  + (lo + 0.5, hi - 0.5, lo + 0.01, hi - 0.01)):
            w.unit()
            H = w.call("SylvoHeight", t, S, u)
            w.call("SylvoSite", H, t, u)
            w.call("SylvoHeight", t, 1.0, 0.0)
    w.comment("searches out of reach, with no sign change (curve age below "
              "zero) and with odd arguments")
    for args in NO_SIGN_CHANGE + tuple(substituted((20.0, 50.0, 0.0), (
            NAN, INF, -INF))) + tuple((H, t, u) for t, u in SEARCH_AGES
                                      for H in (0.5, 0.0, -0.0, -3.0, 1e300)):
        w.unit()
        w.call("SylvoSite", *args)
        w.call("SylvoHeight", 30.0, 1.0, 0.0)
    w.comment("searches of ordinary and of young stands")
    for i in range(190):
        w.unit()
        t, u = dr("age"), dr("shift")
        if i % 3 == 2:
            t, u, H = dr.u(-2.0, 8.0, 2), dr.u(-10.0, 10.0, 1), \
                dr.u(-1.0, 8.0, 2)
        else:
            H = dr("height") if i % 3 == 0 else round(w.scratch(
                dr.u(lo, hi, 3), u).dominant_height(t), dr.pick((2, 3, 4)))
        found = w.call("SylvoSite", H, t, u)
        if i % 2 == 0:
            w.call("SylvoHeight", t, found, u)
        if i % 5 == 0:
            # the stored state is the search's last trial
            w.script("H %r 1.2 0, A %r 1 7" % (t, H))


def sequences(w, dr):
    w.comment("sequences from load: declined sites, last trial of a search")
    for text in LOAD_SCRIPTS:
        w.load()
        w.script(text)
    w.comment("random sequences of accepted and declined site indices")
    declined = (1e-06, 0.01, 0.5, 1.0, 1.2, 1.3, 0.0, 81.0, NAN)
    for _ in range(20):
        w.load()
        for _ in range(int(dr.u(8, 16))):
            kind = dr.pick("HHAGS")
            S = dr.pick(declined) if dr.random() < 0.5 else dr("site")
            u = dr("shift")
            first = dr("age") if kind == "H" else dr("height")
            second = {"H": S, "A": S, "G": u, "S": dr("age")}[kind]
            w.call(SHORT[kind], first, second, S if kind == "G" else u)


HEADER = """# %s: expected results of every export of the %s library
# written by /usr/bin/python3 tests/reference/make_cases.py: IEEE-754 bit
# patterns from the plain-double reference (tests/reference/sylvo_reference.py)
# a NaN result is written as 0x%016x whatever its sign and payload
# line: <Export> <args...> => <result> [<result>]; @load starts a freshly
# loaded library"""


def build(name):
    dr = Draws(SEEDS[name])
    w = CaseWriter(name)
    w.lines += (HEADER % (name, name, CANONICAL_NAN)).split("\n")
    for section in (version_and_entry, growth, volumes, thinning, site_range,
                    site_curve, site_search, sequences):
        section(w, dr)
    seen = {ln.split()[0] for ln in w.lines if ln and ln[0] not in "#@"}
    assert seen == set(ref.EXPORTS), set(ref.EXPORTS) - seen
    assert 3000 <= w.calls <= 6000, w.calls
    return w


def main():
    """Writes the case files; with --check, compares them with what the
    reference gives now and writes nothing (exit 1 on a difference)."""
    check = sys.argv[1:] == ["--check"]
    if sys.argv[1:] and not check:
        sys.exit("usage: make_cases.py [--check]")
    os.makedirs(CASES_DIR, exist_ok=True)
    stale = 0
    for name in ("sylvoa", "sylvob", "sylvoc"):
        w = build(name)
        text = "\n".join(w.lines) + "\n"
        path = os.path.join(CASES_DIR, name + ".cases")
        shown = "tests/cases/%s.cases" % name
        if check:
            with open(path, encoding="ascii", newline="") as f:
                current = f.read() == text
            stale += not current
            print("%s: %d calls, as the reference gives them"
                  % (shown, w.calls) if current else "%s differs from what "
                  "the reference gives now; regenerate it with make_cases.py"
                  % shown)
        else:
            with open(path, "w", encoding="ascii", newline="\n") as f:
                f.write(text)
            print("%s: %d lines, %d calls, %d bytes"
                  % (shown, len(w.lines), w.calls, len(text)))
    sys.exit(1 if stale else 0)


if __name__ == "__main__":
    main()
