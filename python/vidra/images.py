"""numpy arrays as the library's image and mask descriptors (no copies of
frames whose pixels are adjacent within their rows)."""
import numpy as np

from . import _native

PACKED_BYTES = {"rgb24": 3, "bgr24": 3, "rgba32": 4, "bgra32": 4}


def _fail(message):
    from .segmenter import VidraError
    raise VidraError(_native.STATUS_BAD_DIMENSIONS, message)


def layout_of(array, format):
    """The format name: given, or RGB24/RGBA32 from a (h, w, 3 or 4) shape."""
    if format is None:
        format = {3: "rgb24", 4: "rgba32"}.get(array.shape[-1] if array.ndim == 3 else 0)
        if format is None:
            raise ValueError("give format= for frames that are not (height, width, 3 or 4)")
    format = format.lower()
    if format not in _native.PIXEL_FORMATS:
        raise ValueError(f"unknown pixel format {format!r}")
    return format


def image(array, width, height, format=None):
    """(descriptor, array it points into) for a uint8 frame of width x height.
    Packed layouts: (height, width, bytes per pixel), rows of any stride.
    nv12 / i420: the planes one after the other, as ffmpeg's rawvideo writes them."""
    array = np.asarray(array)
    if array.dtype != np.uint8:
        raise TypeError("frames are uint8 arrays")
    format = layout_of(array, format)
    desc = _native.Image(width, height, _native.PIXEL_FORMATS[format], 0)
    if format in PACKED_BYTES:
        bpp = PACKED_BYTES[format]
        if array.shape != (height, width, bpp):
            _fail(f"expected a ({height}, {width}, {bpp}) frame, got {array.shape}")
        if array.strides[2] != 1 or array.strides[1] != bpp:
            array = np.ascontiguousarray(array)
        desc.planes[0] = array.ctypes.data
        desc.strides[0] = array.strides[0]
        return desc, array
    flat = np.ascontiguousarray(array).reshape(-1)
    cw, ch = (width + 1) // 2, (height + 1) // 2
    if format == "nv12":
        sizes, strides = [width * height, 2 * cw * ch], [width, 2 * cw]
    else:
        sizes, strides = [width * height, cw * ch, cw * ch], [width, cw, cw]
    if flat.size != sum(sizes):
        _fail(f"expected {sum(sizes)} bytes of {format} for {width} x {height}, got {flat.size}")
    offset = 0
    for p, (size, stride) in enumerate(zip(sizes, strides)):
        desc.planes[p] = flat.ctypes.data + offset
        desc.strides[p] = stride
        offset += size
    return desc, flat


def mask(array, width, height):
    """Descriptor of a (height, width) uint8 mask with adjacent columns."""
    if array.dtype != np.uint8:
        raise TypeError("masks are uint8 arrays")
    if array.shape != (height, width):
        _fail(f"expected a ({height}, {width}) mask, got {array.shape}")
    if array.strides[1] != 1:
        raise ValueError("mask columns must be adjacent")
    return _native.Mask(width, height, array.strides[0], 0, array.ctypes.data)
