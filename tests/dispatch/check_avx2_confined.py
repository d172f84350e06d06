#!/usr/bin/python3
"""Fails when a library holds AVX instructions outside the AVX2 kernels.

    check_avx2_confined.py --objdump OBJDUMP --expect-kernels LIB [LIB...]

The libraries are built for baseline x86-64; only code in the *_avx2.cpp
files, all of it inside a namespace named avx2 and called behind
vidra::CpuHasAvx2(), may use VEX or EVEX encodings or ymm/zmm registers.
Every function of every library is disassembled; an instruction of that kind
in a function whose name has no "avx2::" fails the check. That also catches
an inline or template function instantiated in an AVX2 file whose copy the
linker kept for everyone (it is not in the avx2 namespace).
--expect-kernels: the first library must hold AVX2 kernels, which proves that
its symbols were readable (a stripped library would pass vacuously).
"""
import argparse
import re
import subprocess
import sys

FUNCTION = re.compile(r"^[0-9a-f]+ <(.+)>:$")
INSTRUCTION = re.compile(r"^\s*[0-9a-f]+:\t([0-9a-f ]+)\t(.*)$")
# Prefixes that may precede a VEX or EVEX byte: segment overrides and
# address size. Operand-size, REP and LOCK prefixes make VEX invalid.
SKIPPED_PREFIXES = {0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65, 0x67}
VEX_OR_EVEX = {0xC4, 0xC5, 0x62}  # in 64-bit mode these always start VEX/EVEX
WIDE_REGISTER = re.compile(r"%[yz]mm\d")


def uses_avx(hex_bytes, text):
    if WIDE_REGISTER.search(text):
        return True
    for token in hex_bytes.split():
        byte = int(token, 16)
        if byte in SKIPPED_PREFIXES:
            continue
        return byte in VEX_OR_EVEX
    return False


def scan(objdump, library):
    """Returns (offending {function: first instruction}, allowed functions with AVX)."""
    listing = subprocess.run([objdump, "-d", "-C", "--insn-width=16", library],
                             check=True, capture_output=True, text=True).stdout
    function = None
    offending = {}
    allowed = set()
    for line in listing.splitlines():
        m = FUNCTION.match(line)
        if m:
            function = m.group(1)
            continue
        m = INSTRUCTION.match(line)
        if not m or not uses_avx(m.group(1), m.group(2)):
            continue
        if function is not None and "avx2::" in function:
            allowed.add(function)
        else:
            offending.setdefault(function or "<no symbol>", m.group(2).strip())
    return offending, allowed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--expect-kernels", action="store_true")
    parser.add_argument("libraries", nargs="+")
    args = parser.parse_args()
    failed = False
    for index, library in enumerate(args.libraries):
        offending, allowed = scan(args.objdump, library)
        print(f"{library}: {len(allowed)} AVX2 kernel functions, {len(offending)} offending")
        for function, instruction in sorted(offending.items()):
            print(f"  AVX outside the AVX2 kernels: {function}: {instruction}")
            failed = True
        if index == 0 and args.expect_kernels and not allowed:
            print("  no function of namespace avx2 found: symbols missing, or no kernels built")
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
