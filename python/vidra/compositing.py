"""The library's compositing functions on numpy frames and masks."""
import ctypes

import numpy as np

from . import _native, images
from .segmenter import VidraError


def _check(status):
    if status != _native.STATUS_OK:
        raise VidraError(status)


def composite(frame, mask, background="blur", blur=12, format=None, out=None, out_format=None):
    """The person of frame (where mask is 255) over a background:
    "blur" (the frame's own background blurred, blur = about the standard
    deviation in pixels, 1..500), an (r, g, b) colour, an image array of the
    frame's size, or "transparent" (the mask becomes alpha; the output is
    RGBA). frame is (height, width, 3 or 4), RGB(A) unless format says
    "bgr24"/"bgra32". Returns out, by default a new array in the frame's
    layout (RGBA for transparent); out may be frame itself."""
    frame = np.asarray(frame)
    height, width = frame.shape[:2]
    source, keep_frame = images.image(frame, width, height, format)
    mask_desc = images.mask(np.asarray(mask), width, height)
    options = _native.CompositeOptions()
    options.structSize = ctypes.sizeof(options)
    keep_background = None
    transparent = isinstance(background, str) and background == "transparent"
    if isinstance(background, str) and background == "blur":
        options.background, options.blurStrength = _native.BACKGROUND_BLUR, int(blur)
    elif transparent:
        options.background = _native.BACKGROUND_TRANSPARENT
    elif isinstance(background, str):
        raise ValueError(f"unknown background {background!r}")
    elif np.ndim(background) == 1 and len(background) == 3:
        options.background = _native.BACKGROUND_COLOR
        options.color[:3] = [int(v) for v in background]
    else:
        picture, keep_background = images.image(background, width, height, None)
        options.background = _native.BACKGROUND_IMAGE
        options.image = ctypes.pointer(picture)
    if out is None:
        layout = out_format or ("rgba32" if transparent else images.layout_of(frame, format))
        out = np.empty((height, width, images.PACKED_BYTES[layout]), np.uint8)
    else:
        layout = out_format or images.layout_of(out, None)
    target, keep_out = images.image(out, width, height, layout)
    if keep_out is not out:
        raise ValueError("out must have adjacent pixels within its rows")
    _check(_native.library().VidraComposite(ctypes.byref(source), ctypes.byref(mask_desc),
                                            ctypes.byref(options), ctypes.byref(target), None, 0))
    del keep_frame, keep_background
    return out


def refine_mask(frame, mask, radius=0, epsilon=0.0, format=None, out=None):
    """mask with its soft edge pulled onto the edges of frame (a guided
    filter on the frame's luminance). radius 0 and epsilon 0 take the
    library's defaults. Returns out (by default a new mask; may be mask)."""
    frame = np.asarray(frame)
    height, width = frame.shape[:2]
    source, keep = images.image(frame, width, height, format)
    mask = np.asarray(mask)
    if out is None:
        out = np.empty((height, width), np.uint8)
    options = _native.RefineOptions(ctypes.sizeof(_native.RefineOptions), int(radius), float(epsilon))
    mask_desc, out_desc = images.mask(mask, width, height), images.mask(out, width, height)
    _check(_native.library().VidraRefineMask(ctypes.byref(source), ctypes.byref(mask_desc),
                                             ctypes.byref(options), ctypes.byref(out_desc), None, 0))
    del keep
    return out
