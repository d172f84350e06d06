#!/usr/bin/python3
"""Builds the segmentation models (.tesk files, which are ONNX models).

    /usr/bin/python3 models/build_models.py --out build/models [--force]

From the pinned TFLite network (256x144 RGB in 0..1 -> person probability) it
produces:

  model_144x80_2ch_nosig_sim_f32.tesk
      input  "input"  1x3x160x288 float32, raw byte values 0..255, R, G, B planes
      output "output" 1x2x80x144  float32 logits, plane 0 = -z (background),
                                   plane 1 = z (person), no activation
  model_640x480_9x9up_sim_f32.tesk
      input  "input"  1x3x160x288 as above
      output "output" 1x1x480x640 float32 person probability in 0..1
  fidelity/core_256x144_f32.onnx
      input  "input"  1x3x144x256 float32 RGB in 0..1 (the network's own input)
      output "output" 1x1x144x256 person probability, "logit" its logit;
             used by the fidelity test

Scaling by 1/255 is folded into the first convolution; resizing to and from
the network's 256x144 happens inside the graphs (bilinear, pixel centres
aligned). Outputs are rewritten only when an input or a script changed.
"""

import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)

import numpy as np  # noqa: E402
import onnx  # noqa: E402
from onnx import helper  # noqa: E402

from tflite_reader import read_model  # noqa: E402
from tflite_to_onnx import GraphBuilder, convert_core  # noqa: E402

SOURCE = os.path.join(ROOT, "node_modules", "@mediapipe", "selfie_segmentation",
                      "selfie_segmentation_landscape.tflite")
SCRIPTS = [os.path.join(HERE, n) for n in ("build_models.py", "tflite_reader.py", "tflite_to_onnx.py")]

NET_H, NET_W = 144, 256
IN_H, IN_W = 160, 288

MODEL_144x80 = "model_144x80_2ch_nosig_sim_f32.tesk"
MODEL_640x480 = "model_640x480_9x9up_sim_f32.tesk"
CORE = os.path.join("fidelity", "core_256x144_f32.onnx")


def log(msg):
    print(f"build_models: {msg}", file=sys.stderr)


def resize(g, x, shape, base):
    sizes = g.const(base + "_sizes", np.array(shape, np.int64))
    return g.node("Resize", [x, "", "", sizes], base, mode="linear",
                  coordinate_transformation_mode="half_pixel")


def build_core(model):

    g = GraphBuilder()
    g.unique("input")
    g.unique("output")
    g.unique("logit")
    logit, shape = convert_core(g, model, "input")
    g.nodes.append(helper.make_node("Identity", [logit], ["logit"], name="Identity_logit"))
    g.nodes.append(helper.make_node("Sigmoid", [logit], ["output"], name="Sigmoid_output"))
    return g.model([("input", (1, 3, NET_H, NET_W))], [("output", shape), ("logit", shape)],
                   "Segmentation network at its own resolution: RGB in 0..1 -> person probability and logit.")


def build_144x80(model):

    g = GraphBuilder()
    g.unique("input")
    g.unique("output")
    x = resize(g, "input", (1, 3, NET_H, NET_W), "input_resized")
    logits, shape = convert_core(g, model, x, first_conv_scale=1.0 / 255.0, final_transpose_signs=[-1.0, 1.0])
    assert shape == (1, 2, NET_H, NET_W), shape
    sizes = g.const("output_sizes", np.array((1, 2, 80, 144), np.int64))
    g.nodes.append(helper.make_node("Resize", [logits, "", "", sizes], ["output"], name="Resize_output",
                                    mode="linear", coordinate_transformation_mode="half_pixel"))
    return g.model([("input", (1, 3, IN_H, IN_W))], [("output", (1, 2, 80, 144))],
                   "Person segmentation: 288x160 RGB bytes -> 144x80 logits (plane 0 background, plane 1 person).")


def build_640x480(model):

    g = GraphBuilder()
    g.unique("input")
    g.unique("output")
    x = resize(g, "input", (1, 3, NET_H, NET_W), "input_resized")
    logit, shape = convert_core(g, model, x, first_conv_scale=1.0 / 255.0)
    assert shape == (1, 1, NET_H, NET_W), shape
    # Upsample the logit, then activate: edges stay sharp instead of being
    # smeared by interpolating probabilities.
    up = resize(g, logit, (1, 1, 480, 640), "logit_up")
    g.nodes.append(helper.make_node("Sigmoid", [up], ["output"], name="Sigmoid_output"))
    return g.model([("input", (1, 3, IN_H, IN_W))], [("output", (1, 1, 480, 640))],
                   "Person segmentation: 288x160 RGB bytes -> 640x480 person probability.")


def up_to_date(outputs, inputs):
    if not all(os.path.exists(o) for o in outputs):
        return False
    newest_in = max(os.path.getmtime(i) for i in inputs)
    return min(os.path.getmtime(o) for o in outputs) > newest_in


def save(model, path):
    onnx.checker.check_model(model, full_check=True)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(model.SerializeToString())
    os.replace(tmp, path)
    log(f"wrote {path} ({os.path.getsize(path)} bytes)")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--out", required=True, help="output folder, e.g. build/models")
    ap.add_argument("--source", default=SOURCE, help="TFLite network to convert")
    ap.add_argument("--force", action="store_true", help="rebuild even when up to date")
    args = ap.parse_args()

    if not os.path.exists(args.source):
        log(f"missing {args.source}: run 'make npm-deps' first")
        return 1
    targets = {
        MODEL_144x80: build_144x80,
        MODEL_640x480: build_640x480,
        CORE: build_core,
    }
    outputs = [os.path.join(args.out, n) for n in targets]
    if not args.force and up_to_date(outputs, [args.source] + SCRIPTS):
        log(f"models in {args.out} are up to date")
        return 0

    model = read_model(args.source)
    for name, build in targets.items():
        save(build(model), os.path.join(args.out, name))
    return 0


if __name__ == "__main__":
    sys.exit(main())
