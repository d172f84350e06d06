"""vidra: person/background segmentation of video frames, from numpy.

    import vidra
    with vidra.Segmenter(1280, 720) as segmenter:
        mask = segmenter(frame)                       # (720, 1280) uint8
        out = vidra.composite(frame, mask, (0, 177, 64))

A thin ctypes layer over the core C library (libvidracore.so, vidracore.dll:
no global segmenter, nothing written to stdout): no build step, numpy arrays
are passed without copies. The library is found through VIDRA_LIBRARY, the
installed prefix this package is in, the source tree's build/linux/bin, or
the system loader (see library())."""
from ._library import default_model_dir, library, library_path
from ._types import SegParams
from .compositing import composite, refine_mask
from .errors import VidraError
from .segmenter import Frame, Segmenter


def version():
    """The library's version string, e.g. '0.1.0'."""
    return library().VidraGetVersionString().decode()


__all__ = ["Segmenter", "Frame", "composite", "refine_mask", "VidraError", "SegParams",
           "default_model_dir", "library", "library_path", "version"]
