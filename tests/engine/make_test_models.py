#!/usr/bin/python3
"""Builds the small .tesk (ONNX) models of the engine and NNX tests (--out build/models/test).

Unchanged files are not rewritten. The engine must refuse bad_*, empty, truncated and not_onnx.
"""

import argparse
import os
import pathlib

import numpy as np
import onnx
from onnx import TensorProto as T, helper, numpy_helper

F32 = T.FLOAT
tensor = helper.make_tensor_value_info


def model(nodes, inputs, outputs, inits=None, meta=None):
    inits = [numpy_helper.from_array(np.asarray(v), k) for k, v in (inits or {}).items()]
    m = helper.make_model(helper.make_graph(nodes, "test", inputs, outputs, initializer=inits),
                          opset_imports=[helper.make_opsetid("", 13)])
    m.ir_version = 7
    for key, value in (meta or {}).items():
        entry = m.metadata_props.add()
        entry.key, entry.value = key, str(value)
    onnx.checker.check_model(m)
    return m.SerializeToString()


def node(op, ins, out, **kw):
    return helper.make_node(op, ins, [out], **kw)


TWO_ONE = {"two": np.float32(2), "one": np.float32(1)}


def two_x_plus_one(x, y):
    return [node("Mul", [x, "two"], "t"), node("Add", ["t", "one"], y)]


def affine(shape=(1, 3, 4, 4), meta=None):
    return model(two_x_plus_one("x", "y"), [tensor("x", F32, shape)], [tensor("y", F32, shape)], TWO_ONE, meta)


def ints():  # u8 in, cast to u8, i8, i32 and u32, all NHWC
    shape, outs = [1, 4, 5, 3], [("u8", T.UINT8), ("i8", T.INT8), ("i32", T.INT32), ("u32", T.UINT32)]
    return model([node("Cast", ["x"], n, to=t) for n, t in outs], [tensor("x", T.UINT8, shape)],
                 [tensor(n, t, shape) for n, t in outs],
                 meta={"tesk.format." + n: 1 for n in ("x", "u8", "i8", "i32", "u32")})


def formats():  # v = 2x + 1 delivered in formats 1, 2, 5 and 7 (6 channels)
    n, c, h, w = 1, 6, 4, 5
    nodes = two_x_plus_one("x", "v") + [
        node("Transpose", ["v"], "y1", perm=[0, 2, 3, 1]), node("Pad", ["v", "pads"], "vp"),
        node("Transpose", ["vp"], "y2", perm=[0, 2, 3, 1]), node("Reshape", ["vp", "blocks"], "vb"),
        node("Transpose", ["vb"], "y5", perm=[0, 1, 3, 4, 2]), node("Transpose", ["v"], "y7", perm=[0, 1, 3, 2])]
    inits = dict(TWO_ONE, pads=np.array([0, 0, 0, 0, 0, 2, 0, 0], np.int64),
                 blocks=np.array([n, 2, 4, h, w], np.int64))
    outs = [tensor("y1", F32, [n, h, w, c]), tensor("y2", F32, [n, h, w, 8]),
            tensor("y5", F32, [n, 2, h, w, 4]), tensor("y7", F32, [n, c, w, h])]
    meta = {"tesk.format.y1": 1, "tesk.format.y2": 2, "tesk.channels.y2": c,
            "tesk.format.y5": 5, "tesk.channels.y5": c, "tesk.format.y7": 7}
    return model(nodes, [tensor("x", F32, [n, c, h, w])], outs, inits, meta)


def padded(x_type):  # y = 2x + 1 as float32, both NHWC4 with 6 channels (storage 8)
    shape, meta = [1, 4, 5, 8], {"tesk.format.x": 2, "tesk.channels.x": 6, "tesk.format.y": 2, "tesk.channels.y": 6}
    return model([node("Cast", ["x"], "xf", to=F32)] + two_x_plus_one("xf", "y"), [tensor("x", x_type, shape)],
                 [tensor("y", F32, shape)], TWO_ONE, meta)


def segmenter_input(fmt):  # a 288x160 three-channel input in layout fmt, 1x2x80x144 planar output
    shape, to_planar = {1: ([1, 160, 288, 3], [0, 3, 1, 2]), 2: ([1, 160, 288, 4], [0, 3, 1, 2]),
                        7: ([1, 3, 288, 160], [0, 1, 3, 2])}[fmt]
    meta = {"tesk.format.x": fmt, **({"tesk.channels.x": 3} if fmt == 2 else {})}
    nodes = [node("Transpose", ["x"], "p", perm=to_planar),
             node("Slice", ["p", "starts", "ends", "axes"], "s"),
             node("MaxPool", ["s"], "y", kernel_shape=[2, 2], strides=[2, 2])]
    inits = {"starts": np.array([0], np.int64), "ends": np.array([2], np.int64), "axes": np.array([1], np.int64)}
    return model(nodes, [tensor("x", F32, shape)], [tensor("y", F32, [1, 2, 80, 144])], inits, meta)


def identity(shape, op="Identity", x_type=F32, y_type=F32, **kw):  # y = x
    return model([node(op, ["x"], "y", **kw)], [tensor("x", x_type, shape)], [tensor("y", y_type, shape)])


def huge_intermediate():  # row maxima of x padded with zeros to 1 GiB: beyond the runtime's pool
    pads = np.array([0, 0, 0, 0, 0, 0, 0, (1 << 26) - 4], np.int64)  # 1 x 1 x 4 x 2^26 floats
    nodes = [node("Pad", ["x", "pads"], "p"), node("ReduceMax", ["p"], "y", axes=[3], keepdims=1)]
    return model(nodes, [tensor("x", F32, [1, 1, 4, 4])], [tensor("y", F32, [1, 1, 4, 1])], {"pads": pads})


def cast(x_type, y_type):
    return identity([1, 3, 4, 4], "Cast", x_type, y_type, to=y_type)


def build_all():
    files = {
        "affine.tesk": affine(),
        "rank3.tesk": affine((2, 3, 5)),
        "two_inputs.tesk": model([node("Sub", ["a", "b"], "y")],
                                 [tensor("a", F32, [1, 3, 4, 4]), tensor("b", F32, [1, 3, 4, 4])],
                                 [tensor("y", F32, [1, 3, 4, 4])]),
        "half_out.tesk": cast(F32, T.FLOAT16),
        "half_in.tesk": cast(T.FLOAT16, F32),
        "ints.tesk": ints(),
        "formats.tesk": formats(),
        "padded_in.tesk": padded(F32),
        "half_padded_in.tesk": padded(T.FLOAT16),
        "seg_interleaved_in.tesk": segmenter_input(1),
        "seg_padded_in.tesk": segmenter_input(2),
        "seg_transposed_in.tesk": segmenter_input(7),
        "big_output.tesk": identity([1, 1, 8192, 6144]),  # 192 MiB of output storage
        "bad_huge_output.tesk": identity([1, 1, 16384, 16384]),  # 1 GiB: beyond the engine's bound
        "huge_intermediate.tesk": huge_intermediate(),
        "bad_rank5.tesk": affine((1, 1, 3, 4, 4)),
        "bad_dynamic.tesk": affine(("N", 3, 4, 4)),
        "bad_int64.tesk": cast(F32, T.INT64),
        "bad_sequence.tesk": model([node("SequenceAt", ["x", "zero"], "y")],
                                   [helper.make_tensor_sequence_value_info("x", F32, [1, 3, 4, 4])],
                                   [tensor("y", F32, [1, 3, 4, 4])], {"zero": np.int64(0)}),
        "bad_format.tesk": affine(meta={"tesk.format.y": 9}),
        "bad_format5.tesk": affine(meta={"tesk.format.y": 5}),  # not N x CB x H x W x 4
        "empty.tesk": b"",
        "not_onnx.tesk": b"this is not a model\n",
    }
    files["truncated.tesk"] = files["affine.tesk"][: len(files["affine.tesk"]) // 2]
    return files


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True)
    out = pathlib.Path(parser.parse_args().out)
    out.mkdir(parents=True, exist_ok=True)
    for name, data in build_all().items():
        if not (out / name).is_file() or (out / name).read_bytes() != data:
            (out / (name + ".tmp")).write_bytes(data)
            os.replace(out / (name + ".tmp"), out / name)
