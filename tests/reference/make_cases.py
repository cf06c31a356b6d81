#!/usr/bin/python3
"""Writes tests/cases/sylvoa.cases, sylvob.cases and sylvoc.cases.

Run from anywhere:  /usr/bin/python3 tests/reference/make_cases.py

Every result comes from the plain-double reference in sylvo_reference.py,
replayed call by call on a freshly loaded Library after each `@load`, so the
stored module state (site index, age shift, last trial of a site search) is
the one the library under test would hold. The random draws use a fixed seed
per library; the output is the same on every run.
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
NAN = float("nan")
INF = float("inf")


def bits(v):
    if v != v:
        return "0x%016x" % CANONICAL_NAN
    return "0x%016x" % struct.unpack("<Q", struct.pack("<d", v))[0]


def next_up(x):
    return math.nextafter(x, INF)


def next_down(x):
    return math.nextafter(x, -INF)


class CaseWriter:
    """Replays calls on a reference library and records them."""

    def __init__(self, name):
        self.name = name
        self.cls = ref.MODELS[name]
        self.lines = []
        self.lib = None
        self.since_load = 0
        self.calls = 0

    def comment(self, text):
        self.lines.append("")
        self.lines.append("# " + text)

    def load(self):
        self.lib = self.cls()
        self.lines.append("@load")
        self.since_load = 0

    def unit(self):
        """Start of an independent group of calls: reload now and then."""
        if self.lib is None or self.since_load >= RELOAD_EVERY:
            self.load()

    def call(self, export, *args):
        args = tuple(float(a) for a in args)
        if export in ("SylvoGrowTph", "SylvoGrowBa", "SylvoGrow"):
            t1, t2 = (args[0], args[3]) if export != "SylvoGrow" \
                else (args[0], args[1])
            gap = abs(t2 - t1)
            # keep every projection short; the huge ones must be refused
            assert gap != gap or gap < 5000.0 or gap >= 2.0 ** 31, args
        result = getattr(self.lib, export)(*args)
        text = " ".join([export] + [repr(a) for a in args]) + " =>"
        if export == "SylvoGrow":
            text += " " + bits(result[0]) + " " + bits(result[1])
        else:
            text += " " + bits(result)
        self.lines.append(text)
        self.since_load += 1
        self.calls += 1
        return result

    def libmain(self, module, reason, reserved):
        result = self.lib.LibMain(module, reason, reserved)
        self.lines.append("LibMain %d %d %d => %d"
                          % (module, reason, reserved, result))
        self.since_load += 1
        self.calls += 1

    def scratch(self):
        return self.cls()


# ---------------------------------------------------------------------------
# draws of ordinary forester inputs
# ---------------------------------------------------------------------------

class Draws:
    def __init__(self, seed):
        self.r = random.Random(seed)

    def u(self, lo, hi, digits=None):
        x = lo + (hi - lo) * self.r.random()
        return x if digits is None else round(x, digits)

    def pick(self, seq):
        return seq[int(self.r.random() * len(seq))]

    def chance(self, p):
        return self.r.random() < p

    def age(self):
        return self.u(5.0, 150.0, self.pick((0, 1, 2, 3)))

    def shift(self):
        return self.u(-3.0, 10.0, self.pick((0, 1, 2)))

    def tph(self):
        return self.u(100.0, 5000.0, self.pick((0, 0, 1)))

    def ba(self):
        return self.u(1.0, 80.0, self.pick((1, 2, 3)))

    def height(self):
        return self.u(1.0, 60.0, self.pick((1, 2, 3)))

    def site(self):
        return self.u(1.0, 80.0, self.pick((1, 2, 3)))

    def young_or_any_age(self):
        # the dynamics stay well behaved mostly in younger stands
        if self.chance(0.5):
            return self.u(5.0, 45.0, self.pick((0, 1, 2)))
        return self.age()

    def span(self):
        if self.chance(0.75):
            return self.u(-3.0, 10.0, self.pick((0, 1, 2, 3)))
        return self.u(10.0, 60.0, self.pick((0, 1)))


# ---------------------------------------------------------------------------
# sections common to the three libraries
# ---------------------------------------------------------------------------

def version_and_entry(w):
    w.comment("version and entry notifications")
    w.load()
    w.call("SylvoVersion")
    for module, reason, reserved in ((268435456, 1, 0), (268435456, 2, 0),
                                     (268435456, 3, 0), (268435456, 0, 0),
                                     (0, 4, 0), (1, 255, 1),
                                     (2147483647, 2147483647, 2147483647),
                                     (268435456, 0, 1)):
        w.libmain(module, reason, reserved)
    w.call("SylvoVersion")


def growth_ordinary(w, dr, count):
    w.comment("projections of ordinary stands; the three growth exports")
    for i in range(count):
        w.unit()
        t1 = dr.young_or_any_age()
        t2 = round(t1 + dr.span(), 3)
        if t2 == 0.0:
            t2 = 1.0
        N1, B1 = dr.tph(), dr.ba()
        w.call("SylvoGrowTph", t1, N1, B1, t2)
        w.call("SylvoGrowBa", t1, N1, B1, t2)
        if i % 3 == 0:
            w.call("SylvoGrow", t1, t2, N1, B1)


def growth_round_trips(w, dr, count):
    w.comment("projection forward and back again")
    for _ in range(count):
        w.unit()
        t1, N1, B1 = dr.young_or_any_age(), dr.tph(), dr.ba()
        t2 = round(t1 + dr.u(1.0, 25.0, 1), 3)
        N2, B2 = w.call("SylvoGrow", t1, t2, N1, B1)
        w.call("SylvoGrow", t2, t1, N2, B2)


STEP_GAPS = (0.0, 5e-07, 1e-06, 1.0000000000000002e-06, 1.5e-06, 0.5, 1.0,
             1.0000005, 1.000002, 3.9, 3.999, 4.0, 4.0000001, 5.0,
             5.0000001, 5.000002, 5.5, 7.999, 8.0, 10.0, 12.0)


def growth_step_counts(w):
    w.comment("step-count boundaries of both step rules, forward and back")
    for t1 in (20.0, 37.3, 1.5):
        for gap in STEP_GAPS:
            for sign in (1.0, -1.0):
                if gap == 0.0 and sign < 0.0:
                    continue
                t2 = t1 + sign * gap
                if t2 <= 0.0:
                    continue
                w.unit()
                w.call("SylvoGrowTph", t1, 1200.0, 22.5, t2)
                w.call("SylvoGrowBa", t1, 1200.0, 22.5, t2)
                w.call("SylvoGrow", t1, t2, 1200.0, 22.5)
    w.comment("the same gaps as exact differences of integral ages")
    for t1, t2 in ((30.0, 50.0), (20.0, 30.0), (25.0, 25.5), (30.0, 35.0),
                   (35.0, 30.0), (50.0, 30.0), (10.0, 14.0), (14.0, 10.0),
                   (100.0, 110.0), (110.0, 100.0)):
        w.unit()
        w.call("SylvoGrow", t1, t2, 900.0, 18.0)


def growth_domain(w):
    w.comment("projection outside its domain: refused with NaN in both")
    bad = [
        (25.0, 0.0, 20.0, 35.0), (25.0, -0.0, 20.0, 35.0),
        (25.0, -5.0, 20.0, 35.0), (25.0, NAN, 20.0, 35.0),
        (25.0, -INF, 20.0, 35.0),
        (0.0, 1500.0, 20.0, 35.0), (-0.0, 1500.0, 20.0, 35.0),
        (25.0, 1500.0, 20.0, 0.0), (25.0, 1500.0, 20.0, -0.0),
        (0.0, 1500.0, 20.0, 0.0),
        (NAN, 1500.0, 20.0, 35.0), (25.0, 1500.0, 20.0, NAN),
        (INF, 1500.0, 20.0, 35.0), (-INF, 1500.0, 20.0, 35.0),
        (25.0, 1500.0, 20.0, INF), (25.0, 1500.0, 20.0, -INF),
        (1.0, 1500.0, 20.0, 2147483649.0), (2147483649.0, 1500.0, 20.0, 1.0),
        (-1e9, 1500.0, 20.0, 1.2e9), (1e300, 1500.0, 20.0, -1e300),
        (1.0, 1500.0, 20.0, 3e9), (5.0, 1500.0, 20.0, 1e300),
    ]
    for t1, N1, B1, t2 in bad:
        w.unit()
        w.call("SylvoGrowTph", t1, N1, B1, t2)
        w.call("SylvoGrowBa", t1, N1, B1, t2)
        w.call("SylvoGrow", t1, t2, N1, B1)
    w.comment("unusual inputs inside the domain: computed as the equations "
              "give")
    odd = [
        (25.0, 1500.0, NAN, 35.0), (25.0, 1500.0, 0.0, 35.0),
        (25.0, 1500.0, -0.0, 35.0), (25.0, 1500.0, -10.0, 35.0),
        (25.0, 1500.0, INF, 35.0), (25.0, 1500.0, -INF, 35.0),
        (25.0, INF, 20.0, 35.0), (25.0, 1e-300, 20.0, 35.0),
        (25.0, 5e-324, 20.0, 35.0), (25.0, 1e300, 20.0, 35.0),
        (25.0, 1500.0, 1e300, 35.0), (25.0, 1500.0, 5e-324, 35.0),
        (-5.0, 1500.0, 20.0, -3.0), (-3.0, 1500.0, 20.0, 5.0),
        (-1.0, 1500.0, 20.0, 1.0), (-2.0, 1500.0, 20.0, 2.0),
        (5.0, 1500.0, 20.0, -5.0), (-10.0, 1500.0, 20.0, -10.0),
        (5e-324, 1500.0, 20.0, 5e-324), (1e-300, 1500.0, 20.0, 1e-300),
        (5e-324, 1500.0, 20.0, 3.0), (3.0, 1500.0, 20.0, 5e-324),
        (1e-300, 1500.0, 20.0, 1.0), (0.001, 1500.0, 20.0, 2.0),
        (0.5, 1500.0, 20.0, 3.0), (0.1, 5000.0, 1.0, 5.0),
        (1e300, 1500.0, 20.0, 1e300), (1e15, 1500.0, 20.0, 1.0000000000000002e15),
        (25.0, 1500.0, 20.0, 1e-300), (25.0, 1500.0, 20.0, 3e-17),
        (5.0, 40000.0, 60.0, 30.0), (5.0, 100000.0, 5.0, 15.0),
        (150.0, 100.0, 80.0, 300.0), (10.0, 3.0, 0.5, 60.0),
        (40.0, 800.0, 250.0, 45.0), (60.0, 300.0, 1.0, 10.0),
        (3.0, 4999.0, 79.0, 1.0), (150.0, 5000.0, 80.0, 140.0),
    ]
    for t1, N1, B1, t2 in odd:
        w.unit()
        w.call("SylvoGrowTph", t1, N1, B1, t2)
        w.call("SylvoGrowBa", t1, N1, B1, t2)
        w.call("SylvoGrow", t1, t2, N1, B1)


def volumes_ordinary(w, dr, count):
    w.comment("stand and merchantable volume of ordinary stands")
    for i in range(count):
        w.unit()
        H, N, B = dr.height(), dr.tph(), dr.ba()
        w.call("SylvoVolume", H, N, B)
        D = ref.quadratic_mean_diameter(B, N)
        choice = i % 5
        if choice == 0:
            d = 0.0
        elif choice == 1:
            d = round(D * dr.u(0.7, 1.3), 1)
        else:
            d = dr.u(0.0, 60.0, dr.pick((0, 1)))
        w.call("SylvoMerchVol", H, N, B, d)
    w.comment("merchantable volume falling as the diameter limit grows")
    for H, N, B in ((22.0, 800.0, 30.0), (12.0, 3000.0, 25.0),
                    (35.0, 250.0, 45.0)):
        w.unit()
        D = ref.quadratic_mean_diameter(B, N)
        for f in (0.0, 0.1, 0.3, 0.5, 0.7, 0.9, 1.0, 1.1, 1.3, 1.6, 2.0,
                  3.0):
            w.call("SylvoMerchVol", H, N, B, round(D * f, 2))


def volumes_edges(w):
    w.comment("volumes with zero, negative, infinite and NaN inputs")
    triples = [
        (20.0, 1000.0, 0.0), (20.0, 1000.0, -0.0), (20.0, 1000.0, -5.0),
        (20.0, 1000.0, 1e-300), (20.0, 1000.0, NAN), (20.0, 1000.0, INF),
        (20.0, 0.0, 25.0), (20.0, -0.0, 25.0), (20.0, -100.0, 25.0),
        (20.0, NAN, 25.0), (20.0, INF, 25.0), (20.0, 1e-300, 25.0),
        (0.0, 1000.0, 25.0), (-0.0, 1000.0, 25.0), (-5.0, 1000.0, 25.0),
        (NAN, 1000.0, 25.0), (INF, 1000.0, 25.0), (-INF, 1000.0, 25.0),
        (0.0, 0.0, 0.0), (2.0, 3000.0, 30.0), (1.5, 5000.0, 80.0),
        (3.0, 120.0, 70.0), (30.0, 10.0, 20.0), (40.0, 5.0, 2.0),
        (60.0, 100.0, 80.0), (1.0, 100.0, 1.0),
        (20.0, 1273.23954473516, 10.0), (10.0, 1000.0, 12.732395447351601),
    ]
    for H, N, B in triples:
        w.unit()
        w.call("SylvoVolume", H, N, B)
        for d in (0.0, 12.0):
            w.call("SylvoMerchVol", H, N, B, d)
    quads = [
        (20.0, 1000.0, 25.0, -0.0), (20.0, 1000.0, 25.0, -1.0),
        (20.0, 1000.0, 25.0, -1e-300), (20.0, 1000.0, 25.0, NAN),
        (20.0, 1000.0, 25.0, INF), (20.0, 1000.0, 25.0, 1e-300),
        (20.0, 1000.0, 25.0, 5e-324), (20.0, 1000.0, 25.0, 1000.0),
        (20.0, 1000.0, 25.0, 17.841241161527712),
        (0.0, 1000.0, 25.0, 10.0), (-0.0, 1000.0, 25.0, 10.0),
        (-10.0, 1000.0, 25.0, 10.0), (20.0, 0.0, 25.0, 0.0),
        (20.0, -0.0, 25.0, 10.0), (20.0, -50.0, 25.0, 10.0),
        (20.0, 1000.0, -0.0, 10.0), (20.0, 1000.0, -1e-300, 10.0),
        (20.0, NAN, NAN, NAN), (NAN, NAN, NAN, NAN),
        (20.0, 1000.0, 1e-300, 0.001), (20.0, 1e300, 25.0, 10.0),
    ]
    for H, N, B, d in quads:
        w.unit()
        w.call("SylvoMerchVol", H, N, B, d)


def thinning_ordinary(w, dr, count):
    w.comment("thinning response of ordinary stands, both directions")
    for _ in range(count):
        w.unit()
        p = dr.u(1.0, 150.0, dr.pick((0, 1, 2)))
        N1, B1 = dr.tph(), dr.ba()
        N2 = round(N1 * dr.u(0.2, 0.99), dr.pick((0, 1)))
        B2 = round(B1 * dr.u(0.2, 0.99), dr.pick((1, 2, 3)))
        Ba = w.call("SylvoBaAfter", p, N1, B1, N2)
        w.call("SylvoTphAfter", p, N1, B1, B2)
        if dr.chance(0.3):
            # the two are inverse only up to the rounding of cN
            w.call("SylvoTphAfter", p, N1, B1, Ba)
    w.comment("fourth argument equal to and above the value before")
    for p, N1, B1 in ((30.0, 1500.0, 30.0), (1.0, 400.0, 12.5),
                      (120.0, 4800.0, 75.0), (0.02, 800.0, 20.0)):
        w.unit()
        for f in (1.0, 1.01, 1.5, 3.0, 10.0, 100.0, 1e4, 1e8, 1e12):
            w.call("SylvoBaAfter", p, N1, B1, N1 * f)
            w.call("SylvoTphAfter", p, N1, B1, B1 * f)


def thinning_edges(w):
    w.comment("thinning with arguments that are zero, negative, infinite "
              "or NaN, in each position")
    base = [30.0, 1500.0, 30.0, 900.0]
    base_tph = [30.0, 1500.0, 30.0, 20.0]
    for pos in range(4):
        w.unit()
        for v in (0.0, -0.0, -1.0, NAN, INF, -INF, 5e-324, 1e300):
            args = list(base)
            args[pos] = v
            w.call("SylvoBaAfter", *args)
            args = list(base_tph)
            args[pos] = v
            w.call("SylvoTphAfter", *args)
    w.unit()
    w.call("SylvoBaAfter", 0.0, 0.0, 0.0, 0.0)
    w.call("SylvoTphAfter", -1.0, -1.0, -1.0, -1.0)
    w.call("SylvoBaAfter", NAN, NAN, NAN, NAN)
    w.call("SylvoTphAfter", NAN, 0.0, NAN, NAN)


SITE_BOUNDARIES = (1e-06, 9.99e-07, next_down(1e-06), 0.0, -0.0, -1.0,
                   1e-300, 0.5, 1.0, 1.3, next_up(1.3), 1.372,
                   next_down(1.372), next_up(1.372), 2.0, 18.5,
                   next_down(18.5), 80.5, 80.50000000000001, 80.5000001,
                   81.0, 1000.0, NAN, INF, -INF)


def site_range(w):
    w.comment("site index range of the height, age and gain exports, each "
              "followed by a call whose site index set_site may decline")
    for S in SITE_BOUNDARIES:
        w.load()
        w.call("SylvoHeight", 40.0, S, 0.0)
        w.call("SylvoHeight", 40.0, 1.0, 0.0)
        w.call("SylvoAge", 15.0, S, 2.0)
        w.call("SylvoAge", 15.0, 1.0, 0.0)
        w.call("SylvoGain", 15.0, 3.0, S)
        w.call("SylvoGain", 1.0, 0.0, 1e-06)
        w.call("SylvoHeight", 10.0, S, -2.0)
        w.call("SylvoHeight", 10.0, 1.2, 1.0)


def site_bad_arguments(w):
    w.comment("height, age and gain with an age, height or age shift that "
              "is zero, negative, infinite or NaN")
    bad = (0.0, -0.0, -1.0, -1e-300, NAN, INF, -INF)
    for S in (12.0, 35.0):
        w.load()
        for v in bad:
            w.call("SylvoHeight", v, S, 0.0)
            w.call("SylvoHeight", 30.0, S, v)
            w.call("SylvoAge", v, S, 0.0)
            w.call("SylvoAge", 12.0, S, v)
            w.call("SylvoGain", v, 0.0, S)
            w.call("SylvoGain", 12.0, v, S)
            w.call("SylvoHeight", 30.0, 1.0, 0.0)


def site_ordinary(w, dr, count):
    w.comment("heights, ages and gains of ordinary stands")
    for i in range(count):
        w.unit()
        t, S, u = dr.age(), dr.site(), dr.shift()
        H = w.call("SylvoHeight", t, S, u)
        Hq = dr.height() if i % 3 == 0 else round(H, dr.pick((1, 2, 3)))
        w.call("SylvoAge", Hq, S, u)
        w.call("SylvoGain", Hq, u, S)
        if i % 4 == 0:
            w.call("SylvoHeight", round(dr.u(-3.0, 5.0), 2), S, u)


def site_search_ordinary(w, dr, lo, hi, count):
    w.comment("site-index searches of ordinary stands")
    for i in range(count):
        w.unit()
        t, u = dr.age(), dr.shift()
        if i % 3 == 0:
            H = dr.height()
        else:
            S = dr.u(lo, hi, 3)
            H = round(w.scratch().SylvoHeight(t, S, u), dr.pick((2, 3, 4)))
        found = w.call("SylvoSite", H, t, u)
        if i % 2 == 0:
            w.call("SylvoHeight", t, found, u)
        if i % 5 == 0:
            # the stored state is the search's last trial
            w.call("SylvoHeight", t, 1.2, 0.0)
            w.call("SylvoAge", H, 1.0, 7.0)


def site_search_edges(w, dr, lo, hi):
    w.comment("site-index searches ending at either end, with a zero "
              "residual at an end, and just inside the interval")
    for t, u in ((20.0, 0.0), (50.0, 0.0), (100.0, 0.0), (35.0, 4.0),
                 (12.0, -2.5)):
        for S in (lo, hi, lo + 0.5, hi - 0.5, lo + 0.01, hi - 0.01,
                  next_up(lo), next_down(hi)):
            w.unit()
            H = w.call("SylvoHeight", t, S, u)
            w.call("SylvoSite", H, t, u)
            w.call("SylvoHeight", t, 1.0, 0.0)
        w.unit()
        w.call("SylvoSite", 0.5, t, u)
        w.call("SylvoSite", 0.0, t, u)
        w.call("SylvoSite", -0.0, t, u)
        w.call("SylvoSite", -3.0, t, u)
        w.call("SylvoSite", 150.0, t, u)
        w.call("SylvoSite", 1e300, t, u)
        w.call("SylvoHeight", t, 1.0, 1.0)
    w.comment("searches whose residual never changes sign (curve age "
              "below zero), and NaN or infinite arguments")
    for H, t, u in ((6.66, 2.99, -4.78), (10.0, 5.0, -8.0),
                    (-3.0, 5.0, -8.0), (0.0, 5.0, -8.0), (20.0, -5.0, 0.0),
                    (20.0, -1.0000001, 0.0), (0.0, -1.0, 0.0),
                    (1.0, -1.0, 0.0), (20.0, -1.0, 0.0), (0.0, -0.5, -0.5),
                    (NAN, 50.0, 0.0), (20.0, NAN, 0.0), (20.0, 50.0, NAN),
                    (INF, 50.0, 0.0), (-INF, 50.0, 0.0), (20.0, INF, 0.0),
                    (20.0, -INF, 0.0), (20.0, 50.0, INF), (20.0, 50.0, -INF),
                    (20.0, 0.0, 0.0), (1.3, 5.0, 0.0), (0.3, 1.0, 0.0),
                    (20.0, 1e300, 0.0), (5.0, 3.0, 0.0), (1.0, 0.5, 0.0)):
        w.unit()
        w.call("SylvoSite", H, t, u)
        w.call("SylvoHeight", 30.0, 1.0, 0.0)
    w.comment("random searches at young ages and with large shifts")
    for _ in range(60):
        w.unit()
        t = dr.u(-2.0, 8.0, 2)
        u = dr.u(-10.0, 10.0, 1)
        H = dr.u(-1.0, 8.0, 2)
        w.call("SylvoSite", H, t, u)


def state_sequences(w, dr, count):
    w.comment("call sequences from load: declined site indices reuse the "
              "stored site, and a site search leaves its last trial")
    w.load()
    w.call("SylvoHeight", 30.0, 1.0, 0.0)
    w.call("SylvoHeight", -1.0, 1.0, 0.0)
    w.call("SylvoHeight", 0.0, 1.0, 0.0)
    w.call("SylvoHeight", 0.4, 1.3, 0.0)
    w.call("SylvoHeight", 1.0, 1e-06, 0.0)
    w.call("SylvoAge", 1.0, 1.0, 0.0)
    w.call("SylvoAge", 10.0, 1.0, 0.0)
    w.call("SylvoGain", 25.0, 0.0, 1.3)
    w.call("SylvoGain", 0.5, 0.0, 1.3)
    w.load()
    w.call("SylvoHeight", 30.0, 25.0, 3.0)
    w.call("SylvoHeight", 30.0, 1.0, 0.0)
    w.call("SylvoAge", 15.0, 1.3, 0.0)
    w.call("SylvoHeight", 30.0, 81.0, 0.0)
    w.call("SylvoHeight", 30.0, 1.0, 0.0)
    w.call("SylvoGain", 15.0, 7.0, 12.0)
    w.call("SylvoHeight", 30.0, 1e-06, 0.0)
    w.call("SylvoAge", 15.0, 0.0, 0.0)
    w.call("SylvoGain", 15.0, 0.0, 1.2)
    w.call("SylvoSite", 18.0, 40.0, 2.0)
    w.call("SylvoHeight", 40.0, 1.0, 0.0)
    w.call("SylvoAge", 18.0, 1.0, 0.0)
    w.call("SylvoSite", 0.5, 40.0, -1.0)
    w.call("SylvoHeight", 40.0, 1.0, 0.0)
    w.call("SylvoSite", 200.0, 40.0, 3.0)
    w.call("SylvoGain", 30.0, 0.0, 1.0)
    w.call("SylvoSite", NAN, 40.0, 3.0)
    w.call("SylvoHeight", 40.0, 1.0, 0.0)
    w.load()
    w.call("SylvoSite", 22.0, 60.0, 0.0)
    w.call("SylvoHeight", 60.0, 1.1, 0.0)
    w.call("SylvoHeight", 60.0, 1.3, 5.0)
    w.call("SylvoSite", 6.66, 2.99, -4.78)
    w.call("SylvoHeight", 60.0, 1.1, 0.0)
    w.call("SylvoAge", 10.0, 0.9, 0.0)
    w.comment("random call sequences mixing accepted and declined site "
              "indices")
    declined = (1e-06, 0.01, 0.5, 1.0, 1.2, 1.3, 0.0, 81.0, NAN)
    for _ in range(count):
        w.load()
        for _ in range(int(dr.u(8, 16))):
            kind = dr.pick(("h", "h", "a", "g", "s"))
            S = dr.pick(declined) if dr.chance(0.5) else dr.site()
            u = dr.shift()
            if kind == "h":
                w.call("SylvoHeight", dr.age(), S, u)
            elif kind == "a":
                w.call("SylvoAge", dr.height(), S, u)
            elif kind == "g":
                w.call("SylvoGain", dr.height(), u, S)
            else:
                w.call("SylvoSite", dr.height(), dr.age(), u)


# ---------------------------------------------------------------------------
# branches of each site curve
# ---------------------------------------------------------------------------

def model_a_curve(w, dr):
    w.comment("Model A: branches of the site curve on low and high sites")
    sites = ((1.31, (0.0,)), (2.0, (0.0, 2.5)), (5.0, (0.0,)),
             (10.0, (0.0, -1.0)), (15.0, (0.0,)), (next_down(18.5), (0.0,)),
             (18.5, (0.0, 2.5)), (20.0, (0.0,)), (30.0, (0.0, -1.0)),
             (45.0, (0.0,)), (60.0, (0.0, 2.5)), (80.0, (0.0,)),
             (80.5, (0.0,)))
    for S, shifts in sites:
        for u in shifts:
            lib = w.scratch()
            lib.set_site(S, u)
            K = lib.breast_height_age
            limit = 1.3 + (S - 1.3) * lib.curve_factor(50.0)
            w.load()
            for a in (-2.0, next_down(-1.0 - u), -1.0 - u, -0.5, 0.0, 1.0,
                      K - 1.0 - u, next_down(K - 1.0 - u),
                      next_up(K - 1.0 - u), K - 1.5 - u,
                      K - 1.5 - u - 1e-07, K - 1.5 - u + 1e-07, K - 0.5 - u,
                      K + 0.5 - u, K + 0.5 - u - 1e-07, K + 0.5 - u + 1e-07,
                      K + 48.5 - u, 150.0, 1e6, INF, NAN):
                w.call("SylvoHeight", a, S, u)
            h0 = lib.dominant_height(K - 1.5 - u)
            h2 = lib.dominant_height(K + 0.5 - u)
            heights = [0.0, -0.0, -1.0, 0.5, 1.3, next_up(1.3),
                       next_down(1.3), 1.3000001, 1.35, 2.0, S,
                       h0, next_down(h0), next_up(h0), h2, 0.5 * (h0 + h2),
                       0.01 * h0, 0.3 * h0, 0.9 * h0, 0.999 * h0,
                       limit, next_down(limit), next_up(limit), limit * 1.01,
                       100.0, INF, NAN]
            w.load()
            for H in heights:
                w.call("SylvoAge", H, S, u)
            w.call("SylvoGain", 0.5 * (h0 + h2), u, S)
            w.call("SylvoGain", 0.4 * h0, u, S)
    w.comment("Model A: heights on every branch and back to the age")
    for _ in range(120):
        w.unit()
        S = dr.u(1.31, 80.5, 3)
        u = dr.pick((0.0, 0.0, dr.shift()))
        lib = w.scratch()
        lib.set_site(S, u)
        K = lib.breast_height_age
        a = dr.pick((dr.u(-1.0 - u, K - 1.5 - u),
                     dr.u(K - 1.5 - u, K + 0.5 - u),
                     dr.u(K + 0.5 - u, K + 10.0),
                     dr.u(-1.0, 150.0)))
        H = w.call("SylvoHeight", a, S, u)
        w.call("SylvoAge", H, S, u)
    w.comment("Model A: searches across the low/high site threshold")
    for t in (15.0, 30.0, 60.0):
        lib = w.scratch()
        lo_h = lib.SylvoHeight(t, next_down(18.5), 0.0)
        hi_h = lib.SylvoHeight(t, 18.5, 0.0)
        w.unit()
        for H in (lo_h, hi_h, 0.5 * (lo_h + hi_h)):
            w.call("SylvoSite", H, t, 0.0)
            w.call("SylvoHeight", t, 1.0, 0.0)


def model_b_curve(w, dr):
    w.comment("Model B: both pieces of the site curve, the join at breast "
              "height, the index age and the upper limit")
    for S, shifts in ((1.31, (0.0,)), (2.0, (0.0, 5.0)), (5.0, (0.0,)),
                      (12.0, (0.0,)), (18.0, (0.0, -1.5)), (25.0, (0.0,)),
                      (40.0, (0.0, 5.0)), (60.0, (0.0,)), (80.0, (0.0,)),
                      (80.5, (0.0,))):
        for u in shifts:
            lib = w.scratch()
            lib.set_site(S, u)
            K = lib.breast_height_age
            hmax = 1.3 + (S - 1.3) * lib.curve_factor(50.0)
            w.load()
            for a in (-2.0, -1.5 - u, next_down(-1.0 - u), -1.0 - u, -0.5,
                      0.0, 3.0, K - 1.0 - u, next_down(K - 1.0 - u),
                      next_up(K - 1.0 - u), K - 1.0 + 50.0 - u, 150.0, 1e6,
                      INF, NAN):
                w.call("SylvoHeight", a, S, u)
            w.load()
            for H in (0.0, -0.0, -1.0, 1e-300, 0.5, 1.3, next_up(1.3),
                      next_down(1.3), 1.35, 5.0, S, hmax, next_down(hmax),
                      next_up(hmax), hmax * 1.01, 100.0, INF, NAN):
                w.call("SylvoAge", H, S, u)
            w.call("SylvoGain", 0.8, u, S)
    w.comment("Model B: load-time state (K still 0) through declined "
              "site indices")
    w.load()
    for a in (-1.0, -1.5, -0.5, 0.0, 5.0, 50.0):
        w.call("SylvoHeight", a, 1.0, 0.0)
    for H in (0.0, 0.5, 1.3, 10.0, 18.0, 1000.0):
        w.call("SylvoAge", H, 1.0, 0.0)
    w.load()
    w.call("SylvoHeight", -1.0, 1.3, 0.0)
    w.call("SylvoGain", 1.0, 0.0, 1e-06)
    w.comment("Model B: heights back to the age")
    for _ in range(100):
        w.unit()
        S = dr.u(1.31, 80.5, 3)
        u = dr.pick((0.0, 0.0, dr.shift()))
        a = dr.u(-1.0 - u, 120.0, 2)
        H = w.call("SylvoHeight", a, S, u)
        w.call("SylvoAge", H, S, u)


def model_c_curve(w, dr):
    w.comment("Model C: site curve at breast height, at the index age, at "
              "curve time 0, at the asymptote, and at k = 0 (S = 1.372)")
    for S in (1e-06, 0.01, 0.5, 1.0, next_down(1.372), 1.372,
              next_up(1.372), 1.38, 2.0, 10.0, 30.0, 50.0, 80.0, 80.5):
        for u in ((0.0, 2.0) if S in (0.5, 1.372, 10.0, 30.0, 80.5)
                  else (0.0,)) + ((-0.5,) if S in (1.0, 50.0) else ()):
            lib = w.scratch()
            lib.set_site(S, u)
            wt = 13.25 - S / 6.096
            asym = S * ref.cexp(-lib.curve_rate * lib.reference_term)
            w.load()
            for a in (-2.0, -1.5 - u, next_down(-1.0 - u), -1.0 - u,
                      next_up(-1.0 - u), -0.5, 0.0, wt - 1.0 - u,
                      wt + 49.0 - u, 150.0, 1e6, INF, NAN):
                w.call("SylvoHeight", a, S, u)
            w.load()
            for H in (0.0, -0.0, -1.0, 5e-324, 0.5, 1.372, S, 1.3, 20.0,
                      asym, next_down(asym), next_up(asym), asym * 1.01,
                      INF, NAN):
                w.call("SylvoAge", H, S, u)
            w.call("SylvoGain", 1.372, u, S)
    w.comment("Model C: heights back to the age")
    for _ in range(120):
        w.unit()
        S = dr.u(1e-06, 80.5, 3) if dr.chance(0.8) else dr.u(0.0, 2.0, 4)
        u = dr.pick((0.0, 0.0, dr.shift()))
        a = dr.u(-1.0 - u, 120.0, 2)
        H = w.call("SylvoHeight", a, S, u)
        w.call("SylvoAge", H, S, u)


# ---------------------------------------------------------------------------

def build(name):
    dr = Draws(SEEDS[name])
    w = CaseWriter(name)
    lo, hi = w.cls.search_lo, w.cls.search_hi
    w.lines += [
        "# %s: expected results of every export of the %s library" % (
            name, name),
        "# written by tests/reference/make_cases.py",
        "# command: /usr/bin/python3 tests/reference/make_cases.py",
        "# results are IEEE-754 bit patterns from the plain-double "
        "reference (tests/reference/sylvo_reference.py)",
        "# a NaN result is written as 0x%016x whatever its sign and "
        "payload" % CANONICAL_NAN,
        "# line: <Export> <args...> => <result> [<result>]; @load starts "
        "a freshly loaded library",
    ]
    version_and_entry(w)
    growth_step_counts(w)
    growth_domain(w)
    growth_ordinary(w, dr, 250)
    growth_round_trips(w, dr, 30)
    volumes_edges(w)
    volumes_ordinary(w, dr, 160)
    thinning_edges(w)
    thinning_ordinary(w, dr, 130)
    site_range(w)
    site_bad_arguments(w)
    if name == "sylvoa":
        model_a_curve(w, dr)
    elif name == "sylvob":
        model_b_curve(w, dr)
    else:
        model_c_curve(w, dr)
    site_ordinary(w, dr, 130)
    site_search_edges(w, dr, lo, hi)
    site_search_ordinary(w, dr, lo, hi, 130)
    state_sequences(w, dr, 20)
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
        path = os.path.join(CASES_DIR, name + ".cases")
        text = "\n".join(w.lines) + "\n"
        shown = os.path.relpath(path, os.path.dirname(os.path.dirname(HERE)))
        if check:
            with open(path, encoding="ascii", newline="") as f:
                current = f.read()
            if current != text:
                stale += 1
                print("%s differs from what the reference gives now; "
                      "regenerate it with make_cases.py" % shown)
            else:
                print("%s: %d calls, as the reference gives them" % (shown, w.calls))
            continue
        with open(path, "w", encoding="ascii", newline="\n") as f:
            f.write(text)
        print("%s: %d lines, %d calls, %d bytes"
              % (shown, len(w.lines), w.calls, len(text)))
    if stale:
        sys.exit(1)


if __name__ == "__main__":
    main()
