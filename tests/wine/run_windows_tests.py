#!/usr/bin/python3
"""The 32-bit Windows DLLs against the Linux libraries.

Cross-builds sylvoa.dll, sylvob.dll and sylvoc.dll with mingw-w64 (a build
tree of its own, configured with cmake/toolchain-mingw-i686.cmake), runs the
Windows host tests/wine/win_host.cpp on each under 32-bit Wine with the case
file of its model, runs sylvo_case_printer on the Linux library with the same
file, and compares the two, result by result:

- LibMain and SylvoVersion must give identical results;
- so must every call where either side gives a NaN (any NaN matches any
  NaN), an infinity, a zero, the missing value -999 or a value with a short
  significand (an exact result, such as an unchanged argument);
- any other pair may differ by at most BOUND units in the last place: the
  DLLs round each operation to a 64-bit significand before rounding to
  double (sylvoa, sylvob) and use other exp, log and pow code than the
  Linux C library;
- the last two rules give way only where the case is ill-conditioned, as
  the Linux library itself shows: its results for the same call with one
  argument moved by one unit in the last place (replaying the calls since
  the last @load, so the stored site is the same) include the Windows
  result, or, both results being ordinary, spread at least a quarter as far
  (in units in the last place) as the Windows result lies from its own. The
  DLL then differs no more than the problem's sensitivity to the rounding
  of its arguments explains.

Before they run, the DLLs are checked as files: their export tables, and
their model code for x87 intermediate results used before being rounded to
double (x87_rounding.py).

Exit status 0 when every result agrees, 1 otherwise, and 77 (a skipped
test) when the cross compiler is missing, or 32-bit Wine is missing or
cannot run here (then after the checks as files).
"""
import argparse
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import time

SKIP = 77
# Units in the last place two ordinary results may differ by. Rounding each
# operation to 64 bits and then to double (sylvoa, sylvob) or using other
# exp, log and pow code (all three) moved well-conditioned results by at most
# 4 ulp in the case files (a thinning result of sylvoa that itself moves 4 ulp
# when one argument moves one ulp); everything farther off was
# ill-conditioned in the sense below.
BOUND = 4
# Beyond BOUND a difference may be this many times the largest distance the
# Linux result moves when one argument moves one ulp: rounding differs at
# every step of a computation, not only once at its arguments.
SENSITIVITY_SHARE = 4
MODELS = {"a": "extended", "b": "extended", "c": "host"}
EXACT_LOW_BITS = 21  # a significand whose low 21 bits are zero counts as exact
MISSING = 0xC08F380000000000  # -999.0


def log(text=""):
    print(text, flush=True)


def double_of(bits):
    return struct.unpack("<d", struct.pack("<Q", bits))[0]


def ulps(a, b):
    """Units in the last place between two non-NaN doubles given as bits."""
    def ordered(u):
        return -(u & 0x7FFFFFFFFFFFFFFF) if u >> 63 else u
    return abs(ordered(a) - ordered(b))


def special(bits):
    """A NaN, infinity, zero, the missing value or an exact result."""
    x = double_of(bits)
    if math.isnan(x) or math.isinf(x) or x == 0.0 or bits == MISSING:
        return True
    return bits & ((1 << EXACT_LOW_BITS) - 1) == 0


def same(a, b):
    x, y = double_of(a), double_of(b)
    return a == b or (math.isnan(x) and math.isnan(y))


def tool_or_none(*names):
    for name in names:
        path = shutil.which(name)
        if path:
            return path
    return None


def run(cmd, env=None, what=None):
    result = subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        log(result.stdout[-4000:])
        log(result.stderr[-4000:])
        raise SystemExit(f"{what or cmd[0]} failed with status {result.returncode}")
    return result


def parse_results(text):
    """'<line> <export> => <bits> [<bits>]' lines, keyed by case line number."""
    results = {}
    for line in text.replace("\r", "").splitlines():
        words = line.split()
        if len(words) < 4 or words[2] != "=>":
            raise SystemExit(f"unexpected output line: {line!r}")
        results[int(words[0])] = (words[1], [int(w, 16) for w in words[3:]])
    return results


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class CaseFile:
    """The lines of a case file, with where each call's stored-site history starts."""

    def __init__(self, path):
        self.path = path
        with open(path) as f:
            self.lines = [t.rstrip("\r\n") for t in f]

    def call(self, number):
        words = self.lines[number - 1].split()
        return words[0], words[1:words.index("=>")]

    def history(self, number):
        """The calls since the last @load before line `number`."""
        calls = []
        for n in range(number - 1, 0, -1):
            text = self.lines[n - 1]
            if text == "@load":
                break
            if text and not text.startswith("#"):
                calls.append(text)
        return list(reversed(calls))


def neighbours(args):
    """Each argument moved by one unit in the last place, down and up."""
    out = []
    for i, text in enumerate(args):
        x = float(text)
        for direction in (-math.inf, math.inf):
            y = math.nextafter(x, direction)
            if y != x and not (math.isnan(x)):
                moved = list(args)
                moved[i] = repr(y)
                out.append(moved)
    return out


def linux_neighbour_results(printer, library, cases, numbers, work):
    """Linux results of each listed call with one argument moved one ulp."""
    blocks = []
    index = []   # (case line, line of its moved call in the new file)
    for number in numbers:
        name, args = cases.call(number)
        for moved in neighbours(args):
            blocks.append("@load")
            blocks.extend(cases.history(number))
            blocks.append(f"{name} {' '.join(moved)} => 0")
            index.append((number, len(blocks)))
    path = os.path.join(work, os.path.basename(cases.path) + ".neighbours")
    with open(path, "w") as f:
        f.write("\n".join(blocks) + "\n")
    out = parse_results(run([printer, library, path], what="sylvo_case_printer").stdout)
    found = {}
    for number, line in index:
        found.setdefault(number, []).append(out[line][1])
    return found


def compare(model, linux, windows, cases, printer, library, work):
    """Returns (failures, summary dict) for one model."""
    failures = []
    if sorted(linux) != sorted(windows):
        failures.append(f"the two runs printed different case lines ({len(linux)} against {len(windows)})")
        return failures, {}
    counts = {"results": 0, "identical": 0, "rounding": 0, "ill-conditioned": 0}
    largest_rounding = (0, None)
    largest = (0, None)
    pending = []   # (line, position, linux bits, windows bits)
    for number in sorted(linux):
        name, lres = linux[number]
        wname, wres = windows[number]
        if name != wname or len(lres) != len(wres):
            failures.append(f"line {number}: {name} against {wname}")
            continue
        for pos, (a, b) in enumerate(zip(lres, wres)):
            counts["results"] += 1
            if same(a, b):
                counts["identical"] += 1
            elif name in ("LibMain", "SylvoVersion") or special(a) or special(b) or ulps(a, b) > BOUND:
                pending.append((number, pos, a, b))
            else:
                counts["rounding"] += 1
                d = ulps(a, b)
                if d > largest_rounding[0]:
                    largest_rounding = (d, number)
    if pending:
        moved = linux_neighbour_results(printer, library, cases, sorted({p[0] for p in pending}), work)
    for number, pos, a, b in pending:
        name = linux[number][0]
        text = cases.lines[number - 1]
        around = [r[pos] for r in moved.get(number, []) if len(r) > pos]
        accepted = False
        if name not in ("LibMain", "SylvoVersion"):
            if any(same(r, b) for r in around):
                accepted = True
            elif not special(a) and not special(b):
                spread = max([ulps(r, a) for r in around if not special(r)] or [0])
                accepted = ulps(a, b) <= SENSITIVITY_SHARE * spread
        describe = (f"sylvo{model} line {number}: {text}\n      Linux {double_of(a)!r} (0x{a:016x}), "
                    f"Windows {double_of(b)!r} (0x{b:016x})")
        if not special(a) and not special(b):
            describe += f", {ulps(a, b)} ulp"
        if accepted:
            counts["ill-conditioned"] += 1
            log(f"  ill-conditioned, accepted: {describe}")
            log("      Linux with one argument one ulp away: " +
                ", ".join(repr(double_of(r)) for r in around))
            if not special(a) and not special(b) and ulps(a, b) > largest[0]:
                largest = (ulps(a, b), number)
        else:
            failures.append(describe)
    if largest_rounding[0] > largest[0]:
        largest = largest_rounding
    return failures, {"counts": counts, "largest_rounding": largest_rounding, "largest": largest}


def check_export_tables(source, bindir):
    """The export table of each DLL, read with objdump: exactly the names and
    ordinals of frame/sylvo.def; and the header's ASLR and DEP flags. Returns
    the problems."""
    objdump = tool_or_none("i686-w64-mingw32-objdump")
    if not objdump:
        return ["i686-w64-mingw32-objdump is missing"]
    with open(os.path.join(source, "frame", "sylvo.def")) as f:
        expected = {m.group(1): int(m.group(2)) for m in re.finditer(r"^\s*(\w+)(?:@\d+)?\s+@(\d+)", f.read(), re.M)}
    problems = []
    for model in MODELS:
        dll = os.path.join(bindir, f"sylvo{model}.dll")
        text = subprocess.run([objdump, "-p", dll], stdout=subprocess.PIPE, text=True).stdout
        base = re.search(r"Ordinal Base\s+(\d+)", text)
        table = text.split("[Ordinal/Name Pointer] Table", 1)
        found = {}
        if base and len(table) == 2:
            for line in table[1].split("\n\n", 1)[0].splitlines():
                m = re.match(r"\s*\[\s*(\d+)\]\s+(\S+)$", line)
                if m:
                    found[m.group(2)] = int(m.group(1)) + int(base.group(1))
        if not expected or found != expected:
            problems.append(f"sylvo{model}.dll exports {sorted(found.items())}, expected {sorted(expected.items())}")
        # Address-space layout randomisation and data execution prevention.
        flags = re.search(r"DllCharacteristics\s+([0-9a-fA-F]+)", text)
        if not flags or (int(flags.group(1), 16) & 0x140) != 0x140:
            problems.append(f"sylvo{model}.dll lacks DYNAMIC_BASE or NX_COMPAT in its header")
    return problems


def check_x87_rounding(source, build, cxx):
    """The model objects of the cross build through x87_rounding.py, and one
    model source built without -ffloat-store, which it must report. Returns
    the problems."""
    objdump = tool_or_none("i686-w64-mingw32-objdump")
    if not objdump:
        return ["i686-w64-mingw32-objdump is missing"]
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    from x87_rounding import unrounded_operands

    def disassembly(obj):
        return subprocess.run([objdump, "-d", "--no-show-raw-insn", obj], stdout=subprocess.PIPE, text=True,
                              check=True).stdout

    objects = []
    for root, _, files in os.walk(os.path.join(build, "CMakeFiles")):
        model_code = re.search(r"sylvo_model_\w\.dir|sylvo_frame\.dir", root)
        objects += [os.path.join(root, f) for f in files
                    if f.endswith(".cpp.obj") and (model_code or f == "exports.cpp.obj")]
    problems = [f"{obj}: {function}: {text}" for obj in sorted(objects) for function, text in
                unrounded_operands(disassembly(obj))]
    if len(objects) < 12:
        problems.append(f"only {len(objects)} model objects found under {build}")
    control = os.path.join(build, "x87_control.obj")
    run([cxx, "-std=c++20", "-O2", "-mfpmath=387", "-ffp-contract=off", "-I", os.path.join(source, "frame"),
         "-I", os.path.join(source, "models"), "-c", os.path.join(source, "models", "b", "dynamics.cpp"),
         "-o", control], what="building the check's control")
    if not unrounded_operands(disassembly(control)):
        problems.append("x87_rounding.py found nothing in code built without -ffloat-store")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--source", required=True, help="the source tree")
    parser.add_argument("--build", required=True, help="the cross build tree (made if missing)")
    parser.add_argument("--printer", required=True, help="sylvo_case_printer of the Linux build")
    parser.add_argument("--lib-dir", required=True, help="directory of the Linux libraries")
    parser.add_argument("--cases", required=True, help="directory of the case files")
    opts = parser.parse_args()

    cxx = tool_or_none("i686-w64-mingw32-g++-win32", "i686-w64-mingw32-g++")
    wine = tool_or_none("wine")
    if not cxx:
        log("SKIPPED: Windows DLL tests need the mingw-w64 cross compiler (g++-mingw-w64-i686)")
        return SKIP
    # Without Wine the DLLs are built and checked as files, then the test is
    # marked skipped.
    no_wine = None
    if not wine:
        no_wine = "Wine (wine, wine32:i386)"
    elif os.path.exists("/usr/lib/wine/wine64") and not os.path.exists("/usr/lib/wine/wine"):
        no_wine = "32-bit Wine (wine32:i386)"

    started = time.monotonic()
    build = os.path.abspath(opts.build)
    # The host compiler's settings have no place in the cross build.
    cross_env = {k: v for k, v in os.environ.items()
                 if k not in ("CC", "CXX", "CFLAGS", "CXXFLAGS", "CPPFLAGS", "LDFLAGS")}
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        run(["cmake", "-S", opts.source, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
             "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(opts.source, "cmake", "toolchain-mingw-i686.cmake")],
            env=cross_env, what="configuring the cross build")
    run(["cmake", "--build", build, "-j", str(os.cpu_count() or 2)], env=cross_env, what="the cross build")
    built = time.monotonic()
    log(f"cross build in {build}: {built - started:.1f} s")

    # The DLL files: their export tables and header flags.
    problems = check_export_tables(opts.source, os.path.join(build, "bin"))
    for problem in problems:
        log("FAILED: " + problem)
    if problems:
        return 1
    log("the DLLs' export tables hold exactly the names and ordinals of frame/sylvo.def; "
        "their headers ask for ASLR and DEP")

    # The model code rounds every intermediate result to double, so that
    # how a formula is split into functions and variables cannot change the
    # DLLs' results; the check itself must report code built without
    # -ffloat-store.
    problems = check_x87_rounding(opts.source, build, cxx)
    for problem in problems:
        log("FAILED: " + problem)
    if problems:
        return 1
    log("the DLLs' model code stores every intermediate result as a double before using it")

    if no_wine:
        log(f"SKIPPED: the DLLs were built and checked as files, but running them needs {no_wine}")
        return SKIP

    # Wine's loader is a 32-bit x86 program: a kernel built without support
    # for them cannot start it. Then the DLLs are only checked as files.
    probe = subprocess.run([wine, "--version"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if probe.returncode != 0:
        log("SKIPPED: Wine cannot run here (" + (probe.stderr.strip().splitlines() or ["no reason given"])[-1] +
            "): this machine cannot start 32-bit x86 programs, so the DLLs were built and their export tables "
            "checked, but not run")
        return SKIP

    env = dict(os.environ)
    env.update({"WINEPREFIX": os.path.join(build, "wineprefix"), "WINEARCH": "win32",
                "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="})
    env.pop("DISPLAY", None)
    if not os.path.exists(os.path.join(env["WINEPREFIX"], "system.reg")):
        run([wine, "wineboot", "--init"], env=env, what="wineboot")
        log(f"Wine prefix {env['WINEPREFIX']} created: {time.monotonic() - built:.1f} s")
    else:
        log(f"Wine prefix {env['WINEPREFIX']} reused")

    bindir = os.path.join(build, "bin")
    host = os.path.join(bindir, "sylvo_win_host.exe")
    work = os.path.join(build, "compare")
    os.makedirs(work, exist_ok=True)
    failed = []
    summaries = {}
    for model, precision in MODELS.items():
        # Both sides read one snapshot of the case file.
        case_path = os.path.join(work, f"sylvo{model}.cases")
        shutil.copyfile(os.path.join(opts.cases, f"sylvo{model}.cases"), case_path)
        library = os.path.join(opts.lib_dir, f"libsylvo{model}.so")
        dll = os.path.join(bindir, f"sylvo{model}.dll")
        t0 = time.monotonic()
        result = subprocess.run([wine, host, windows_path(dll), windows_path(case_path), precision], env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        seconds = time.monotonic() - t0
        log("".join(line + "\n" for line in result.stderr.replace("\r", "").splitlines()
                    if not line.startswith("  ok      GetProcAddress")).rstrip())
        if result.returncode != 0:
            failed.append(f"sylvo{model}.dll: the Windows host failed (status {result.returncode})")
            continue
        with open(os.path.join(work, f"sylvo{model}.windows"), "w") as f:
            f.write(result.stdout)
        linux_run = run([opts.printer, library, case_path], what="sylvo_case_printer")
        with open(os.path.join(work, f"sylvo{model}.linux"), "w") as f:
            f.write(linux_run.stdout)
        cases = CaseFile(case_path)
        problems, summary = compare(model, parse_results(linux_run.stdout), parse_results(result.stdout), cases,
                                    opts.printer, library, work)
        failed.extend(problems)
        summaries[model] = summary
        if summary:
            c = summary["counts"]
            lr, ll = summary["largest_rounding"], summary["largest"]
            log(f"sylvo{model}.dll under Wine ({seconds:.1f} s): {c['results']} results, {c['identical']} identical, "
                f"{c['rounding']} within {BOUND} ulp (largest {lr[0]} ulp, line {lr[1]}), "
                f"{c['ill-conditioned']} ill-conditioned (largest finite difference {ll[0]} ulp, line {ll[1]})")

        # The import library, through a C host linked against it.
        link = run([wine, os.path.join(bindir, f"sylvo_link_host_{model}.exe")], env=env,
                   what=f"sylvo_link_host_{model}").stdout.replace("\r", "").split()
        linux_version = next((r for n, (name, r) in sorted(parse_results(linux_run.stdout).items())
                              if name == "SylvoVersion"), None)
        expect = ["imports", "13", "SylvoVersion", "=>", f"0x{linux_version[0]:016x}" if linux_version else "?",
                  "LibMain", "=>", "1"]
        if link != expect:
            failed.append(f"sylvo_link_host_{model}: printed {' '.join(link)}, expected {' '.join(expect)}")
        else:
            log(f"sylvo_link_host_{model}.exe (linked with sylvo{model}.dll.a): SylvoVersion and LibMain as on Linux")

    log(f"total {time.monotonic() - started:.1f} s")
    if failed:
        log(f"\n{len(failed)} disagreement(s):")
        for f in failed:
            log("  " + f)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
