"""Calling the 64-bit Sylvo DLLs from 64-bit Python on Windows with ctypes.

    py -3 sylvo_ctypes.py C:\\Sylvo\\x64

(the folder of sylvoa.dll, sylvob.dll, sylvoc.dll). A 64-bit Python needs the
x64 folder; a 32-bit Python the x86 one (there LibMain is __stdcall: load it
through ctypes.WinDLL, the twelve model exports through ctypes.CDLL).
"""
import ctypes
import os
import sys

folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
D = ctypes.c_double


def load(model):
    lib = ctypes.CDLL(os.path.join(folder, f"sylvo{model}.dll"))
    lib.SylvoVersion.restype = D
    lib.SylvoVersion.argtypes = []
    for name in ("SylvoGrowTph", "SylvoGrowBa", "SylvoMerchVol", "SylvoBaAfter", "SylvoTphAfter"):
        getattr(lib, name).restype = D
        getattr(lib, name).argtypes = [D, D, D, D]
    for name in ("SylvoVolume", "SylvoSite", "SylvoHeight", "SylvoAge", "SylvoGain"):
        getattr(lib, name).restype = D
        getattr(lib, name).argtypes = [D, D, D]
    lib.SylvoGrow.restype = None
    lib.SylvoGrow.argtypes = [D, D, ctypes.POINTER(D), ctypes.POINTER(D)]
    lib.LibMain.restype = ctypes.c_int32
    lib.LibMain.argtypes = [ctypes.c_void_p, ctypes.c_uint32, ctypes.c_void_p]
    return lib


for model in "abc":
    lib = load(model)
    n, b = D(1800), D(6)
    lib.SylvoGrow(10, 40, ctypes.byref(n), ctypes.byref(b))
    print(f"sylvo{model} {lib.SylvoVersion():g}: height(40, site 24) {lib.SylvoHeight(40, 24, 0):.6f} m, "
          f"grown to 40: {n.value:.3f} trees/ha, {b.value:.4f} m2/ha")
