#!/usr/bin/python3
"""Runs the library on an emulated processor without AVX.

    baseline_under_qemu.py --qemu QEMU --bin DIR --models DIR --work DIR \
        --frame-mask PROGRAM --photos PPM... --programs PROGRAM...

qemu-x86_64 -cpu Nehalem reports neither AVX nor AVX2 and raises an
illegal-instruction signal on either, so every program passing here took
the baseline kernels and ran ONNX Runtime's own baseline kernels too.
Each program (the test programs, the example host) must exit 0.

Then the masks of whole frames through the network are compared:
- on this machine, the AVX2 kernels against the baseline ones
  (VIDRA_DISABLE_AVX2=1): our code gives identical bytes on every path and
  ONNX Runtime's kernels are the same in both runs, so the masks must be
  identical;
- the emulated processor against this machine: ONNX Runtime chooses its own
  kernels by processor (SSE there, AVX2/FMA here), so the network's floats
  differ in the last digits and a few mask bytes may move by a little;
  the masks must agree within a small tolerance.
"""
import argparse
import os
import subprocess
import sys

CPU = "Nehalem"
# Emulated against native masks: the largest difference of a byte and the
# share of bytes that may differ at all.
MAX_BYTE_DIFFERENCE = 4
MAX_DIFFERING_SHARE = 0.005


def run(command, cwd, env=None, timeout=900):
    result = subprocess.run(command, cwd=cwd, env=env, timeout=timeout,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    return result.returncode, result.stderr


def masks(command, photos, cwd, out, env=None):
    code, err = run(command + [out] + photos, cwd, env)
    if code != 0:
        raise RuntimeError(f"{' '.join(command)} exited {code}: {err[-2000:]}")
    with open(out, "rb") as f:
        return f.read()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--qemu", required=True)
    parser.add_argument("--bin", required=True)
    parser.add_argument("--models", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--frame-mask", required=True)
    parser.add_argument("--photos", nargs="+", required=True)
    parser.add_argument("--programs", nargs="+", required=True)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    emulate = [args.qemu, "-cpu", CPU]
    failures = []

    for program in args.programs:
        command = emulate + [program] + ([args.models] if "example_host" in program else [])
        code, err = run(command, args.bin)
        print(f"{os.path.basename(program)} under {CPU}: exit {code}")
        if code != 0:
            failures.append(f"{program} exited {code} under {CPU}:\n{err[-3000:]}")

    base = [args.frame_mask, args.models]
    native = masks(base, args.photos, args.bin, os.path.join(args.work, "native.bin"))
    no_avx2 = dict(os.environ, VIDRA_DISABLE_AVX2="1")
    baseline = masks(base, args.photos, args.bin, os.path.join(args.work, "baseline.bin"), no_avx2)
    emulated = masks(emulate + base, args.photos, args.bin, os.path.join(args.work, "emulated.bin"))
    if native != baseline:
        failures.append("masks differ between the AVX2 and the baseline kernels on this machine")
    if len(emulated) != len(native) or not native:
        failures.append("the emulated run gave masks of another size")
    else:
        diffs = [abs(a - b) for a, b in zip(native, emulated)]
        largest = max(diffs)
        share = sum(1 for d in diffs if d) / len(diffs)
        print(f"masks, {CPU} against this machine: largest difference {largest}, "
              f"{100 * share:.3f}% of bytes differ")
        if largest > MAX_BYTE_DIFFERENCE or share > MAX_DIFFERING_SHARE:
            failures.append(f"emulated masks too far from native ones: largest difference {largest}, "
                            f"share {share:.4f}")
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
