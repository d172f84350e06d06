#!/usr/bin/python3
"""Fails when a library holds AVX instructions outside the AVX2 kernels.

    check_avx2_confined.py --objdump OBJDUMP --expect-kernels LIB [LIB...]

The libraries are built for baseline x86-64; only the functions of the
*_avx2.cpp files, called behind vidra::CpuHasAvx2(), may use VEX or EVEX
encodings or ymm/zmm registers. Such functions are known by their names:
they are in a namespace named avx2 or their own name ends in Avx2 (the
processor check CpuHasAvx2 itself excepted). Every function of every library
is disassembled; an instruction of that kind in any other function fails the
check. That also catches an inline or template function instantiated in an
AVX2 file whose copy the linker kept for everyone (a std:: template, say).
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
# Pointer tables that mingw's linker places among the code: their bytes are
# addresses, not instructions, and may decode as anything.
DATA_IN_CODE = re.compile(r"^(\.ctors|\.dtors|__CTOR_LIST__|__DTOR_LIST__)")


def strip_nested(text, open_char, close_char):
    """Drops every balanced open_char ... close_char span."""
    out, depth = [], 0
    for ch in text:
        if ch == open_char:
            depth += 1
        elif ch == close_char and depth:
            depth -= 1
        elif not depth:
            out.append(ch)
    return "".join(out)


def is_avx2_kernel(function):
    """True for a function of namespace avx2 or named ...Avx2."""
    name = function.split(" [clone")[0].replace("(anonymous namespace)", "anonymous")
    name = strip_nested(name, "<", ">")
    name = name.split("(")[0].split()[-1] if name.split("(")[0].split() else ""
    parts = name.split("::")
    return "avx2" in parts[:-1] or (parts[-1].endswith("Avx2") and parts[-1] != "CpuHasAvx2")


def uses_avx(hex_bytes, text):
    if text.startswith("(bad)"):  # data bytes inside code, not an instruction
        return False
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
        if function is not None and DATA_IN_CODE.match(function):
            continue
        if function is not None and is_avx2_kernel(function):
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
            print("  no AVX2 kernel found: symbols missing, or no kernels built")
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
