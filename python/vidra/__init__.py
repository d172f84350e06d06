"""vidra: person/background segmentation of video frames on the CPU.

A thin ctypes layer over the library's segmenter instances; needs numpy and
the built library (VIDRA_LIBRARY names it when it is not found by itself).
"""
from ._native import LOG_DEBUG, LOG_ERROR, LOG_INFO, LOG_WARNING
from .segmenter import Segmenter, VidraError
from .compositing import composite, refine_mask

__all__ = ["Segmenter", "VidraError", "composite", "refine_mask", "LOG_DEBUG", "LOG_INFO", "LOG_WARNING", "LOG_ERROR"]
