"""The Python module against the built library: layouts and array views give
the C library's masks, errors carry the library's reasons, and the README's
ffmpeg example runs."""
import ctypes
import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

import numpy as np

import vidra
from vidra import _native

MODELS = Path(os.environ["VIDRA_MODEL_DIR"])
EXAMPLE = Path(__file__).resolve().parents[2] / "python" / "examples" / "mask_video.py"


def photo(name):
    data = (MODELS / "test" / "frames" / name).read_bytes()
    magic, width, height, maxval, pixels = data.split(maxsplit=4)
    return np.frombuffer(pixels, np.uint8).reshape(int(height), int(width), 3)


def frames(image, count):
    """Frames that change every second frame, so that some are skipped."""
    return [np.roll(image, 4 * (i // 2), axis=1) for i in range(count)]


class StdoutCheck:
    """Collects what is written to file descriptor 1 inside the block."""

    def __enter__(self):
        sys.stdout.flush()
        self.saved = os.dup(1)
        self.file = tempfile.TemporaryFile()
        os.dup2(self.file.fileno(), 1)
        return self

    def __exit__(self, *exc):
        libc = ctypes.CDLL(None)
        libc.fflush(None)
        os.dup2(self.saved, 1)
        os.close(self.saved)
        self.file.seek(0)
        self.text = self.file.read().decode()
        self.file.close()


class SegmenterTest(unittest.TestCase):
    def test_masks_equal_the_global_functions_frame_after_frame(self):
        image = photo("astronaut.ppm")
        h, w, _ = image.shape
        lib = _native.library()
        lib.VidraCreateWithPath.argtypes = [ctypes.c_int32, ctypes.c_int32, ctypes.c_int32, ctypes.c_char_p]
        lib.VidraFrameProcess.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_void_p]
        with StdoutCheck():
            self.assertEqual(lib.VidraCreateWithPath(w, h, 1, str(MODELS).encode()), 0)
        with StdoutCheck() as quiet:
            segment = vidra.Segmenter(w, h)
        for i, frame in enumerate(frames(image, 6)):
            frame = np.ascontiguousarray(frame)
            expected = np.empty((h, w), np.uint8)
            with StdoutCheck():
                lib.VidraFrameProcess(None, frame.ctypes.data, expected.ctypes.data)
            with StdoutCheck() as quiet:
                np.testing.assert_array_equal(segment(frame), expected, err_msg=f"frame {i}")
            self.assertEqual(quiet.text, "")
        with StdoutCheck():
            segment.close()
            lib.VidraDestroy()

    def test_layouts_and_array_views_give_the_same_mask(self):
        image = photo("messi.ppm")
        h, w, _ = image.shape
        padded = np.zeros((h, w + 5, 4), np.uint8)
        padded[:, :w, :3] = image
        rgba = padded[:, :w]                      # rows with a stride of their own
        bgr = image[:, :, ::-1]                   # reversed channels (copied inside)
        upside = np.ascontiguousarray(image[::-1])[::-1]  # negative row stride
        out = np.full((h, w + 3), 7, np.uint8)
        cases = [(image, None), (rgba, None), (bgr, "bgr24"), (upside, None),
                 (np.ascontiguousarray(padded[:, :w, [2, 1, 0, 3]]), "bgra32")]
        with vidra.Segmenter(w, h) as reference:
            expected = reference(image)
        for frame, layout in cases:
            with self.subTest(layout=layout, strides=frame.strides), vidra.Segmenter(w, h) as segment:
                np.testing.assert_array_equal(segment(frame, format=layout), expected)
                segment.reset()
                result = segment(frame, format=layout, out=out[:, :w])
                np.testing.assert_array_equal(result, expected)
                self.assertTrue((out[:, w:] == 7).all())

    def test_yuv_planes_as_ffmpeg_writes_them(self):
        image = photo("astronaut.ppm")
        h, w, _ = image.shape
        for layout in ("nv12", "i420"):
            with self.subTest(layout=layout):
                raw = subprocess.run(["ffmpeg", "-v", "error", "-f", "rawvideo", "-pix_fmt", "rgb24",
                                      "-s", f"{w}x{h}", "-i", "-", "-f", "rawvideo", "-pix_fmt",
                                      "yuv420p" if layout == "i420" else layout, "-"],
                                     input=image.tobytes(), capture_output=True, check=True).stdout
                with vidra.Segmenter(w, h) as a, vidra.Segmenter(w, h) as b:
                    difference = np.abs(a(np.frombuffer(raw, np.uint8), format=layout).astype(int) - b(image))
                # Another converter's rounding and chroma: the masks still agree closely.
                self.assertLess(difference.mean(), 3.0)

    def test_errors_name_their_cause_and_nothing_reaches_stdout(self):
        messages = []
        with StdoutCheck() as quiet:
            with self.assertRaises(vidra.VidraError) as missing:
                vidra.Segmenter(64, 48, model=MODELS / "absent")
            with vidra.Segmenter(64, 48, log=lambda level, text: messages.append((level, text)),
                                 log_level=vidra.LOG_DEBUG) as segment:
                segment(np.zeros((48, 64, 3), np.uint8))
                with self.assertRaises(vidra.VidraError) as shape:
                    segment(np.zeros((48, 65, 3), np.uint8))
        self.assertEqual(quiet.text, "")
        self.assertEqual(missing.exception.status, -110)
        self.assertIn("absent", str(missing.exception))
        self.assertEqual(shape.exception.status, -103)
        self.assertIn((vidra.LOG_DEBUG, "NNXRun start."), messages)

    def test_compositing_functions_take_numpy_frames(self):
        image = photo("messi.ppm")
        h, w, _ = image.shape
        mask = np.tile(np.arange(w, dtype=np.uint16) * 255 // (w - 1), (h, 1)).astype(np.uint8)
        colour = vidra.composite(image, mask, background=(0, 255, 0))
        want = (image.astype(int) * mask[..., None] + np.array([0, 255, 0]) * (255 - mask[..., None].astype(int)) + 127) // 255
        np.testing.assert_array_equal(colour, want)
        bgr = vidra.composite(image[:, :, ::-1], mask, background=(0, 255, 0)[::-1], format="bgr24")
        np.testing.assert_array_equal(bgr[:, :, ::-1], colour)
        cutout = vidra.composite(image, mask, background="transparent")
        np.testing.assert_array_equal(cutout[..., 3], mask)
        np.testing.assert_array_equal(cutout[..., :3], image)
        self.assertEqual(vidra.composite(image, mask).shape, image.shape)  # blurred background
        in_place = mask.copy()
        refined = vidra.refine_mask(image, mask)
        np.testing.assert_array_equal(vidra.refine_mask(image, in_place, out=in_place), refined)
        with self.assertRaises(vidra.VidraError):
            vidra.composite(image, mask[:, 1:])

    def test_the_readme_example_masks_every_frame(self):
        with tempfile.TemporaryDirectory() as folder:
            clip, masks = Path(folder) / "clip.mkv", Path(folder) / "masks.yuv"
            subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=10",
                            "-t", "0.5", "-c:v", "ffv1", str(clip)], check=True)
            subprocess.run([sys.executable, str(EXAMPLE), str(clip), str(masks)], check=True,
                           env=dict(os.environ, PYTHONPATH=str(EXAMPLE.parent.parent)))
            self.assertEqual(masks.stat().st_size, 5 * 640 * 480)


if __name__ == "__main__":
    unittest.main()
