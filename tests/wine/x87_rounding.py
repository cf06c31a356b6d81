#!/usr/bin/python3
"""Checks that x87 model code rounds every intermediate result to double.

The 32-bit DLLs compute on the x87 unit, whose registers hold a 64-bit
significand; the model code is built with -ffloat-store so that every value
is stored to memory as a double before another operation uses it. That is
what makes a model's results independent of how its source is split into
functions and variables. This reads the disassembly of an object
(i686-w64-mingw32-objdump -d) and follows the x87 register stack: an
arithmetic or comparison instruction whose register operand holds the
unstored result of an earlier operation, or of a call, is reported.

    x87_rounding.py OBJDUMP OBJECT...    exit status 1 when any is reported
"""
import re
import subprocess
import sys

ARITHMETIC = re.compile(r"f(add|sub|subr|mul|div|divr|ucomi|comi|ucom|com)(p?)([lsp]?)$")


def unrounded_operands(disassembly):
    """The instructions (function, text) that take an operand not rounded to
    double: a register holding the result of an earlier operation or call."""
    found = []
    stack = []  # True where a register holds a value loaded from a double
    function = None
    for line in disassembly.splitlines():
        head = re.match(r"^[0-9a-f]+ <(.*)>:", line)
        if head:
            function, stack = head.group(1), []
            continue
        fields = line.split("\t")
        if len(fields) < 2 or not fields[1].strip():
            continue
        text = fields[1].strip()
        op = text.split()[0]
        registers = [int(r or 0) for r in re.findall(r"%st(?:\((\d)\))?", text[len(op):])]

        def rounded(i):
            return stack[i] if i < len(stack) else True

        def put(i, value):
            while len(stack) <= i:
                stack.append(True)
            stack[i] = value

        if op.startswith("call"):
            stack = [False]  # a double returned in st(0), at the unit's precision
        elif not op.startswith("f") or op in ("fchs", "fabs") or op.startswith(("fnst", "fldcw", "fwait")):
            continue
        elif op in ("fld1", "fldz") or op.startswith(("fldl", "flds", "fildl", "filds", "fildll")):
            stack.insert(0, True)
        elif op == "fld":
            stack.insert(0, rounded(registers[0] if registers else 0))
        elif op.startswith("fst") or op.startswith("fist"):
            if op.startswith("fst") and registers:
                put(registers[0], rounded(0))
            if op.endswith("p") or op in ("fstpl", "fstps", "fistpl", "fistpll", "fisttpl", "fisttpll"):
                if stack:
                    stack.pop(0)
        elif op == "fxch":
            i = registers[0] if registers else 1
            put(i, rounded(i))
            put(0, rounded(0))
            stack[0], stack[i] = stack[i], stack[0]
        elif op in ("fsqrt", "frndint"):
            if not rounded(0):
                found.append((function, text))
            put(0, False)
        else:
            m = ARITHMETIC.match(op)
            if not m:
                found.append((function, text + " (not understood)"))
                continue
            operands = registers or [0]
            if any(not rounded(i) for i in set(operands)):
                found.append((function, text))
            compare = m.group(1) in ("ucomi", "comi", "ucom", "com")
            if not compare:
                put(operands[-1] if len(operands) > 1 else 0, False)
            if m.group(2) and stack:
                stack.pop(0)
    return found


def main(argv):
    objdump, objects = argv[1], argv[2:]
    status = 0
    for obj in objects:
        text = subprocess.run([objdump, "-d", "--no-show-raw-insn", obj], stdout=subprocess.PIPE, text=True,
                              check=True).stdout
        for function, instruction in unrounded_operands(text):
            print(f"{obj}: {function}: {instruction}")
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
