#!/usr/bin/python3
"""Builds the small .tesk (ONNX) models that the engine and NNX tests run.

    /usr/bin/python3 tests/engine/make_test_models.py --out build/models/test

Usable models:
  affine.tesk      x f32 1x3x4x4 -> y = 2x + 1
  rank3.tesk       x f32 2x3x5   -> y = x + 1            (dims reported 1,2,3,5)
  two_outputs.tesk x f32 1x3x4x4 -> sum = x + 1, mean = channel mean 1x1x4x4
  two_inputs.tesk  a, b f32 1x3x4x4 -> y = a - b
  half_out.tesk    x f32 1x3x4x4 -> y f16 = x
  half_in.tesk     x f16 1x3x4x4 -> y f32 = 2x
  ints.tesk        x u8 NHWC 1x4x5x3 (format 1) -> u8 255-x, i8 x-128,
                   i32 1000x, u32 x*2^24+1, all NHWC (format 1)
  formats.tesk     x f32 1x6x4x5 -> v = 2x + 1 delivered as
                   y1 NHWC (format 1), y2 NHWC4 (format 2, channels 6),
                   y5 NC4HW4 (format 5, channels 6), y7 NCWH (format 7)
Models the engine must refuse:
  empty.tesk, truncated.tesk, not_onnx.tesk, bad_rank5.tesk, bad_dynamic.tesk,
  bad_int64.tesk, bad_sequence.tesk, bad_format.tesk, bad_format5.tesk

Tensor formats are declared in the model's metadata_props as
"tesk.format.<tensor>" = code and, for the padded formats 2 and 5,
"tesk.channels.<tensor>" = the logical channel count. A file is rewritten only
when its bytes change, so repeated runs leave the folder untouched.
"""

import argparse
import os
import sys

import numpy as np
import onnx
from onnx import TensorProto, helper, numpy_helper

OPSET = 13
F32, F16 = TensorProto.FLOAT, TensorProto.FLOAT16


def tensor(name, elem, shape):
    return helper.make_tensor_value_info(name, elem, shape)


def const(name, array):
    return numpy_helper.from_array(np.asarray(array), name)


def model(nodes, inputs, outputs, inits=(), meta=None, name="test"):
    graph = helper.make_graph(nodes, name, inputs, outputs, initializer=list(inits))
    m = helper.make_model(graph, opset_imports=[helper.make_opsetid("", OPSET)],
                          producer_name="vidra-tests")
    m.ir_version = 7
    for key, value in (meta or {}).items():
        entry = m.metadata_props.add()
        entry.key, entry.value = key, str(value)
    onnx.checker.check_model(m)
    return m.SerializeToString()


def affine():
    return model([helper.make_node("Mul", ["x", "two"], ["t"]),
                  helper.make_node("Add", ["t", "one"], ["y"])],
                 [tensor("x", F32, [1, 3, 4, 4])], [tensor("y", F32, [1, 3, 4, 4])],
                 [const("two", np.float32(2)), const("one", np.float32(1))])


def rank3():
    return model([helper.make_node("Add", ["x", "one"], ["y"])],
                 [tensor("x", F32, [2, 3, 5])], [tensor("y", F32, [2, 3, 5])],
                 [const("one", np.float32(1))])


def two_outputs():
    return model([helper.make_node("Add", ["x", "one"], ["sum"]),
                  helper.make_node("ReduceMean", ["x"], ["mean"], axes=[1], keepdims=1)],
                 [tensor("x", F32, [1, 3, 4, 4])],
                 [tensor("sum", F32, [1, 3, 4, 4]), tensor("mean", F32, [1, 1, 4, 4])],
                 [const("one", np.float32(1))])


def two_inputs():
    return model([helper.make_node("Sub", ["a", "b"], ["y"])],
                 [tensor("a", F32, [1, 3, 4, 4]), tensor("b", F32, [1, 3, 4, 4])],
                 [tensor("y", F32, [1, 3, 4, 4])])


def half_out():
    return model([helper.make_node("Cast", ["x"], ["y"], to=F16)],
                 [tensor("x", F32, [1, 3, 4, 4])], [tensor("y", F16, [1, 3, 4, 4])])


def half_in():
    return model([helper.make_node("Cast", ["x"], ["xf"], to=F32),
                  helper.make_node("Mul", ["xf", "two"], ["y"])],
                 [tensor("x", F16, [1, 3, 4, 4])], [tensor("y", F32, [1, 3, 4, 4])],
                 [const("two", np.float32(2))])


def ints():
    shape = [1, 4, 5, 3]
    nodes = [
        helper.make_node("Cast", ["x"], ["xi"], to=TensorProto.INT32),
        helper.make_node("Sub", ["c255", "xi"], ["inv"]),
        helper.make_node("Cast", ["inv"], ["u8"], to=TensorProto.UINT8),
        helper.make_node("Sub", ["xi", "c128"], ["shifted"]),
        helper.make_node("Cast", ["shifted"], ["i8"], to=TensorProto.INT8),
        helper.make_node("Mul", ["xi", "c1000"], ["i32"]),
        helper.make_node("Cast", ["x"], ["xl"], to=TensorProto.INT64),
        helper.make_node("Mul", ["xl", "c2p24"], ["big"]),
        helper.make_node("Add", ["big", "c1"], ["big1"]),
        helper.make_node("Cast", ["big1"], ["u32"], to=TensorProto.UINT32),
    ]
    inits = [const("c255", np.int32(255)), const("c128", np.int32(128)),
             const("c1000", np.int32(1000)), const("c2p24", np.int64(1 << 24)),
             const("c1", np.int64(1))]
    outs = [tensor("u8", TensorProto.UINT8, shape), tensor("i8", TensorProto.INT8, shape),
            tensor("i32", TensorProto.INT32, shape), tensor("u32", TensorProto.UINT32, shape)]
    meta = {"tesk.format." + n: 1 for n in ("x", "u8", "i8", "i32", "u32")}
    return model(nodes, [tensor("x", TensorProto.UINT8, shape)], outs, inits, meta)


def formats():
    n, c, h, w = 1, 6, 4, 5
    c4 = (c + 3) // 4 * 4
    nodes = [
        helper.make_node("Mul", ["x", "two"], ["t"]),
        helper.make_node("Add", ["t", "one"], ["v"]),
        helper.make_node("Transpose", ["v"], ["y1"], perm=[0, 2, 3, 1]),
        helper.make_node("Pad", ["v", "pads"], ["vp"]),
        helper.make_node("Transpose", ["vp"], ["y2"], perm=[0, 2, 3, 1]),
        helper.make_node("Reshape", ["vp", "blocks"], ["vb"]),
        helper.make_node("Transpose", ["vb"], ["y5"], perm=[0, 1, 3, 4, 2]),
        helper.make_node("Transpose", ["v"], ["y7"], perm=[0, 1, 3, 2]),
    ]
    inits = [const("two", np.float32(2)), const("one", np.float32(1)),
             const("pads", np.array([0, 0, 0, 0, 0, c4 - c, 0, 0], np.int64)),
             const("blocks", np.array([n, c4 // 4, 4, h, w], np.int64))]
    outs = [tensor("y1", F32, [n, h, w, c]), tensor("y2", F32, [n, h, w, c4]),
            tensor("y5", F32, [n, c4 // 4, h, w, 4]), tensor("y7", F32, [n, c, w, h])]
    meta = {"tesk.format.y1": 1, "tesk.format.y2": 2, "tesk.channels.y2": c,
            "tesk.format.y5": 5, "tesk.channels.y5": c, "tesk.format.y7": 7}
    return model(nodes, [tensor("x", F32, [n, c, h, w])], outs, inits, meta)


def bad_rank5():
    return model([helper.make_node("Mul", ["x", "two"], ["y"])],
                 [tensor("x", F32, [1, 1, 3, 4, 4])], [tensor("y", F32, [1, 1, 3, 4, 4])],
                 [const("two", np.float32(2))])


def bad_dynamic():
    return model([helper.make_node("Mul", ["x", "two"], ["y"])],
                 [tensor("x", F32, ["N", 3, 4, 4])], [tensor("y", F32, ["N", 3, 4, 4])],
                 [const("two", np.float32(2))])


def bad_int64():
    return model([helper.make_node("Cast", ["x"], ["y"], to=TensorProto.INT64)],
                 [tensor("x", F32, [1, 3, 4, 4])], [tensor("y", TensorProto.INT64, [1, 3, 4, 4])])


def bad_sequence():
    seq = helper.make_tensor_sequence_value_info("s", F32, [1, 3, 4, 4])
    return model([helper.make_node("SequenceAt", ["s", "zero"], ["y"])],
                 [seq], [tensor("y", F32, [1, 3, 4, 4])], [const("zero", np.int64(0))])


def bad_format():
    m = onnx.load_from_string(affine())
    entry = m.metadata_props.add()
    entry.key, entry.value = "tesk.format.y", "9"
    return m.SerializeToString()


def bad_format5():
    # Declared blocked, but the tensor is not of the blocked shape N x CB x H x W x 4.
    m = onnx.load_from_string(affine())
    entry = m.metadata_props.add()
    entry.key, entry.value = "tesk.format.y", "5"
    return m.SerializeToString()


def build_all():
    files = {
        "affine.tesk": affine(), "rank3.tesk": rank3(), "two_outputs.tesk": two_outputs(),
        "two_inputs.tesk": two_inputs(),
        "half_out.tesk": half_out(), "half_in.tesk": half_in(), "ints.tesk": ints(),
        "formats.tesk": formats(),
        "bad_rank5.tesk": bad_rank5(), "bad_dynamic.tesk": bad_dynamic(),
        "bad_int64.tesk": bad_int64(), "bad_sequence.tesk": bad_sequence(),
        "bad_format.tesk": bad_format(), "bad_format5.tesk": bad_format5(),
        "empty.tesk": b"", "not_onnx.tesk": b"this is not a model\n",
    }
    files["truncated.tesk"] = files["affine.tesk"][: len(files["affine.tesk"]) // 2]
    return files


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True, help="output folder")
    out = parser.parse_args().out
    os.makedirs(out, exist_ok=True)
    written = 0
    for name, data in sorted(build_all().items()):
        path = os.path.join(out, name)
        if os.path.isfile(path):
            with open(path, "rb") as f:
                if f.read() == data:
                    continue
        with open(path + ".tmp", "wb") as f:
            f.write(data)
        os.replace(path + ".tmp", path)
        written += 1
    print(f"make_test_models: {written} written, {len(build_all()) - written} up to date in {out}",
          file=sys.stderr)


if __name__ == "__main__":
    main()
