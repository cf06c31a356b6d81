#!/usr/bin/python3
"""The numpy peer of the engine benchmark: the growth projection of Models A,
B and C written as a Python user would write it, vectorised over stands in
chunks with numpy's exp, log and power.

One function, grow(model, t1, t2, trees, ba), takes arrays of stands with
ages of their own: each stand's step count and step length come from its two
ages, every step is taken for all stands of the chunk at once (a stand with
fewer steps stops changing), and the terms that depend on age are computed
per stand. Where all stands share their ages (the standard job) the ages are
passed as two numbers, which numpy broadcasts: the terms of age are then
computed once per stage for all stands. The equations and the fourth-order Runge-Kutta step are those of
models/<m>/dynamics.cpp and frame/rk4.h (the coefficients below are copied
from models/<m>/model.h).

    numpy_peer.py time --stands N         stands/s for each model and job (JSON lines)
    numpy_peer.py check --engine LIB      relative difference to the engine's exact mode

Run it with /usr/bin/python3 (Debian's numpy).
"""
import argparse
import ctypes
import json
import sys
import time

import numpy as np

CHUNK = 100_000

A = dict(a0=0.218354, a1=1.89103, a2=0.981829, a3=4.04133, a4=2.74241, a9=2.0, a10=-0.0419732, a11=0.299358,
         a12=7.04846, a13=-1.32402, a14=3.98308, a15=0.380682, a16=0.209944, a18=-3.02457, a19=0.853004,
         a20=6.99235, a21=2.02571, a22=-0.410308, a23=0.585544, a24=-0.0729664, a25=6.92322, a26=-1.93909,
         a27=0.0, tph_density_scale=0.001)
B = dict(b0=0.0478198, b1=0.639635, b2=4.15826, b3=4.70504, b4=6.69127, b5=0.382059, b6=0.974894, b7=1.51159,
         b8=1.3865, b9=1.23475, b10=0.488919, b11=2.4543, b12=0.135531, b13=1.38175, b14=1.40002, b15=1.10764,
         b16=0.999185)
C = dict(c0=0.226788, c1=1.99265, c2=0.70132, c3=4.26397, c4=2.41424, c5=-0.14782, c6=0.838876, c7=0.89648,
         c8=0.193436, c9=0.689223, c10=0.566735, c11=-0.577931, c12=0.532844, c13=-0.0425355, c14=0.121589,
         c15=-0.166314, c16=0.766793, c17=-0.874513, c18=0.0251072, c19=-0.223694, c20=0.23186, c21=-0.355166,
         c22=0.0594313, c23=-0.0191612, c24=0.0486283, c25=-0.0669217, c26=0.126619, c27=-0.0215096)


def slopes_a(tau, x0, x1):
    a = A
    decay = np.exp(-a["a1"] * tau)
    onset = 1 - np.exp(-a["a20"] * np.power(tau, a["a21"]))
    coupling_power = np.power(tau, a["a16"])
    e2 = np.exp(a["a3"] * ((a["a2"] * tau + x0) - a["a4"]))
    dx0 = -a["a0"] * decay - a["a2"] * e2
    d = x1 / tau + (a["tph_density_scale"] * a["a9"]) * np.exp(x0)
    q = ((((a["a23"] * tau + a["a18"]) * tau + a["a14"]) * tau + 1) + a["a19"] * x0 + a["a22"] * x0 * tau
         + a["a24"] * (x0 * x0) + a["a25"] * d + a["a26"] * d * tau + a["a27"] * d * x0)
    r = (a["a11"] * tau + a["a10"]) + a["a12"] * d + a["a13"] * tau * d
    dx1 = (d * tau * onset) * q / r + a["a15"] * x1 * coupling_power * dx0
    return dx0, dx1


def slopes_b(tau, x0, x1):
    b = B
    p5, p7, p11 = np.power(tau, b["b5"]), np.power(tau, b["b7"]), np.power(tau, b["b11"])
    p13, p16 = np.power(tau, b["b13"]), np.power(tau, b["b16"])
    e1 = np.exp(x0 - b["b1"] * tau)
    e2 = np.exp(b["b3"] * ((b["b2"] * p5 + x0) - b["b4"]))
    dx0 = -b["b0"] * e1 - b["b2"] * e2
    f = np.exp(b["b6"] * x0)
    s = 1 - np.exp(-b["b9"] * np.exp(b["b10"] * x0) * p11)
    r = 1 + b["b14"] * np.exp(b["b15"] * x0) * p16
    g = b["b8"] * f * p7 * s / r
    dx1 = g + b["b12"] * x1 * p13 * dx0
    return dx0, dx1


def slopes_c(tau, x0, x1):
    c = C
    decay = np.exp(-c["c1"] * tau)
    coupling_power = np.power(tau, c["c9"])
    e2 = np.exp(c["c3"] * (c["c2"] * tau + x0 - c["c4"]))
    d0 = -c["c0"] * decay - c["c2"] * e2
    p0 = (1 + c["c10"] * x0 + c["c11"] * x1 + c["c12"] * tau + c["c13"] * (x0 * x0) + c["c14"] * (x1 * x1)
          + c["c15"] * (tau * tau) + c["c16"] * x0 * x1 + c["c17"] * x0 * tau + c["c18"] * x1 * tau)
    dx0 = p0 * d0
    e3 = np.exp(-c["c7"] * np.exp(x0) * (tau * tau))
    d1 = (c["c5"] + c["c6"] * tau) * (1 - e3) + c["c8"] * x1 * coupling_power * dx0
    p1 = (1 + c["c19"] * x0 + c["c20"] * x1 + c["c21"] * tau + c["c22"] * (x0 * x0) + c["c23"] * (x1 * x1)
          + c["c24"] * (tau * tau) + c["c25"] * x0 * x1 + c["c26"] * x0 * tau + c["c27"] * x1 * tau)
    dx1 = p1 * d1
    return dx0, dx1


SLOPES = {"a": slopes_a, "b": slopes_b, "c": slopes_c}


def step_counts(model, d):
    if model == "c":  # four-year blocks
        return np.abs(d).astype(np.int32) // 4 + 1
    return np.ceil(np.abs(d) - 1e-06).astype(np.int64)  # whole years


def grow_chunk(model, t1, t2, trees, ba):
    f = SLOPES[model]
    d = t2 - t1
    steps = step_counts(model, d)
    h = np.where(steps > 0, (0.1 * d) / np.maximum(steps, 1), 0.0)
    hh = h / 2.0
    tau = 0.1 * t1
    x0 = np.log(0.001 * trees)
    x1 = 0.01 * ba * tau
    for i in range(int(steps.max(initial=0))):
        active = i < steps
        k1 = f(tau, x0, x1)
        k2 = f(tau + hh, k1[0] * hh + x0, k1[1] * hh + x1)
        k3 = f(tau + hh, k2[0] * hh + x0, k2[1] * hh + x1)
        k4 = f(tau + h, k3[0] * h + x0, k3[1] * h + x1)
        x0 = np.where(active, (h / 6.0) * ((2.0 * (k2[0] + k3[0]) + k1[0]) + k4[0]) + x0, x0)
        x1 = np.where(active, (h / 6.0) * ((2.0 * (k2[1] + k3[1]) + k1[1]) + k4[1]) + x1, x1)
        tau = np.where(active, h + tau, tau)
    return 1000.0 * np.exp(x0), (100.0 * x1) / tau


def grow(model, t1, t2, trees, ba):
    """Trees and basal area at t2 of stands at t1 (every stand projectable); the ages are arrays, or numbers
    that every stand shares."""
    def part(a, s):
        return a[s] if np.ndim(a) else a

    out_n = np.empty_like(trees)
    out_b = np.empty_like(ba)
    with np.errstate(all="ignore"):
        for start in range(0, len(trees), CHUNK):
            s = slice(start, start + CHUNK)
            out_n[s], out_b[s] = grow_chunk(model, part(t1, s), part(t2, s), trees[s], ba[s])
    return out_n, out_b


def peer_ages(job, t1, t2):
    """The ages as the peer is given them: two numbers for the standard job."""
    return (10.0, 40.0) if job == "standard" else (t1, t2)


def make_job(job, count, seed):
    rng = np.random.default_rng(seed)
    if job == "standard":
        t1 = np.full(count, 10.0)
        t2 = np.full(count, 40.0)
    else:
        t1 = rng.integers(5, 61, count).astype(np.float64)
        t2 = t1 + rng.integers(1, 51, count)
    return t1, t2, rng.uniform(200.0, 3000.0, count), rng.uniform(5.0, 50.0, count)


def time_jobs(count, repeats):
    for model in "abc":
        for job in ("standard", "inventory"):
            t1, t2, n, b = make_job(job, count, 7)
            a1, a2 = peer_ages(job, t1, t2)
            best = float("inf")
            for _ in range(repeats):
                start = time.perf_counter()
                grow(model, a1, a2, n, b)
                best = min(best, time.perf_counter() - start)
            print(json.dumps({"model": model, "job": job, "stands": count, "seconds": best,
                              "stands_per_s": count / best}), flush=True)


def check(engine_path, count):
    """The peer against the engine's exact mode: the share of results that agree (within 1e-12, or both
    not a number: past the ages the models were fitted for many projections blow up in both)."""
    lib = ctypes.CDLL(engine_path)
    p = ctypes.POINTER(ctypes.c_double)
    lib.sylvo_grow_batch.argtypes = [ctypes.c_int, ctypes.c_size_t, p, p, p, p, p, p, ctypes.c_void_p]
    ok = True
    for m, model in enumerate("abc"):
        for job in ("standard", "inventory"):
            t1, t2, n, b = make_job(job, count, 11)
            pn, pb = grow(model, *peer_ages(job, t1, t2), n, b)
            en, eb = np.empty(count), np.empty(count)
            ptr = lambda a: a.ctypes.data_as(p)
            rc = lib.sylvo_grow_batch(m, count, ptr(t1), ptr(t2), ptr(n), ptr(b), ptr(en), ptr(eb), None)
            peer, engine = np.concatenate([pn, pb]), np.concatenate([en, eb])
            with np.errstate(all="ignore"):
                agree = (np.abs(peer - engine) <= 1e-12 * np.abs(engine)) | (np.isnan(peer) & np.isnan(engine))
            within = float(np.mean(agree))
            print(json.dumps({"model": model, "job": job, "rc": rc, "share_agreeing": within}), flush=True)
            ok = ok and rc == 0 and (job != "standard" or within == 1.0)
    return ok


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    t = sub.add_parser("time")
    t.add_argument("--stands", type=int, default=200_000)
    t.add_argument("--repeats", type=int, default=2)
    c = sub.add_parser("check")
    c.add_argument("--engine", required=True)
    c.add_argument("--stands", type=int, default=20_000)
    args = parser.parse_args()
    if args.command == "time":
        time_jobs(args.stands, args.repeats)
        return 0
    return 0 if check(args.engine, args.stands) else 1


if __name__ == "__main__":
    sys.exit(main())
