#!/usr/bin/env python3
"""Names every instruction a Pentium (i586) lacks in 32-bit Windows images,
with its address and function; see docs/deliverables.md ("Processor").

  check-cpu.py IMAGE...     exit 1 when any is found, 2 when a file cannot be read
"""
import bisect
import os
import re
import shutil
import subprocess
import sys

# Mnemonics the Pentium lacks (AT&T syntax as objdump prints it).
LATER = re.compile(r"^(cmov|fcmov|fu?comip?$|nop[wl]$|sys(enter|exit)$|fxsave|fxrstor"
                   r"|[lms]fence$|prefetch|emms$|[ls]dmxcsr$|movnti|clflush)")
# Any MMX or SSE register operand.
MEDIA_REGISTER = re.compile(r"%x?mm[0-9]")
LABEL = re.compile(r"^[0-9a-f]+ <([^>.][^>]*)>:$")
LINE = re.compile(r"^\s*([0-9a-f]+):\t(?:[0-9a-f]{2} )+\s*\t(\S+)\s*(.*)$")
SYMBOL = re.compile(r"^\s+0x([0-9a-f]+)\s+([^\s=]+)\s*$")


def tool(name):
    return shutil.which("i686-w64-mingw32-" + name) or name


def map_symbols(image):
    """Symbols of a stripped image from the linker map beside it (TACHPAGE.DLL: tachpage.map)."""
    base = os.path.splitext(os.path.basename(image))[0].lower()
    path = os.path.join(os.path.dirname(image), base + ".map")
    if not os.path.exists(path):
        return []
    with open(path, errors="replace") as f:
        return sorted((int(m.group(1), 16), m.group(2)) for m in map(SYMBOL.match, f) if m)


def function_at(symbols, address):
    i = bisect.bisect_right(symbols, (address, "\uffff")) - 1
    return symbols[i][1] if i >= 0 else None


def demangle(names):
    names = sorted(set(n for n in names if n))
    if not names:
        return {}
    out = subprocess.run([tool("c++filt")], input="\n".join(names),
                         capture_output=True, text=True).stdout.splitlines()
    return dict(zip(names, out)) if len(out) == len(names) else {}


def check(image):
    run = subprocess.run([tool("objdump"), "-d", image], capture_output=True,
                         text=True)
    if run.returncode != 0:
        print("%s: cannot be disassembled: %s" % (image, run.stderr.strip()))
        return 2
    found = []
    label = None
    for line in run.stdout.splitlines():
        m = LABEL.match(line)
        if m:
            label = m.group(1)
        m = LINE.match(line)
        if m and (LATER.match(m.group(2)) or MEDIA_REGISTER.search(m.group(3))):
            found.append((int(m.group(1), 16), m.group(2), m.group(3), label))
    name = os.path.basename(image)
    if not found:
        print("%s: ok (Pentium instructions only)" % name)
        return 0
    symbols = map_symbols(image)
    functions = [label or function_at(symbols, address)
                 for address, _, _, label in found]
    readable = demangle(functions)
    for (address, mnemonic, operands, _), fn in zip(found, functions):
        where = " in %s" % readable.get(fn, fn) if fn else ""
        print("%s: 0x%08x %s %s%s: not on a Pentium" %
              (name, address, mnemonic, operands, where))
    print("%s: %d instructions beyond the Pentium" % (name, len(found)))
    return 1


if len(sys.argv) < 2:
    sys.exit("usage: check-cpu.py IMAGE...")
sys.exit(max(check(image) for image in sys.argv[1:]))
