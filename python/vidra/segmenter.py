"""Segmenter: one instance of the library's segmenter, called on numpy frames."""
import collections
import contextlib
import ctypes
import logging
import os
import threading

import numpy as np

from . import _images
from ._checks import integer
from ._library import default_model_dir, library, segparams
from ._types import (I420, LOG_DEBUG, LOG_ERROR, NV12, STATUS_BUSY, FrameInfo, LogCallback,
                     SegParams, SegmenterOptions)
from .errors import VidraError, check

_PY_LEVELS = {0: logging.DEBUG, 1: logging.INFO, 2: logging.WARNING, 3: logging.ERROR}

# What the last frame did: whether the network ran (False: the frame matched
# the last keyframe and got the previous mask) and the milliseconds of each
# stage; input_ms + inference_ms + postprocess_ms == total_ms.
Frame = collections.namedtuple("Frame", "network_ran input_ms inference_ms postprocess_ms total_ms")


class _LogRelay:
    """Receives the library's log lines. Kept apart from the Segmenter so that
    the ctypes callback holds no reference to it (no cycle delays close)."""

    def __init__(self, log):
        self.last_error = ""
        self.pending = None
        self.sink = None
        self.level = self.sink_level = LOG_ERROR  # error lines are always taken, for exceptions
        if log is True:
            log = logging.getLogger("vidra")
        if isinstance(log, logging.Logger):
            logger = log
            enabled = [lv for lv, py in _PY_LEVELS.items() if logger.isEnabledFor(py)]
            self.level = min(enabled + [LOG_ERROR])
            self.sink = lambda level, message: logger.log(level, "%s", message)
            self.sink_level = self.level
        elif callable(log):
            self.sink, self.level, self.sink_level = log, LOG_DEBUG, LOG_DEBUG
        elif log not in (None, False):
            raise TypeError("log must be None, True, a logging.Logger or a callable")

    def __call__(self, _user, level, message):
        text = message.decode("utf-8", "replace") if message else ""
        if level >= LOG_ERROR:
            self.last_error = text
        if self.sink is not None and level >= self.sink_level:
            try:
                self.sink(_PY_LEVELS.get(level, logging.ERROR), text)
            except BaseException as error:  # re-raised once the library call returns
                self.pending = self.pending or error

    def take(self):
        """The error message of the last call; raises what the sink raised."""
        error, self.pending = self.pending, None
        if error is not None:
            raise error
        message, self.last_error = self.last_error, ""
        return message


def _params_record(params):
    if params is None:
        return None
    if isinstance(params, str):
        return segparams(params)
    if isinstance(params, SegParams):
        return params
    raise TypeError("params must be None, '144x80', '640x480' or a vidra.SegParams")


class Segmenter:
    """Segments frames of one size into masks (0 = background ... 255 = person).

    width, height: the frame size, fixed for the instance (integers; floats
        are refused, even integral ones).
    models: a model folder or file; None = default_model_dir().
    params: None or '144x80' (the default record), '640x480', or a SegParams.
    threads: inference threads; 0 = the parameter record's choice.
    log: None (silent), True (the 'vidra' logger), a logging.Logger (lines at
        the levels it is enabled for at creation), or a callable
        log(level, message) with a logging level, receiving every line.
    Raises VidraError when the library refuses (e.g. 'model not found').

    Instances are independent. One instance may be shared by threads: its
    calls take turns (the library is called with the GIL released), and
    close() waits for a call in progress. The log callback runs inside a
    call, so calling the instance from it (close() included) raises a
    VidraError whose status is VIDRA_STATUS_BUSY (-113); do that after the
    call returns."""

    def __init__(self, width, height, models=None, params=None, threads=0, log=None):
        self._handle = None
        self.last_frame = None
        self._lock = threading.Lock()
        self._caller = None  # the thread inside a library call on this instance
        lib = library()
        self._destroy = lib.VidraSegmenterDestroy
        self._shape = (integer(height, "height"), integer(width, "width"))
        threads = integer(threads, "threads")
        self._relay = _LogRelay(log)
        self._callback = LogCallback(self._relay)  # alive as long as the instance
        self._params = _params_record(params)
        path = os.fspath(default_model_dir() if models is None else models)
        options = SegmenterOptions()
        lib.VidraSegmenterOptionsInit(ctypes.byref(options))
        options.width, options.height = self._shape[1], self._shape[0]
        options.modelPath = os.fsencode(path)
        if self._params is not None:
            options.params = ctypes.pointer(self._params)
        options.engineThreads = threads
        options.logLevel = self._relay.level
        options.logCallback = self._callback
        handle = ctypes.c_void_p()
        with self._calling("Segmenter()", creating=True):
            status = lib.VidraSegmenterCreate(ctypes.byref(options), ctypes.byref(handle))
            if status == 0:
                self._handle = handle  # before take(), which may raise what the log sink raised
        check(status, "VidraSegmenterCreate", self._relay.take())

    @property
    def width(self):
        return self._shape[1]

    @property
    def height(self):
        return self._shape[0]

    @property
    def closed(self):
        return self._handle is None

    def _refuse_reentry(self, what):
        # Only the log callback runs Python on the thread that is inside a call.
        if self._caller == threading.get_ident():
            raise VidraError(STATUS_BUSY, "Segmenter.%s called from the segmenter's own log "
                             "callback; call it after the call that logged has returned" % what)

    @contextlib.contextmanager
    def _calling(self, what, creating=False):
        """Holds the instance for one library call: waits for another
        thread's call to end, refuses a call from this instance's callback."""
        self._refuse_reentry(what)
        with self._lock:
            if self._handle is None and not creating:
                raise ValueError("the segmenter is closed")
            self._caller = threading.get_ident()
            try:
                yield self._handle
            finally:
                self._caller = None

    def __call__(self, frame, format=None, out=None):
        """The mask of one frame: an (H, W, 3|4) uint8 array whose format is
        'rgb', 'bgr', 'rgba' or 'bgra' (default by channel count); rows may
        be padded or bottom-up. Or format 'nv12' / 'i420': the planes one
        after the other, as ffmpeg's rawvideo writes them, in a contiguous
        array of any shape. Writes into out ((H, W) uint8, rows may be
        padded) when given, and returns it. What the frame did is then in
        last_frame (a Frame)."""
        if self._handle is None:
            raise ValueError("the segmenter is closed")
        image = _images.planar(frame, self.width, self.height, format)
        if image is None:
            image = _images.image(frame, format)
        if image.format not in (NV12, I420) and frame.shape[:2] != self._shape:
            raise ValueError("frame is %dx%d, the segmenter was made for %dx%d"
                             % (frame.shape[1], frame.shape[0], self._shape[1], self._shape[0]))
        if out is None:
            out = np.empty(self._shape, np.uint8)
        mask = _images.mask(out, self._shape, "out", writable=True)
        info = FrameInfo(structSize=ctypes.sizeof(FrameInfo))
        with self._calling("__call__()") as handle:
            status = library().VidraSegmenterProcessWithInfo(handle, ctypes.byref(image), ctypes.byref(mask),
                                                             ctypes.byref(info))
            message = self._relay.take()
        check(status, "VidraSegmenterProcess", message)
        self.last_frame = Frame(bool(info.networkRan), info.inputMs, info.inferenceMs,
                                info.postprocessMs, info.totalMs)
        return out

    def reset(self):
        """Forgets the previous frames (for a scene change)."""
        with self._calling("reset()") as handle:
            status = library().VidraSegmenterReset(handle)
            message = self._relay.take()
        check(status, "VidraSegmenterReset", message)

    def close(self):
        """Releases the instance, after a call in progress on another thread
        has returned; further calls raise ValueError. Idempotent."""
        self._refuse_reentry("close()")
        with self._lock:
            handle, self._handle = self._handle, None
            if handle is not None:
                self._destroy(handle)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        # Unreachable, so no call is in progress; module globals may already
        # be gone at interpreter exit, hence no lock and the saved function.
        handle = getattr(self, "_handle", None)
        if handle is not None:
            self._handle = None
            self._destroy(handle)
