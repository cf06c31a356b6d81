#!/usr/bin/env python3
"""Reads the built Linux binaries' headers for their hardening: full RELRO
with immediate binding, a non-executable stack, stack protection, and, for
the sylvo executable, position independence and fortified library calls.

    check_hardening.py FILE [FILE ...]

Exit status 0 when every file has all of them, 1 otherwise (each missing
property is named)."""
import subprocess
import sys


def readelf(*args):
    return subprocess.run(["readelf", "-W", *args], stdout=subprocess.PIPE, text=True, check=True).stdout


def problems_of(path):
    problems = []
    segments = readelf("-l", path)
    dynamic = readelf("-d", path)
    header = readelf("-h", path)
    symbols = subprocess.run(["nm", "-D", path], stdout=subprocess.PIPE, text=True, check=True).stdout
    if "GNU_RELRO" not in segments:
        problems.append("no RELRO segment")
    if "BIND_NOW" not in dynamic and "NOW" not in dynamic.split("FLAGS_1")[-1]:
        problems.append("no immediate binding (BIND_NOW)")
    stack = [line for line in segments.splitlines() if "GNU_STACK" in line]
    if not stack:
        problems.append("no GNU_STACK segment (the stack would be executable)")
    elif "E" in stack[0].split()[-2]:
        problems.append("an executable stack")
    if "__stack_chk_fail" not in symbols:
        problems.append("no stack protection (__stack_chk_fail is not referenced)")
    if not path.endswith(".so") and ".so." not in path:
        if "DYN" not in header or "PIE" not in dynamic:
            problems.append("not a position-independent executable")
        if "_chk" not in symbols.replace("__stack_chk_fail", ""):
            problems.append("no fortified library calls (no __*_chk symbol)")
    return problems


def main():
    failed = 0
    for path in sys.argv[1:]:
        problems = problems_of(path)
        print(f"{path}: " + ("hardened" if not problems else "; ".join(problems)))
        failed += bool(problems)
    print(f"{len(sys.argv) - 1 - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
