"""composite and refine_mask: the library's stateless image functions."""
import ctypes
import numbers

import numpy as np

from . import _images
from ._checks import integer, real
from ._library import library
from ._types import (BACKGROUND_BLUR, BACKGROUND_COLOR, BACKGROUND_IMAGE, BACKGROUND_TRANSPARENT,
                     BGR24, BGRA32, RGB24, RGBA32, STATUS_BAD_OPTION, CompositeOptions,
                     RefineOptions)
from .errors import check

# The ranges vidra.h documents for these options.
BLUR_STRENGTHS = (1, 500)
RADII = (0, 500)


def _in_order_of(code, channels):
    """The format with channels bytes per pixel in the colour order of code."""
    if code in (BGR24, BGRA32):
        return BGR24 if channels == 3 else BGRA32
    return RGB24 if channels == 3 else RGBA32


def _output(frame, code, out, out_format, channels):
    """The output array and its descriptor: out, or a new (H, W, channels)."""
    if out is None:
        out_code = _images.format_code(out_format, channels) if out_format is not None \
            else _in_order_of(code, channels)
        out = np.empty(frame.shape[:2] + (_images.CHANNELS[out_code],), np.uint8)
    elif out_format is None:
        out_code = _in_order_of(code, out.shape[2]) if getattr(out, "ndim", 0) == 3 else None
    else:
        out_code = out_format
    image = _images.image(out, out_code, "out", writable=True)
    if out.shape[:2] != frame.shape[:2]:
        raise ValueError("out has shape %s, the frame %s" % (out.shape, frame.shape))
    return out, image


def composite(frame, mask, background, format=None, out=None, out_format=None):
    """The person of frame (where mask is high) over a background:

    background: an int, the blur strength (1..500, about the standard
        deviation in pixels) of the frame's own background (a float, even
        an integral one, raises TypeError); a tuple
        (red, green, blue), one colour; an array of the frame's size, an
        image (same colour order as the frame); 'transparent', the frame
        with the mask as alpha (4 channels out).
    frame: (H, W, 3|4) uint8 in format ('rgb', 'bgr', 'rgba', 'bgra'; default
    by channel count); mask: (H, W) uint8. Returns out (a new array in the
    frame's colour order, or the given one, which may be frame itself);
    out_format names its format when it differs from the frame's order."""
    lib = library()
    image = _images.image(frame, format)
    code = image.format
    mask_view = _images.mask(mask, frame.shape[:2])
    options = CompositeOptions(structSize=ctypes.sizeof(CompositeOptions))
    channels = frame.shape[2]
    keep = None
    if isinstance(background, str):
        if background != "transparent":
            raise ValueError("background %r: the only named background is 'transparent'" % background)
        options.background, channels = BACKGROUND_TRANSPARENT, 4
    elif isinstance(background, np.ndarray):
        keep = _images.image(background, _in_order_of(code, background.shape[-1])
                             if background.ndim == 3 else None, "background")
        if background.shape[:2] != frame.shape[:2]:
            raise ValueError("background has shape %s, the frame %s" % (background.shape, frame.shape))
        options.background, options.image = BACKGROUND_IMAGE, ctypes.pointer(keep)
    elif isinstance(background, numbers.Real) and not isinstance(background, bool):
        options.background = BACKGROUND_BLUR
        options.blurStrength = integer(background, "blur strength", *BLUR_STRENGTHS)
    elif isinstance(background, (tuple, list)) and len(background) in (3, 4):
        if not all(isinstance(c, numbers.Integral) and 0 <= c <= 255 for c in background):
            raise ValueError("colour %r: channels must be integers 0..255" % (background,))
        options.background = BACKGROUND_COLOR
        options.color[:3] = [int(c) for c in background[:3]]
    else:
        raise TypeError("background must be a blur strength (int), an (r, g, b) colour, "
                        "an image array or 'transparent'")
    out, out_image = _output(frame, code, out, out_format, channels)
    status = lib.VidraComposite(ctypes.byref(image), ctypes.byref(mask_view), ctypes.byref(options),
                                ctypes.byref(out_image), None, 0)
    check(status, "VidraComposite")
    return out


def refine_mask(frame, mask, radius=0, epsilon=0.0, format=None, out=None):
    """mask with its soft edge pulled onto the edges of frame (a guided filter
    on the frame's luminance). radius: window radius in pixels (an int,
    0..500), 0 = shorter side / 60 (at least 4); epsilon: smoothing (0 or
    1e-6..1), 0 = 0.001. Returns out, an (H, W) uint8 array (new, or the
    given one, which may be mask itself)."""
    lib = library()
    options = RefineOptions(structSize=ctypes.sizeof(RefineOptions),
                            radius=integer(radius, "radius", *RADII), epsilon=real(epsilon, "epsilon"))
    image = _images.image(frame, format)
    mask_view = _images.mask(mask, frame.shape[:2])
    if out is None:
        out = np.empty(frame.shape[:2], np.uint8)
    out_view = _images.mask(out, frame.shape[:2], "out", writable=True)
    status = lib.VidraRefineMask(ctypes.byref(image), ctypes.byref(mask_view), ctypes.byref(options),
                                 ctypes.byref(out_view), None, 0)
    # Radius is checked above: a refused option is epsilon.
    check(status, "VidraRefineMask", "VidraRefineMask: epsilon %r is outside 1e-06..1 (0 = the default)"
          % epsilon if status == STATUS_BAD_OPTION else "")
    return out
