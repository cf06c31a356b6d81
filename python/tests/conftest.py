"""Shared fixtures: the checkout, the three model libraries (loaded with
ctypes) and the sylvo command-line tool the package is compared with.

They are looked for in $SYLVO_BUILD_DIR, build-py/ and build/; when none
has them they are built in build-py/ (configured by pip's build of the
package).
"""
import ctypes
import os
import subprocess
from pathlib import Path

import matplotlib
import numpy as np
import pytest

matplotlib.use("Agg")

ROOT = Path(__file__).resolve().parents[2]
TARGETS = ("sylvoa", "sylvob", "sylvoc", "sylvo")


def _complete(build):
    return all((build / "lib" / f"libsylvo{m}.so").is_file() for m in "abc") and (build / "bin" / "sylvo").is_file()


def _build_dir():
    candidates = [Path(os.environ["SYLVO_BUILD_DIR"])] if os.environ.get("SYLVO_BUILD_DIR") else []
    candidates += [ROOT / "build-py", ROOT / "build"]
    for build in candidates:
        if _complete(build):
            return build
    build = ROOT / "build-py"
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                    "-DSYLVO_BUILD_TESTS=OFF", "-DSYLVO_BUILD_BENCH=OFF", "-DSYLVO_BUILD_EXAMPLES=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(build), "-j2", "--target", *TARGETS], check=True,
                   stdout=subprocess.DEVNULL)
    return build


@pytest.fixture(scope="session")
def build_dir():
    return _build_dir()


@pytest.fixture(scope="session")
def cli(build_dir):
    """Runs build/bin/sylvo with ARGS; returns the CompletedProcess."""
    exe = str(build_dir / "bin" / "sylvo")

    def run(*args, check=True, input=None):
        r = subprocess.run([exe, *map(str, args)], capture_output=True, text=True, input=input)
        if check and r.returncode not in (0, 3):
            raise AssertionError(f"sylvo {' '.join(map(str, args))} exited {r.returncode}: {r.stderr}")
        return r
    return run


class Exports:
    """The thirteen exports of one model's library, through ctypes."""

    def __init__(self, path):
        self.lib = ctypes.CDLL(str(path), mode=ctypes.RTLD_LOCAL)
        d = ctypes.c_double
        for name, n in (("SylvoHeight", 3), ("SylvoSite", 3), ("SylvoAge", 3), ("SylvoGain", 3),
                        ("SylvoVolume", 3), ("SylvoMerchVol", 4), ("SylvoBaAfter", 4), ("SylvoTphAfter", 4),
                        ("SylvoGrowTph", 4), ("SylvoGrowBa", 4)):
            f = getattr(self.lib, name)
            f.restype = d
            f.argtypes = [d] * n
            setattr(self, name, f)
        self.SylvoGrow = self.lib.SylvoGrow
        self.SylvoGrow.restype = None
        self.SylvoGrow.argtypes = [d, d, ctypes.POINTER(d), ctypes.POINTER(d)]
        self.SylvoVersion = self.lib.SylvoVersion
        self.SylvoVersion.restype = d

    def grow(self, t1, t2, n, b):
        nn, bb = ctypes.c_double(n), ctypes.c_double(b)
        self.SylvoGrow(t1, t2, ctypes.byref(nn), ctypes.byref(bb))
        return nn.value, bb.value


@pytest.fixture(scope="session")
def exports(build_dir):
    return {m: Exports(build_dir / "lib" / f"libsylvo{m}.so") for m in "abc"}


def bits(x):
    """The 64-bit patterns of float64 values (NaNs of every payload compared as they are)."""
    return np.ascontiguousarray(x, dtype=np.float64).view(np.uint64)


def assert_bits_equal(actual, expected, what):
    a, e = bits(actual).ravel(), bits(expected).ravel()
    assert a.shape == e.shape, f"{what}: shapes {a.shape} and {e.shape}"
    bad = np.flatnonzero(a != e)
    assert bad.size == 0, (f"{what}: {bad.size} of {a.size} differ; first at {bad[0]}: "
                           f"{np.ravel(actual)[bad[0]]!r} != {np.ravel(expected)[bad[0]]!r}")
