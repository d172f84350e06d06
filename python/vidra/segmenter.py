"""Segmenter: one vidra instance, called on numpy frames."""
import ctypes

import numpy as np

from . import _native, images


class VidraError(RuntimeError):
    """A vidra call failed; status is its code, the message names it and adds
    the library's own explanation when it gave one."""

    def __init__(self, status, detail=""):
        self.status = status
        text = _native.status_text(status)
        super().__init__(f"{text}: {detail}" if detail else text)


class Segmenter:
    """Segments frames of one size into masks (0 background .. 255 person).

    Segmenter(width, height, model=None, params="144x80", threads=0, log=None)
      model:   a model folder or .tesk file; default: VIDRA_MODEL_DIR, an
               installed share/vidra/models, or this source tree's build/models.
      params:  "144x80" (default) or "640x480", the library's predefined records.
      threads: inference threads; 0 = the calling thread only.
      log:     callable(level, message) receiving the library's diagnostics
               (levels vidra.LOG_DEBUG .. LOG_ERROR); log_level is the least
               level passed (default LOG_ERROR). Nothing goes to stdout.

    segmenter(frame, format=None, out=None) returns the mask, a (height, width)
    uint8 array (out, when given, receives it and is returned). frame is a
    uint8 array: (height, width, 3) is RGB and (height, width, 4) RGBA unless
    format says "bgr24" or "bgra32"; "nv12" and "i420" take the planes one
    after the other as ffmpeg's rawvideo writes them, in any array shape.
    One Segmenter is used by one thread at a time; separate ones may run in
    parallel threads.
    """

    def __init__(self, width, height, model=None, params="144x80", threads=0, log=None,
                 log_level=_native.LOG_ERROR):
        self._handle = None
        lib = _native.library()
        self.width, self.height = int(width), int(height)
        model = model if model is not None else _native.default_model_dir(_native.library_file())
        if model is None:
            raise VidraError(_native.STATUS_MODEL_NOT_FOUND, "no model folder given and none found (set VIDRA_MODEL_DIR)")
        messages = []

        def forward(_user, level, text):
            message = text.decode(errors="replace")
            if level >= _native.LOG_ERROR:
                messages.append(message)
            if log is not None:
                log(level, message)

        # Kept alive with the instance: the library calls it during every call.
        self._callback = _native.LogCallback(forward)
        self._errors = messages
        options = _native.SegmenterOptions()
        lib.VidraSegmenterOptionsInit(ctypes.byref(options))
        options.width, options.height = self.width, self.height
        options.modelPath = str(model).encode()
        options.params = _native.predefined_params(params)
        options.engineThreads = int(threads)
        options.logLevel = int(log_level) if log is not None else _native.LOG_ERROR
        options.logCallback = self._callback
        handle = ctypes.c_void_p()
        status = lib.VidraSegmenterCreate(ctypes.byref(options), ctypes.byref(handle))
        if status != _native.STATUS_OK:
            raise VidraError(status, "; ".join(messages))
        self._handle = handle
        self._lib = lib

    def __call__(self, frame, format=None, out=None):
        if self._handle is None:
            raise ValueError("the segmenter is closed")
        image, keep = images.image(frame, self.width, self.height, format)
        if out is None:
            out = np.empty((self.height, self.width), np.uint8)
        mask = images.mask(out, self.width, self.height)
        del self._errors[:]
        status = self._lib.VidraSegmenterProcess(self._handle, ctypes.byref(image), ctypes.byref(mask))
        del keep
        if status != _native.STATUS_OK:
            raise VidraError(status, "; ".join(self._errors))
        return out

    def reset(self):
        """Forget the previous frames (a scene change): the next mask depends on
        the next frame only."""
        if self._handle is not None:
            self._lib.VidraSegmenterReset(self._handle)

    def close(self):
        if self._handle is not None:
            self._lib.VidraSegmenterDestroy(self._handle)
            self._handle = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        self.close()
