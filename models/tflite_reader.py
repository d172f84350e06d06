"""Minimal reader for TensorFlow Lite flatbuffer models.

Only what the segmentation network needs: tensors with their constant data,
operator codes (builtin and custom), operators with their options, and the
subgraph's inputs and outputs. Tables are read with the flatbuffers runtime's
low-level Table API; field numbers follow TensorFlow Lite's public schema
(a field with id N sits at vtable offset 4 + 2*N).
"""

import struct

import numpy as np
from flatbuffers import encode
from flatbuffers import number_types as N
from flatbuffers.table import Table

# TensorType
TENSOR_TYPES = {
    0: np.float32,
    1: np.float16,
    2: np.int32,
    3: np.uint8,
    4: np.int64,
    6: np.bool_,
    7: np.int16,
    9: np.int8,
}

# BuiltinOperator values used by the networks we convert.
BUILTIN_NAMES = {
    0: "ADD",
    1: "AVERAGE_POOL_2D",
    2: "CONCATENATION",
    3: "CONV_2D",
    4: "DEPTHWISE_CONV_2D",
    6: "DEQUANTIZE",
    14: "LOGISTIC",
    17: "MAX_POOL_2D",
    18: "MUL",
    19: "RELU",
    21: "RELU6",
    22: "RESHAPE",
    23: "RESIZE_BILINEAR",
    32: "CUSTOM",
    34: "PAD",
    40: "MEAN",
    41: "SUB",
    67: "TRANSPOSE_CONV",
    117: "HARD_SWISH",
}
PLACEHOLDER_FOR_GREATER_OP_CODES = 127

# ActivationFunctionType
ACTIVATIONS = {0: "NONE", 1: "RELU", 2: "RELU_N1_TO_1", 3: "RELU6", 4: "TANH", 5: "SIGN_BIT"}
# Padding
PADDINGS = {0: "SAME", 1: "VALID"}


def _slot(field_id):
    return 4 + 2 * field_id


class _T:
    """A flatbuffer table with typed accessors by schema field id."""

    def __init__(self, buf, pos):
        self.t = Table(buf, pos)

    def _off(self, fid):
        return self.t.Offset(_slot(fid))

    def has(self, fid):
        return self._off(fid) != 0

    def scalar(self, fid, flags, default=0):
        o = self._off(fid)
        if o == 0:
            return default
        return self.t.Get(flags, self.t.Pos + o)

    def int8(self, fid, default=0):
        return self.scalar(fid, N.Int8Flags, default)

    def uint8(self, fid, default=0):
        return self.scalar(fid, N.Uint8Flags, default)

    def int32(self, fid, default=0):
        return self.scalar(fid, N.Int32Flags, default)

    def uint32(self, fid, default=0):
        return self.scalar(fid, N.Uint32Flags, default)

    def boolean(self, fid, default=False):
        return bool(self.scalar(fid, N.BoolFlags, default))

    def string(self, fid):
        o = self._off(fid)
        if o == 0:
            return None
        return self.t.String(self.t.Pos + o).decode("utf-8")

    def table(self, fid):
        o = self._off(fid)
        if o == 0:
            return None
        return _T(self.t.Bytes, self.t.Indirect(self.t.Pos + o))

    def vector_len(self, fid):
        o = self._off(fid)
        return 0 if o == 0 else self.t.VectorLen(o)

    def vector_bytes(self, fid):
        o = self._off(fid)
        if o == 0:
            return b""
        start = self.t.Vector(o)
        return bytes(self.t.Bytes[start:start + self.t.VectorLen(o)])

    def vector_numbers(self, fid, dtype):
        o = self._off(fid)
        if o == 0:
            return []
        start = self.t.Vector(o)
        n = self.t.VectorLen(o)
        dt = np.dtype(dtype).newbyteorder("<")
        return np.frombuffer(self.t.Bytes, dtype=dt, count=n, offset=start).tolist()

    def vector_tables(self, fid):
        o = self._off(fid)
        if o == 0:
            return []
        start = self.t.Vector(o)
        n = self.t.VectorLen(o)
        out = []
        for i in range(n):
            elem = start + i * N.UOffsetTFlags.bytewidth
            out.append(_T(self.t.Bytes, self.t.Indirect(elem)))
        return out


class Tensor:
    def __init__(self, index, name, shape, dtype, data):
        self.index = index
        self.name = name
        self.shape = tuple(shape)
        self.dtype = dtype
        self.data = data  # numpy array for constants, else None

    def __repr__(self):
        const = " const" if self.data is not None else ""
        return f"Tensor({self.index} {self.name!r} {self.shape} {np.dtype(self.dtype).name}{const})"


class Operator:
    def __init__(self, index, opcode, custom_code, inputs, outputs, options, custom_options):
        self.index = index
        self.opcode = opcode  # name such as "CONV_2D", or "CUSTOM"
        self.custom_code = custom_code
        self.inputs = inputs
        self.outputs = outputs
        self.options = options  # dict of decoded builtin options
        self.custom_options = custom_options  # raw bytes

    @property
    def kind(self):
        return self.custom_code if self.opcode == "CUSTOM" else self.opcode

    def __repr__(self):
        return f"Op({self.index} {self.kind} in={self.inputs} out={self.outputs} {self.options})"


class Model:
    def __init__(self, tensors, operators, inputs, outputs, description):
        self.tensors = tensors
        self.operators = operators
        self.inputs = inputs
        self.outputs = outputs
        self.description = description


def _decode_options(kind, opt):
    """Decodes the builtin options table of one operator into a dict."""
    if opt is None:
        return {}
    if kind == "CONV_2D":
        # Conv2DOptions: padding, stride_w, stride_h, fused_activation_function,
        # dilation_w_factor, dilation_h_factor
        return {
            "padding": PADDINGS[opt.int8(0)],
            "stride_w": opt.int32(1),
            "stride_h": opt.int32(2),
            "activation": ACTIVATIONS[opt.int8(3)],
            "dilation_w": opt.int32(4, 1),
            "dilation_h": opt.int32(5, 1),
        }
    if kind == "DEPTHWISE_CONV_2D":
        # DepthwiseConv2DOptions: padding, stride_w, stride_h, depth_multiplier,
        # fused_activation_function, dilation_w_factor, dilation_h_factor
        return {
            "padding": PADDINGS[opt.int8(0)],
            "stride_w": opt.int32(1),
            "stride_h": opt.int32(2),
            "depth_multiplier": opt.int32(3),
            "activation": ACTIVATIONS[opt.int8(4)],
            "dilation_w": opt.int32(5, 1),
            "dilation_h": opt.int32(6, 1),
        }
    if kind in ("ADD", "MUL", "SUB"):
        # AddOptions / MulOptions / SubOptions: fused_activation_function first
        return {"activation": ACTIVATIONS[opt.int8(0)]}
    if kind == "RESIZE_BILINEAR":
        # ResizeBilinearOptions: new_height (deprecated), new_width (deprecated),
        # align_corners, half_pixel_centers
        return {"align_corners": opt.boolean(2), "half_pixel_centers": opt.boolean(3)}
    if kind == "MEAN":
        # ReducerOptions: keep_dims
        return {"keep_dims": opt.boolean(0)}
    if kind in ("AVERAGE_POOL_2D", "MAX_POOL_2D"):
        # Pool2DOptions: padding, stride_w, stride_h, filter_width, filter_height,
        # fused_activation_function
        return {
            "padding": PADDINGS[opt.int8(0)],
            "stride_w": opt.int32(1),
            "stride_h": opt.int32(2),
            "filter_w": opt.int32(3),
            "filter_h": opt.int32(4),
            "activation": ACTIVATIONS[opt.int8(5)],
        }
    if kind == "CONCATENATION":
        return {"axis": opt.int32(0), "activation": ACTIVATIONS[opt.int8(1)]}
    if kind == "TRANSPOSE_CONV":
        return {"padding": PADDINGS[opt.int8(0)], "stride_w": opt.int32(1), "stride_h": opt.int32(2)}
    return {}


def read_model(path):
    with open(path, "rb") as f:
        buf = bytearray(f.read())
    if len(buf) < 8 or bytes(buf[4:8]) != b"TFL3":
        raise ValueError(f"{path}: not a TensorFlow Lite model (no TFL3 identifier)")
    root = _T(buf, encode.Get(N.UOffsetTFlags.packer_type, buf, 0))

    # Model: version, operator_codes, subgraphs, description, buffers, metadata_buffer
    description = root.string(3) or ""
    buffers = [b.vector_bytes(0) for b in root.vector_tables(4)]  # Buffer: data

    opcodes = []
    for oc in root.vector_tables(1):
        # OperatorCode: deprecated_builtin_code (byte), custom_code, version, builtin_code (int)
        code = oc.int8(0)
        if oc.has(3):
            code = max(code, oc.int32(3))
        name = BUILTIN_NAMES.get(code, f"BUILTIN_{code}")
        opcodes.append((name, oc.string(1)))

    subgraphs = root.vector_tables(2)
    if len(subgraphs) != 1:
        raise ValueError(f"{path}: expected one subgraph, found {len(subgraphs)}")
    sg = subgraphs[0]
    # SubGraph: tensors, inputs, outputs, operators, name

    tensors = []
    for i, t in enumerate(sg.vector_tables(0)):
        # Tensor: shape, type, buffer, name, quantization, is_variable
        shape = t.vector_numbers(0, np.int32)
        ttype = t.int8(1)
        if ttype not in TENSOR_TYPES:
            raise ValueError(f"tensor {i}: unsupported type {ttype}")
        dtype = TENSOR_TYPES[ttype]
        quant = t.table(4)
        if quant is not None and quant.vector_len(2) > 0:
            raise ValueError(f"tensor {i}: quantized tensors are not supported")
        raw = buffers[t.uint32(2)] if t.uint32(2) < len(buffers) else b""
        data = None
        if raw:
            data = np.frombuffer(raw, dtype=np.dtype(dtype).newbyteorder("<")).astype(dtype)
            data = data.reshape(shape) if shape else data.reshape(())
        tensors.append(Tensor(i, t.string(3) or f"t{i}", shape, dtype, data))

    operators = []
    for i, op in enumerate(sg.vector_tables(3)):
        # Operator: opcode_index, inputs, outputs, builtin_options_type (union
        # tag), builtin_options, custom_options, custom_options_format, ...
        name, custom = opcodes[op.uint32(0)]
        inputs = op.vector_numbers(1, np.int32)
        outputs = op.vector_numbers(2, np.int32)
        # The union value occupies two slots: its type tag (field 3) and the table (field 4).
        options = _decode_options(name, op.table(4))
        custom_options = op.vector_bytes(5)
        operators.append(Operator(i, name, custom, inputs, outputs, options, custom_options))

    return Model(tensors, operators, sg.vector_numbers(1, np.int32), sg.vector_numbers(2, np.int32), description)


def transpose_conv_bias_params(custom_options):
    """Decodes the options of the custom Convolution2DTransposeBias operator.

    They are the runtime's transpose-convolution parameter struct stored as raw
    little-endian int32 words: padding (1 = same, 2 = valid), stride_w, stride_h.
    Returns None when the options are absent or not of that form.
    """
    if len(custom_options) != 12:
        return None
    padding, stride_w, stride_h = struct.unpack("<3i", custom_options)
    if padding not in (1, 2):
        return None
    return {"padding": "SAME" if padding == 1 else "VALID", "stride_w": stride_w, "stride_h": stride_h}


def main():
    import sys

    m = read_model(sys.argv[1])
    print(f"inputs {m.inputs} outputs {m.outputs} description {m.description!r}")
    for t in m.tensors:
        print(t)
    for op in m.operators:
        extra = ""
        if op.opcode == "CUSTOM":
            extra = f" custom_options={list(op.custom_options)} {transpose_conv_bias_params(op.custom_options)}"
        print(op, extra)


if __name__ == "__main__":
    main()
