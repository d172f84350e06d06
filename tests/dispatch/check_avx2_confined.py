#!/usr/bin/python3
"""Fails when a library holds VEX/EVEX or ymm/zmm instructions outside the AVX
kernels: functions in a namespace avx2 or avx512, or named ...Avx2 or
...Avx512 (CpuHasAvx2 excepted): the code of the kernel files compiled with
those instruction sets, reached only through the kernel tables.
Disassembling every function also catches an inline or template copy that an
AVX2 file instantiated and the linker kept for everyone. The first library must
hold kernels, so that a stripped one cannot pass vacuously.

    check_avx2_confined.py OBJDUMP LIB [LIB...]
"""
import re
import subprocess
import sys

FUNCTION = re.compile(r"^[0-9a-f]+ <(.+)>:$")
INSTRUCTION = re.compile(r"^\s*[0-9a-f]+:\t([0-9a-f ]+)\t(.*)$")
# Segment and address-size prefixes may precede VEX/EVEX; 66/F2/F3/F0 make it invalid.
SKIPPED_PREFIXES = {0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65, 0x67}
VEX_OR_EVEX = {0xC4, 0xC5, 0x62}  # always VEX/EVEX in 64-bit mode
# mingw's linker places these pointer tables among the code; they decode as anything.
DATA_IN_CODE = re.compile(r"^(\.ctors|\.dtors|__CTOR_LIST__|__DTOR_LIST__)")


def is_avx2_kernel(function):
    name = function.split(" [clone")[0].replace("(anonymous namespace)", "anonymous")
    while re.search(r"<[^<>]*>", name):
        name = re.sub(r"<[^<>]*>", "", name)  # template arguments, innermost first
    words = name.split("(")[0].split()
    parts = words[-1].split("::") if words else [""]
    last = parts[-1]
    return bool({"avx2", "avx512"} & set(parts[:-1])) or (
        (last.endswith("Avx2") or last.endswith("Avx512")) and last != "CpuHasAvx2")


def uses_avx(hex_bytes, text):
    if text.startswith("(bad)"):  # data bytes inside code
        return False
    if re.search(r"%[yz]mm\d", text):
        return True
    first = next((b for b in (int(t, 16) for t in hex_bytes.split()) if b not in SKIPPED_PREFIXES), None)
    return first in VEX_OR_EVEX


def main(objdump, libraries):
    failed = False
    for index, library in enumerate(libraries):
        listing = subprocess.run([objdump, "-d", "-C", "--insn-width=16", library],
                                 check=True, capture_output=True, text=True).stdout
        function, offending, kernels = None, {}, set()
        for line in listing.splitlines():
            m = FUNCTION.match(line)
            if m:
                function = m.group(1)
                continue
            m = INSTRUCTION.match(line)
            if not m or not uses_avx(m.group(1), m.group(2)) or DATA_IN_CODE.match(function or ""):
                continue
            if function is not None and is_avx2_kernel(function):
                kernels.add(function)
            else:
                offending.setdefault(function or "<no symbol>", m.group(2).strip())
        print(f"{library}: {len(kernels)} AVX kernel functions, {len(offending)} offending")
        for function, instruction in sorted(offending.items()):
            print(f"  AVX outside the AVX kernels: {function}: {instruction}")
        if index == 0 and not kernels:
            print("  no AVX kernel found: symbols missing, or no kernels built")
        failed |= bool(offending) or (index == 0 and not kernels)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2:]))
