"""Converts the segmentation network from TensorFlow Lite to an ONNX graph.

The TFLite graph is NHWC; the ONNX graph built here is NCHW throughout, so no
layout transposes appear at run time: weights are permuted once at conversion.
Float16 weights that the TFLite graph dequantizes at run time are folded into
float32 initializers.

`convert_core` emits the network body into a GraphBuilder and returns the name
of the person logit (the input of the final LOGISTIC). The build script wraps
that body with the input scaling/resizing and output heads.
"""

import numpy as np
from onnx import TensorProto, helper, numpy_helper

from tflite_reader import transpose_conv_bias_params

OPSET = 14  # HardSwish needs 14; kept low so older runtimes load the models.


class GraphBuilder:
    def __init__(self):
        self.nodes = []
        self.initializers = []
        self._names = set()
        self._counter = 0

    def unique(self, base):
        base = base.replace(":", "_").replace("/", "_") or "t"
        name = base
        while name in self._names:
            self._counter += 1
            name = f"{base}_{self._counter}"
        self._names.add(name)
        return name

    def const(self, base, array):
        name = self.unique(base)
        self.initializers.append(numpy_helper.from_array(np.ascontiguousarray(array), name))
        return name

    def node(self, op, inputs, base, n_out=1, **attrs):
        outs = [self.unique(base if n_out == 1 else f"{base}_{i}") for i in range(n_out)]
        self.nodes.append(helper.make_node(op, inputs, outs, name=self.unique(f"{op}_{base}"), **attrs))
        return outs[0] if n_out == 1 else outs

    def model(self, inputs, outputs, doc=""):
        """inputs/outputs: lists of (name, shape); all float32."""
        graph = helper.make_graph(
            self.nodes,
            "segmentation",
            [helper.make_tensor_value_info(n, TensorProto.FLOAT, list(s)) for n, s in inputs],
            [helper.make_tensor_value_info(n, TensorProto.FLOAT, list(s)) for n, s in outputs],
            initializer=self.initializers,
        )
        m = helper.make_model(graph, opset_imports=[helper.make_opsetid("", OPSET)],
                              producer_name="vidra-models", doc_string=doc)
        # IR 8 is what ONNX Runtime releases of the last years all accept.
        m.ir_version = 8
        return m


def same_pads(in_size, kernel, stride, dilation=1):
    """TFLite SAME padding for one axis: (before, after); the extra goes after."""
    eff = (kernel - 1) * dilation + 1
    out = -(-in_size // stride)
    total = max((out - 1) * stride + eff - in_size, 0)
    return total // 2, total - total // 2


def _conv(g, x, w, ins, const_f32, o, in_shape, base, group, scale):
    """A TFLite (depthwise) convolution as an ONNX Conv; w is already OIHW.

    TFLite's SAME padding puts the odd pixel after, so the pads are explicit.
    """
    b = const_f32(ins[2]) if len(ins) > 2 and ins[2] >= 0 else np.zeros(w.shape[0], np.float32)
    if scale is not None:
        w = w * np.float32(scale)
    pads = [0, 0, 0, 0]
    if o["padding"] == "SAME":
        pt, pb = same_pads(in_shape[1], w.shape[2], o["stride_h"], o["dilation_h"])
        pl, pr = same_pads(in_shape[2], w.shape[3], o["stride_w"], o["dilation_w"])
        pads = [pt, pl, pb, pr]
    y = g.node("Conv", [x, g.const(base + "_w", w), g.const(base + "_b", b)], base,
               kernel_shape=list(w.shape[2:]), strides=[o["stride_h"], o["stride_w"]],
               dilations=[o["dilation_h"], o["dilation_w"]], pads=pads, group=group)
    return _activation(g, y, o["activation"], base)


def _activation(g, x, act, base):
    if act == "NONE":
        return x
    if act == "RELU":
        return g.node("Relu", [x], base + "_relu")
    if act == "RELU6":
        return g.node("Clip", [x, g.const(base + "_lo", np.float32(0)), g.const(base + "_hi", np.float32(6))],
                      base + "_relu6")
    raise NotImplementedError(f"fused activation {act}")


def _broadcast_spatially(g, operands, shapes, base):
    """Expands a per-channel 1x1 operand to the other operand's height and width.

    The squeeze-and-excitation blocks multiply a feature map by per-channel
    gates. ONNX Runtime runs the convolutions in a blocked channel layout, but
    only element-wise products of equal shapes stay in that layout; a
    broadcasting Mul makes it reorder the whole feature map out and back in.
    A nearest-neighbour Resize of the 1x1 gate (an exact copy) keeps the block
    layout throughout.
    """
    (a, b), (sa, sb) = operands, shapes
    if len(sa) != 4 or len(sb) != 4 or sa[3] != sb[3]:
        return operands
    if sa[1:3] == (1, 1) and sb[1:3] != (1, 1):
        small, big, shape = 0, 1, sb
    elif sb[1:3] == (1, 1) and sa[1:3] != (1, 1):
        small, big, shape = 1, 0, sa
    else:
        return operands
    scales = g.const(base + "_gate_scales", np.array([1, 1, shape[1], shape[2]], np.float32))
    gate = g.node("Resize", [operands[small], "", scales], base + "_gate", mode="nearest",
                  coordinate_transformation_mode="asymmetric", nearest_mode="floor")
    out = list(operands)
    out[small] = gate
    return out


def convert_core(g, model, input_name, first_conv_scale=1.0, final_transpose_signs=None):
    """Emits the network on `input_name` (NCHW, the TFLite input's geometry).

    first_conv_scale multiplies the weights of the convolution that reads the
    network input (folding an input scaling into it; valid because zero
    padding commutes with scaling). final_transpose_signs, when given (e.g.
    [-1, 1]), replicates the single-channel output convolution once per sign
    with negated weights and bias, producing several logit planes at once.

    The final LOGISTIC is not emitted: callers decide how to activate.
    Returns (logit_name, logit_shape_nchw).
    """
    tensors = model.tensors
    consts = {t.index: t.data for t in tensors if t.data is not None}
    names = {model.inputs[0]: input_name}
    producer_of = {}
    for op in model.operators:
        for o in op.outputs:
            producer_of[o] = op

    def nchw(shape):
        if len(shape) != 4:
            raise ValueError(f"expected a 4-D activation, got {shape}")
        return (shape[0], shape[3], shape[1], shape[2])

    def const_f32(idx):
        return np.asarray(consts[idx], dtype=np.float32)

    final = producer_of.get(model.outputs[0]) if len(model.outputs) == 1 else None
    if final is None or final.kind != "LOGISTIC":
        raise ValueError("the network must have one output, produced by LOGISTIC")
    logit_idx = final.inputs[0]

    for op in model.operators:
        kind = op.kind
        ins, outs = op.inputs, op.outputs
        out_t = tensors[outs[0]]
        base = out_t.name
        if kind == "DEQUANTIZE":
            if ins[0] not in consts:
                raise NotImplementedError("DEQUANTIZE of a non-constant tensor")
            consts[outs[0]] = consts[ins[0]].astype(np.float32)
            continue
        if all(i in consts for i in ins if i >= 0):
            raise NotImplementedError(f"constant subgraph at op {op.index} ({kind})")

        x = names[ins[0]]
        in_shape = tensors[ins[0]].shape
        if kind == "CONV_2D":
            w = const_f32(ins[1]).transpose(0, 3, 1, 2)  # OHWI -> OIHW
            y = _conv(g, x, w, ins, const_f32, op.options, in_shape, base, group=1,
                      scale=first_conv_scale if ins[0] == model.inputs[0] else None)
        elif kind == "DEPTHWISE_CONV_2D":
            w = const_f32(ins[1]).transpose(3, 0, 1, 2)  # 1, H, W, C*mult -> C*mult, 1, H, W
            y = _conv(g, x, w, ins, const_f32, op.options, in_shape, base, group=in_shape[3],
                      scale=first_conv_scale if ins[0] == model.inputs[0] else None)
        elif kind == "RELU":
            y = g.node("Relu", [x], base)
        elif kind == "RELU6":
            y = _activation(g, x, "RELU6", base)
        elif kind == "HARD_SWISH":
            y = g.node("HardSwish", [x], base)
        elif kind == "LOGISTIC":
            if op is final:
                continue
            y = g.node("Sigmoid", [x], base)
        elif kind in ("ADD", "MUL", "SUB"):
            operands = []
            for i in ins:
                if i in consts:
                    c = const_f32(i)
                    if c.ndim == 4:
                        c = c.transpose(0, 3, 1, 2)
                    elif c.ndim == 1 and c.size > 1:
                        c = c.reshape(1, -1, 1, 1)
                    operands.append(g.const(tensors[i].name, c))
                else:
                    operands.append(names[i])
            if kind == "MUL" and len(ins) == 2 and all(i not in consts for i in ins):
                operands = _broadcast_spatially(g, operands, [tensors[i].shape for i in ins], base)
            y = g.node({"ADD": "Add", "MUL": "Mul", "SUB": "Sub"}[kind], operands, base)
            y = _activation(g, y, op.options["activation"], base)
        elif kind == "MEAN":
            axes = sorted(int(a) % 4 for a in np.asarray(consts[ins[1]]).ravel())
            if axes != [1, 2] or not op.options.get("keep_dims"):
                raise NotImplementedError(f"MEAN over {axes} keep_dims={op.options.get('keep_dims')}")
            y = g.node("GlobalAveragePool", [x], base)
        elif kind == "RESIZE_BILINEAR":
            o = op.options
            size = [int(v) for v in np.asarray(consts[ins[1]]).ravel()]
            if o["align_corners"]:
                mode = "align_corners"
            elif o["half_pixel_centers"]:
                mode = "half_pixel"
            else:
                mode = "asymmetric"
            n, c = 1, in_shape[3]
            sizes = g.const(base + "_sizes", np.array([n, c, size[0], size[1]], np.int64))
            y = g.node("Resize", [x, "", "", sizes], base, mode="linear",
                       coordinate_transformation_mode=mode)
        elif kind == "Convolution2DTransposeBias":
            p = transpose_conv_bias_params(op.custom_options)
            w = const_f32(ins[1])  # O, kh, kw, I
            b = const_f32(ins[2])
            out_shape = out_t.shape
            if p is None:
                # Infer the stride from the geometry; SAME padding is the only
                # layout the segmentation models use.
                p = {"padding": "SAME", "stride_h": out_shape[1] // in_shape[1],
                     "stride_w": out_shape[2] // in_shape[2]}
            sh, sw = p["stride_h"], p["stride_w"]
            kh, kw = w.shape[1], w.shape[2]
            pads = [0, 0, 0, 0]
            if p["padding"] == "SAME":
                # As for the forward convolution that maps the output to the input.
                pt, pb = same_pads(out_shape[1], kh, sh)
                pl, pr = same_pads(out_shape[2], kw, sw)
                pads = [pt, pl, pb, pr]
            if outs[0] == logit_idx and final_transpose_signs is not None:
                if w.shape[0] != 1:
                    raise ValueError("sign replication expects a single output channel")
                w = np.concatenate([w * np.float32(s) for s in final_transpose_signs], axis=0)
                b = np.concatenate([b * np.float32(s) for s in final_transpose_signs], axis=0)
            wt = w.transpose(3, 0, 1, 2)  # I, O, kh, kw
            y = g.node("ConvTranspose", [x, g.const(base + "_w", wt), g.const(base + "_b", b)], base,
                       kernel_shape=[kh, kw], strides=[sh, sw], pads=pads)
            # Check the output geometry against the model.
            oh = (in_shape[1] - 1) * sh + kh - pads[0] - pads[2]
            ow = (in_shape[2] - 1) * sw + kw - pads[1] - pads[3]
            if (oh, ow) != tuple(out_shape[1:3]):
                raise ValueError(f"transpose conv output {oh}x{ow} != {out_shape[1:3]}")
        else:
            raise NotImplementedError(f"operator {kind}")
        names[outs[0]] = y

    if final_transpose_signs is not None and producer_of[logit_idx].kind != "Convolution2DTransposeBias":
        raise NotImplementedError("sign replication needs a transposed convolution before the output")
    shape = nchw(tensors[logit_idx].shape)
    if final_transpose_signs is not None:
        shape = (shape[0], shape[1] * len(final_transpose_signs), shape[2], shape[3])
    return names[logit_idx], shape
