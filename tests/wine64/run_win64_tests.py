#!/usr/bin/python3
"""The 64-bit Windows build against the Linux build, under wine64.

Cross-builds the x64 DLLs, sylvo_engine.dll, sylvo.exe and the test hosts
(a build tree of its own, configured with cmake/toolchain-mingw-x86_64.cmake)
and checks:

- as files: each DLL's export table holds exactly the names and ordinals of
  frame/sylvo.def (LibMain undecorated), the engine DLL's exactly the names
  of tests/engine_exports.txt, and every program and DLL imports only
  KERNEL32 and msvcrt;
- under wine64 (a 64-bit prefix of its own, in the build tree): the host
  tests/wine64/win64_host.cpp on each DLL with its case file and with ROWS
  random rows, against sylvo_case_printer on the Linux library, result by
  result with the rules of tests/wine/run_windows_tests.py (identical, or
  within BOUND ulp, or explained by the Linux result's own sensitivity to a
  one-ulp move of an argument); the largest difference is printed per export
  and model;
- the import libraries (tests/wine/link_host.c per DLL);
- the engine's C interface: tests/wine64/engine_host.c built for both, exact
  mode bit for bit, fast mode reported in ulps;
- sylvo.exe against the Linux sylvo on yield tables and inventories, every
  number compared in ulps and every word exactly.

Exit status 0 when everything agrees, 1 otherwise, 77 (skipped) without the
cross compiler or wine64.
"""
import argparse
import collections
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "wine"))
sys.path.insert(0, os.path.join(HERE, "..", "cli"))
import run_windows_tests as w32  # noqa: E402  (comparison rules shared with the 32-bit test)

SKIP = 77
WINE64 = "/usr/lib/wine/wine64"
OBJDUMP = "x86_64-w64-mingw32-objdump"
MODELS = "abc"
# The engine's exact mode and sylvo.exe repeat the exports' operations, so
# their differences from Linux are the DLLs' (exp, log and pow within one ulp
# of glibc's, grown by ill-conditioned steps, which the DLL comparison
# explains case by case): compared here against this coarser bound, about
# 2e-10 of the value, which a wrong formula or a lost digit in output would
# exceed.
COARSE = 1_000_000


def log(text=""):
    print(text, flush=True)


def run(cmd, env=None, what=None, stdin=None):
    return w32.run(cmd, env=env, what=what) if stdin is None else subprocess.run(
        cmd, env=env, input=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def bits_of(x):
    return struct.unpack("<Q", struct.pack("<d", x))[0]


# ---------------------------------------------------------------- files
def export_table(path):
    text = subprocess.run([OBJDUMP, "-p", path], stdout=subprocess.PIPE, text=True, check=True).stdout
    base = re.search(r"Ordinal Base\s+(\d+)", text)
    found = {}
    table = text.split("[Ordinal/Name Pointer] Table", 1)
    if base and len(table) == 2:
        for line in table[1].split("\n\n", 1)[0].splitlines():
            m = re.match(r"\s*\[\s*(\d+)\]\s+(\S+)$", line)
            if m:
                found[m.group(2)] = int(m.group(1)) + int(base.group(1))
    machine = "x64" if re.search(r"file format pei-x86-64", text) else "other"
    imports = sorted(re.findall(r"DLL Name: (\S+)", text))
    return found, machine, imports, text


def check_files(source, bindir):
    problems = []
    with open(os.path.join(source, "frame", "sylvo.def")) as f:
        expected = {m.group(1): int(m.group(2))
                    for m in re.finditer(r"^\s*(\w+)(?:@\d+)?\s+@(\d+)", f.read(), re.M)}
    with open(os.path.join(source, "tests", "engine_exports.txt")) as f:
        engine_names = sorted(line.strip() for line in f if line.strip())
    if len(expected) != 13:
        problems.append(f"frame/sylvo.def lists {len(expected)} exports, not 13")
    for model in MODELS:
        found, machine, _, text = export_table(os.path.join(bindir, f"sylvo{model}.dll"))
        if found != expected:
            problems.append(f"sylvo{model}.dll exports {sorted(found.items())}, expected {sorted(expected.items())}")
        if machine != "x64":
            problems.append(f"sylvo{model}.dll is not an x64 image")
        flags = re.search(r"DllCharacteristics\s+([0-9a-fA-F]+)", text)
        if not flags or (int(flags.group(1), 16) & 0x140) != 0x140:
            problems.append(f"sylvo{model}.dll lacks DYNAMIC_BASE or NX_COMPAT in its header")
    found, machine, _, _ = export_table(os.path.join(bindir, "sylvo_engine.dll"))
    if sorted(found) != engine_names or machine != "x64":
        problems.append(f"sylvo_engine.dll exports {sorted(found)}, expected {engine_names}")
    for name in sorted(os.listdir(bindir)):
        if name.endswith((".dll", ".exe")):
            _, _, imports, _ = export_table(os.path.join(bindir, name))
            extra = [d for d in imports if d.lower() not in ("kernel32.dll", "msvcrt.dll") and
                     not re.fullmatch(r"sylvo(a|b|c|_engine)\.dll", d.lower())]
            if extra:
                problems.append(f"{name} needs {', '.join(extra)} beside the system DLLs")
    return problems


# ---------------------------------------------------------------- random rows
def random_cases(model, rows, seed):
    """A case file of random calls of every model export (results unknown:
    '=> 0'), with fresh loads now and then."""
    rng = random.Random(seed)
    u = rng.uniform
    lines = [f"# random rows of sylvo{model}, seed {seed}", "@load", "SylvoVersion => 0"]
    for i in range(rows):
        if i % 500 == 0:
            lines.append("@load")
        t1 = u(3, 120)
        calls = {
            "SylvoGrowTph": (t1, u(50, 5000), u(0.5, 70), t1 + u(-20, 80)),
            "SylvoGrowBa": (t1, u(50, 5000), u(0.5, 70), t1 + u(-20, 80)),
            "SylvoGrow": (t1, t1 + u(-20, 80), u(50, 5000), u(0.5, 70)),
            "SylvoVolume": (u(1, 45), u(50, 5000), u(0.5, 70)),
            "SylvoMerchVol": (u(1, 45), u(50, 5000), u(0.5, 70), u(0, 40)),
            "SylvoHeight": (u(0, 150), u(2, 45), u(-3, 3)),
            "SylvoAge": (u(1, 45), u(2, 45), u(-3, 3)),
            "SylvoGain": (u(1, 45), u(-3, 3), u(2, 45)),
            "SylvoSite": (u(1, 45), u(3, 120), u(-3, 3)),
        }
        n1, b1 = u(100, 4000), u(2, 60)
        calls["SylvoBaAfter"] = (u(0.05, 40), n1, b1, n1 * u(0.2, 1))
        calls["SylvoTphAfter"] = (u(0.05, 40), n1, b1, b1 * u(0.2, 1))
        name = rng.choice(sorted(calls))
        lines.append(f"{name} {' '.join(repr(float(a)) for a in calls[name])} => 0")
    return "\n".join(lines) + "\n"


def largest_per_export(linux, windows):
    """{export: (largest ulp difference of two non-NaN results, results)};
    a NaN on one side only counts as infinitely far."""
    worst = collections.defaultdict(lambda: [0, 0])
    for number, (name, lres) in linux.items():
        wres = windows.get(number, (name, []))[1]
        for a, b in zip(lres, wres):
            entry = worst[name]
            entry[1] += 1
            if not w32.same(a, b):
                x, y = w32.double_of(a), w32.double_of(b)
                d = float("inf") if (x != x) or (y != y) else w32.ulps(a, b)
                entry[0] = max(entry[0], d)
    return worst


# ---------------------------------------------------------------- numbers in text
NUMBER = re.compile(r"-?(?:\d+\.?\d*(?:[eE][-+]?\d+)?|\.\d+(?:[eE][-+]?\d+)?|inf|nan)")


def compare_text(linux, windows):
    """(None or the first word that differs, largest ulp difference of numbers)."""
    a = NUMBER.split(linux.replace("\r\n", "\n"))
    b = NUMBER.split(windows.replace("\r\n", "\n"))
    if a != b:
        for x, y in zip(a, b):
            if x != y:
                return f"{x!r} against {y!r}", 0
        return "different lengths", 0
    worst = 0
    for x, y in zip(NUMBER.findall(linux), NUMBER.findall(windows)):
        if x == y:
            continue
        fx, fy = float(x), float(y)
        if fx != fx or fy != fy or abs(fx) == float("inf") or abs(fy) == float("inf"):
            return f"{x} against {y}", 0
        worst = max(worst, w32.ulps(bits_of(fx), bits_of(fy)))
    return None, worst


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--source", required=True)
    parser.add_argument("--build", required=True, help="the cross build tree (made if missing)")
    parser.add_argument("--linux-build", required=True, help="a Linux build tree (lib/, bin/sylvo, bin/sylvo_case_printer)")
    parser.add_argument("--rows", type=int, default=20000, help="random rows per model (default 20000)")
    parser.add_argument("--bound", type=int, default=w32.BOUND, help="ulps two ordinary results may differ by")
    opts = parser.parse_args()
    w32.BOUND = opts.bound

    cxx = w32.tool_or_none("x86_64-w64-mingw32-g++-posix")
    if not cxx:
        log("SKIPPED: the 64-bit Windows tests need g++-mingw-w64-x86-64")
        return SKIP
    started = time.monotonic()
    build = os.path.abspath(opts.build)
    linux = os.path.abspath(opts.linux_build)
    cross_env = {k: v for k, v in os.environ.items()
                 if k not in ("CC", "CXX", "CFLAGS", "CXXFLAGS", "CPPFLAGS", "LDFLAGS")}
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        run(["cmake", "-S", opts.source, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
             "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(opts.source, "cmake", "toolchain-mingw-x86_64.cmake")],
            env=cross_env, what="configuring the cross build")
    run(["cmake", "--build", build, "-j2"], env=cross_env, what="the cross build")
    log(f"cross build in {build}: {time.monotonic() - started:.1f} s")
    bindir = os.path.join(build, "bin")

    failed = check_files(opts.source, bindir)
    for p in failed:
        log("FAILED: " + p)
    if failed:
        return 1
    log("export tables: the three DLLs hold exactly the names and ordinals of frame/sylvo.def, sylvo_engine.dll "
        "the names of tests/engine_exports.txt; every file is x64 and imports only KERNEL32 and msvcrt")

    if not os.path.exists(WINE64):
        log(f"SKIPPED: built and checked as files, but running them needs wine64 ({WINE64})")
        return SKIP
    env = dict(cross_env)
    env.update({"WINEPREFIX": os.path.join(build, "wineprefix"), "WINEARCH": "win64", "WINEDEBUG": "-all",
                "WINEDLLOVERRIDES": "mscoree,mshtml="})
    env.pop("DISPLAY", None)
    if not os.path.exists(os.path.join(env["WINEPREFIX"], "system.reg")):
        subprocess.run([WINE64, "wineboot", "--init"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wine = lambda *args: subprocess.run([WINE64, *args], env=env, stdout=subprocess.PIPE,  # noqa: E731
                                        stderr=subprocess.PIPE, text=True)

    printer = os.path.join(linux, "bin", "sylvo_case_printer")
    work = os.path.join(build, "compare")
    os.makedirs(work, exist_ok=True)
    table = {}
    for model in MODELS:
        library = os.path.join(linux, "lib", f"libsylvo{model}.so")
        dll = os.path.join(bindir, f"sylvo{model}.dll")
        random_path = os.path.join(work, f"sylvo{model}.random.cases")
        with open(random_path, "w") as f:
            f.write(random_cases(model, opts.rows, seed=1000 + MODELS.index(model)))
        case_path = os.path.join(work, f"sylvo{model}.cases")
        shutil.copyfile(os.path.join(opts.source, "tests", "cases", f"sylvo{model}.cases"), case_path)
        for label, path in (("cases", case_path), ("random", random_path)):
            t0 = time.monotonic()
            result = wine(os.path.join(bindir, "sylvo_win64_host.exe"), w32.windows_path(dll), w32.windows_path(path))
            checks = result.stderr.replace("\r", "")
            if label == "cases":
                log(checks.rstrip())
            if result.returncode != 0:
                failed.append(f"sylvo{model}.dll ({label}): the host failed (status {result.returncode})")
                log(checks[-3000:])
                continue
            win = w32.parse_results(result.stdout)
            lin = w32.parse_results(run([printer, library, path], what="sylvo_case_printer").stdout)
            problems, summary = w32.compare(model, lin, win, w32.CaseFile(path), printer, library, work)
            failed.extend(problems)
            for name, (worst, count) in largest_per_export(lin, win).items():
                entry = table.setdefault((model, name), [0, 0, 0, 0])
                entry[0 if label == "cases" else 2] = max(entry[0 if label == "cases" else 2], worst)
                entry[1 if label == "cases" else 3] += count
            if summary:
                c = summary["counts"]
                log(f"sylvo{model}.dll {label} ({time.monotonic() - t0:.1f} s): {c['results']} results, "
                    f"{c['identical']} identical, {c['rounding']} within {w32.BOUND} ulp, "
                    f"{c['ill-conditioned']} ill-conditioned and explained")
        link = wine(os.path.join(bindir, f"sylvo_link_host_{model}.exe")).stdout.split()
        if link[:2] != ["imports", "13"] or link[-3:] != ["LibMain", "=>", "1"]:
            failed.append(f"sylvo_link_host_{model}: printed {' '.join(link)}")
    log("\nlargest difference from the Linux libraries, in ulps (results compared)")
    log(f"{'export':<15}" + "".join(f"{'sylvo' + m + ' cases':>18}{'random':>18}" for m in MODELS))
    for name in w32.sylvo_names if hasattr(w32, "sylvo_names") else sorted({n for _, n in table}):
        row = f"{name:<15}"
        for m in MODELS:
            e = table.get((m, name), [0, 0, 0, 0])
            row += f"{f'{e[0]} ({e[1]})':>18}{f'{e[2]} ({e[3]})':>18}"
        log(row)

    # The engine's C interface, both builds of one host.
    host = os.path.join(work, "sylvo_engine_host")
    run(["cc", "-O2", "-Wall", os.path.join(HERE, "engine_host.c"), "-I", os.path.join(opts.source, "include"),
         "-L", os.path.join(linux, "lib"), "-lsylvo", "-Wl,-rpath," + os.path.join(linux, "lib"), "-o", host],
        what="building the Linux engine host")
    rows = str(max(1000, opts.rows // 4))
    for mode in ("exact", "fast"):
        lin = run([host, rows, mode], what="the Linux engine host").stdout.splitlines()
        res = wine(os.path.join(bindir, "sylvo_engine_host.exe"), rows, mode)
        win = res.stdout.replace("\r", "").splitlines()
        if res.returncode != 0 or len(lin) != len(win):
            failed.append(f"engine host ({mode}): status {res.returncode}, {len(win)} lines against {len(lin)}")
            continue
        worst = collections.defaultdict(int)
        for a, b in zip(lin, win):
            wa, wb = a.split(), b.split()
            if wa[:3] != wb[:3] or len(wa) != len(wb):
                failed.append(f"engine host ({mode}): {a!r} against {b!r}")
                break
            for x, y in zip(wa[3:], wb[3:]):
                if x != y and x.startswith("0x"):
                    bx, by = int(x, 16), int(y, 16)
                    fx, fy = w32.double_of(bx), w32.double_of(by)
                    d = float("inf") if fx != fx or fy != fy else w32.ulps(bx, by)
                    worst[(wa[0], wa[1])] = max(worst[(wa[0], wa[1])], d)
                elif x != y:
                    failed.append(f"engine host ({mode}): {a!r} against {b!r}")
        summary = ", ".join(f"{'abc'[int(m)]}.{f} {d}" for (m, f), d in sorted(worst.items())) or "every bit equal"
        log(f"sylvo_engine.dll {mode} mode, {rows} rows per model and function, largest ulps: {summary}")
        if mode == "exact":
            bad = {k: d for k, d in worst.items() if d > COARSE}
            if bad:
                failed.append(f"engine exact mode differs by more than {COARSE} ulp: {bad}")
        elif any(d == float("inf") for d in worst.values()):
            failed.append("engine fast mode: a NaN on one side only")

    # sylvo.exe against sylvo.
    import test_inventory
    tool = os.path.join(linux, "bin", "sylvo")
    exe = os.path.join(bindir, "sylvo.exe")
    inv = os.path.join(work, "inventory.csv")
    with open(inv, "w") as f:
        f.write(test_inventory.to_csv(test_inventory.random_inventory(random.Random(64), 3000)))
    stand = ["--site", "24", "--start-age", "10", "--trees", "1800", "--ba", "6", "--end-age", "90",
             "--merch-limit", "12", "--thin", "20:tph=800:p=20", "--thin", "40:ba=25:p=20"]
    commands = [[]]
    for m in MODELS:
        for fmt in ("csv", "json", "table"):
            commands.append(["table", "--model", m, "--format", fmt, *stand])
        commands.append(["height", "--model", m, "--age", "37.5", "--site", "21", "--format", "csv"])
    for mode in ("exact", "fast"):
        commands.append(["project", "--input", "INV", "--to-age", "60", "--merch-limit", "12", "--mode", mode])
    commands.append(["project", "--input", "INV", "--years", "15", "--format", "json"])
    commands.append(["tables", "--input", "INV", "--merch-limit", "10", "--end-age", "70"])
    commands.append(["tables", "--input", "INV"])
    commands.append(["table", "--site", "99"])
    # Regime files (the tool's regime tests' document), where the tool reads them.
    reg = os.path.join(work, "regimes.json")
    files = {"INV": inv, "REG": reg}
    try:
        import json
        import test_regime
        with open(reg, "w") as f:
            json.dump(test_regime.DENSE, f)
        stand_only = stand[:12]
        commands += [["regime", "check", "REG"],
                     ["table", "--model", "b", *stand_only, "--regime", "REG", "--regime-name", "dense", "--format", "csv"],
                     ["compare", "--model", "c", *stand_only, "--regime", "REG", "--format", "csv"]]
    except (ImportError, AttributeError) as e:
        log(f"NOTE: no regime commands compared ({e})")
    for args in commands:
        la = [files.get(a, a) for a in args]
        wa = [w32.windows_path(files[a]) if a in files else a for a in args]
        lr = subprocess.run([tool, *la], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        wr = wine(exe, *wa)
        what = "sylvo " + " ".join(args)
        if lr.returncode != wr.returncode:
            failed.append(f"{what}: exit status {wr.returncode} against {lr.returncode}: {wr.stderr[-300:]}")
            continue
        wout, werr = wr.stdout, wr.stderr
        for path in files.values():
            wout, werr = wout.replace(w32.windows_path(path), path), werr.replace(w32.windows_path(path), path)
        diff, worst = compare_text(lr.stdout, wout)
        ediff, _ = compare_text(lr.stderr, werr)
        if diff or (ediff and lr.returncode != 0):
            failed.append(f"{what}: {diff or ediff}")
        elif worst > COARSE and "fast" not in args:
            failed.append(f"{what}: numbers {worst} ulp apart")
        log(f"sylvo.exe {' '.join(args) or '(no command)'}: status {wr.returncode}, "
            f"{len(lr.stdout.splitlines())} lines, " + ("identical" if lr.stdout == wout.replace("\r\n", "\n")
                                                        else f"largest difference {worst} ulp"))

    log(f"total {time.monotonic() - started:.1f} s")
    if failed:
        log(f"\n{len(failed)} disagreement(s):")
        for f in failed[:50]:
            log("  " + f)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
