"""numpy arrays described as VidraImage / VidraMask, without copying them."""
import numpy as np

from ._checks import INT32_MAX
from ._types import BGR24, BGRA32, I420, NV12, RGB24, RGBA32, Image, Mask

FORMATS = {"rgb": RGB24, "rgba": RGBA32, "bgr": BGR24, "bgra": BGRA32}
PLANAR = {"nv12": NV12, "i420": I420}
CHANNELS = {RGB24: 3, BGR24: 3, RGBA32: 4, BGRA32: 4}


def format_code(format, channels):
    """A pixel format code from a name ('rgb', 'bgra', ...), a code, or None
    (RGB for 3 channels, RGBA for 4)."""
    if format is None:
        return RGB24 if channels == 3 else RGBA32
    code = FORMATS.get(format.lower()) if isinstance(format, str) else format
    if code not in CHANNELS:
        raise ValueError("unknown pixel format %r (use one of %s)" % (format, ", ".join(FORMATS)))
    return code


def _uint8_array(array, name, ndim):
    if not isinstance(array, np.ndarray):
        raise TypeError("%s must be a numpy array, not %s" % (name, type(array).__name__))
    if array.dtype != np.uint8:
        raise TypeError("%s must have dtype uint8, not %s" % (name, array.dtype))
    if array.ndim != ndim:
        raise ValueError("%s must have %d dimensions, has shape %s" % (name, ndim, array.shape))
    # The library's sizes are 32-bit: a larger one would reach it truncated.
    if ndim >= 2 and max(array.shape[:2]) > INT32_MAX:
        raise ValueError("%s has shape %s; the library takes at most %d rows and columns"
                         % (name, array.shape, INT32_MAX))


def _row_stride(array, name):
    """The row stride, refused when rows overlap (a broadcast array has
    stride 0) or it does not fit 32 bits."""
    row_bytes = array.shape[1] * (array.shape[2] if array.ndim == 3 else 1)
    # One row reads the same bytes whatever the stride; numpy may give it any.
    stride = row_bytes if array.shape[0] == 1 else array.strides[0]
    if abs(stride) < row_bytes:
        raise ValueError("%s: rows overlap (row stride %d, %d bytes per row), as in a broadcast "
                         "array; np.ascontiguousarray makes a copy" % (name, stride, row_bytes))
    if abs(stride) > INT32_MAX:
        raise ValueError("%s: row stride %d does not fit 32 bits" % (name, stride))
    return stride


def image(array, format=None, name="frame", writable=False):
    """A VidraImage over an (H, W, 3|4) uint8 array whose pixels are packed
    within each row; rows may be padded or run bottom-up (negative stride)."""
    _uint8_array(array, name, 3)
    channels = array.shape[2]
    if channels not in (3, 4):
        raise ValueError("%s must have 3 or 4 channels, has shape %s" % (name, array.shape))
    code = format_code(format, channels)
    if CHANNELS[code] != channels:
        raise ValueError("%s has %d channels, its format needs %d" % (name, channels, CHANNELS[code]))
    if array.strides[2] != 1 or array.strides[1] != channels:
        raise ValueError("%s: pixels must be packed within a row (strides %s); "
                         "np.ascontiguousarray makes such a copy" % (name, array.strides))
    if writable and not array.flags.writeable:
        raise ValueError("%s is read-only" % name)
    result = Image(width=array.shape[1], height=array.shape[0], format=code)
    result.planes[0] = array.ctypes.data
    result.strides[0] = _row_stride(array, name)
    return result


def planar(array, width, height, format):
    """A VidraImage over an NV12 or I420 frame stored as ffmpeg's rawvideo
    writes it: the planes one after the other, unpadded, in a C-contiguous
    uint8 array of any shape. None when format is not one of these."""
    code = PLANAR.get(format.lower()) if isinstance(format, str) else None
    if code is None:
        return None
    _uint8_array(array, "frame", array.ndim if isinstance(array, np.ndarray) else 1)
    chroma_w, chroma_h = (width + 1) // 2, (height + 1) // 2
    if code == NV12:
        sizes, strides = (width * height, 2 * chroma_w * chroma_h), (width, 2 * chroma_w)
    else:
        sizes, strides = (width * height, chroma_w * chroma_h, chroma_w * chroma_h), (width, chroma_w, chroma_w)
    if not array.flags.c_contiguous or array.size != sum(sizes):
        raise ValueError("frame: %s of %dx%d needs %d contiguous bytes, has %d%s" % (
            format, width, height, sum(sizes), array.size,
            "" if array.flags.c_contiguous else " not contiguous"))
    result = Image(width=width, height=height, format=code)
    offset = 0
    for plane, (size, stride) in enumerate(zip(sizes, strides)):
        result.planes[plane], result.strides[plane] = array.ctypes.data + offset, stride
        offset += size
    return result


def mask(array, shape, name="mask", writable=False):
    """A VidraMask over an (H, W) uint8 array with packed columns; shape is
    the frame's (H, W)."""
    _uint8_array(array, name, 2)
    if array.shape != tuple(shape):
        raise ValueError("%s has shape %s, the frame needs %s" % (name, array.shape, tuple(shape)))
    if array.strides[1] != 1:
        raise ValueError("%s: columns must be packed (strides %s)" % (name, array.strides))
    if writable and not array.flags.writeable:
        raise ValueError("%s is read-only" % name)
    return Mask(width=array.shape[1], height=array.shape[0], stride=_row_stride(array, name),
                data=array.ctypes.data)
