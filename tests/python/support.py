"""Shared by the Python module's tests: frames, the model folder, and the
global C API's masks as the reference, with its stdout lines kept away."""
import contextlib
import ctypes
import functools
import os
import tempfile

import numpy as np

import vidra

MODEL_DIR = os.environ["VIDRA_TEST_MODEL_DIR"]
WIDTH, HEIGHT = 640, 480


def read_ppm(name):
    with open(os.path.join(MODEL_DIR, "test", "frames", name), "rb") as f:
        magic, width, height, depth = f.readline(), *f.readline().split(), f.readline()
        assert magic.strip() == b"P6" and depth.strip() == b"255"
        return np.frombuffer(f.read(), np.uint8).reshape(int(height), int(width), 3)


@functools.lru_cache(maxsize=None)
def frames():
    """A short sequence with cuts and motion, so the keyframe logic works."""
    astronaut, messi = read_ppm("astronaut.ppm"), read_ppm("messi.ppm")
    sequence = (astronaut, np.roll(astronaut, 24, axis=1), messi, messi[:, ::-1], astronaut)
    return tuple(np.ascontiguousarray(f) for f in sequence)


@contextlib.contextmanager
def captured_stdout(sink):
    """Everything written to file descriptor 1 meanwhile, C stdio included,
    appended to the list sink as bytes."""
    libc = ctypes.CDLL(None)
    libc.fflush(None)
    saved = os.dup(1)
    with tempfile.TemporaryFile() as capture:
        os.dup2(capture.fileno(), 1)
        try:
            yield
        finally:
            libc.fflush(None)
            os.dup2(saved, 1)
            os.close(saved)
            capture.seek(0)
            sink.append(capture.read())


@functools.lru_cache(maxsize=None)
def global_masks():
    """The masks of frames() from the library's global functions (RGB24)."""
    lib = vidra.library()
    lib.VidraCreateWithPath.argtypes = [ctypes.c_int32] * 3 + [ctypes.c_char_p]
    lib.VidraFrameProcess.argtypes = [ctypes.c_void_p] * 3
    masks, lines = [], []
    with captured_stdout(lines):
        assert lib.VidraCreateWithPath(WIDTH, HEIGHT, 1, MODEL_DIR.encode()) == 0
        try:
            for frame in frames():
                mask = np.empty((HEIGHT, WIDTH), np.uint8)
                assert lib.VidraFrameProcess(None, frame.ctypes.data, mask.ctypes.data) == 0
                masks.append(mask)
        finally:
            lib.VidraDestroy()
    return masks
