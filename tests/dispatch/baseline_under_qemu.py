#!/usr/bin/python3
"""Each program must exit 0 under qemu-x86_64 -cpu Nehalem, which faults on any
AVX instruction (the dispatch harness among them, checking the scalar and SSE2
tiers there). Whole-frame masks must be identical at every kernel tier here
(VIDRA_CPU_TIER, and VIDRA_DISABLE_AVX2=1), and close between the emulated
processor and this one (ONNX Runtime picks SSE there, AVX2/FMA here)."""
import argparse
import os
import subprocess
import sys

CPU = "Nehalem"
TIERS = ("scalar", "sse2", "avx2", "avx512")  # those above the processor's run as its best
MAX_BYTE_DIFFERENCE = 4  # emulated against native, per mask byte ...
MAX_DIFFERING_SHARE = 0.005  # ... on at most this share of the bytes


def run(command, cwd, env=None):
    result = subprocess.run(command, cwd=cwd, env=env, timeout=900,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    return result.returncode, result.stderr


def main():
    parser = argparse.ArgumentParser()
    for option in ("qemu", "bin", "models", "work", "frame-mask"):
        parser.add_argument("--" + option, required=True)
    for option in ("photos", "programs"):
        parser.add_argument("--" + option, nargs="+", required=True)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    emulate = [args.qemu, "-cpu", CPU]
    failures = []

    for program in args.programs:
        code, err = run(emulate + [program] + ([args.models] if "example_host" in program else []), args.bin)
        print(f"{os.path.basename(program)} under {CPU}: exit {code}")
        if code != 0:
            failures.append(f"{program} exited {code} under {CPU}:\n{err[-3000:]}")

    def masks(name, prefix=(), env=None):
        out = os.path.join(args.work, name + ".bin")
        code, err = run([*prefix, args.frame_mask, args.models, out, *args.photos], args.bin, env)
        if code != 0:
            raise RuntimeError(f"frame_mask ({name}) exited {code}: {err[-2000:]}")
        with open(out, "rb") as f:
            return f.read()

    native = masks("native")
    for tier in TIERS:
        if masks(tier, env=dict(os.environ, VIDRA_CPU_TIER=tier)) != native:
            failures.append(f"masks differ between the {tier} kernels and the best ones on this machine")
    if masks("baseline", env=dict(os.environ, VIDRA_DISABLE_AVX2="1")) != native:
        failures.append("masks differ between the AVX2 and the baseline kernels on this machine")
    emulated = masks("emulated", emulate)
    if len(emulated) != len(native) or not native:
        failures.append("the emulated run gave masks of another size")
    else:
        diffs = [abs(a - b) for a, b in zip(native, emulated)]
        largest, share = max(diffs), sum(1 for d in diffs if d) / len(diffs)
        print(f"masks, {CPU} against this machine: largest difference {largest}, "
              f"{100 * share:.3f}% of bytes differ")
        if largest > MAX_BYTE_DIFFERENCE or share > MAX_DIFFERING_SHARE:
            failures.append("emulated masks too far from native ones")
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
