"""Segmenter as Python sees it: numpy layouts, argument checks, errors, logging."""
import contextlib
import ctypes
import functools
import logging
import os
import tempfile
import unittest

import numpy as np

import vidra

MODEL_DIR = os.environ["VIDRA_TEST_MODEL_DIR"]
W, H = 640, 480


@functools.lru_cache(maxsize=None)
def frames():  # cuts and motion, so the keyframe logic works
    astronaut, messi = (np.fromfile(os.path.join(MODEL_DIR, "test", "frames", name), np.uint8,
                                    offset=len(b"P6\n640 480\n255\n")).reshape(H, W, 3)
                        for name in ("astronaut.ppm", "messi.ppm"))
    return tuple(np.ascontiguousarray(f)
                 for f in (astronaut, np.roll(astronaut, 24, axis=1), messi, messi[:, ::-1]))


@contextlib.contextmanager
def captured_stdout(sink):  # what file descriptor 1 receives, C stdio included
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
def global_masks():  # of frames(), from the global C functions
    lib = ctypes.CDLL(os.environ["VIDRA_TEST_GLOBAL_LIBRARY"])
    lib.VidraCreateWithPath.argtypes = [ctypes.c_int32] * 3 + [ctypes.c_char_p]
    lib.VidraFrameProcess.argtypes = [ctypes.c_void_p] * 3
    masks = [np.empty((H, W), np.uint8) for _ in frames()]
    with captured_stdout([]):
        assert lib.VidraCreateWithPath(W, H, 1, MODEL_DIR.encode()) == 0
        for frame, mask in zip(frames(), masks):
            assert lib.VidraFrameProcess(None, frame.ctypes.data, mask.ctypes.data) == 0
        lib.VidraDestroy()
    assert len({m.tobytes() for m in masks}) == len(masks)
    return masks


def bgra(frame):
    return np.dstack([frame[..., ::-1], np.full((H, W), 9, np.uint8)])


def yuv420(frame):  # BT.601 limited range, chroma averaged over 2 x 2
    rgb = frame.astype(np.float64) / 255
    y, u, v = (offset + rgb @ np.array(row) for offset, row in (
        (16, [65.481, 128.553, 24.966]), (128, [-37.797, -74.203, 112.0]), (128, [112.0, -93.786, -18.214])))
    u, v = (c.reshape(H // 2, 2, W // 2, 2).mean(axis=(1, 3)) for c in (u, v))
    return [np.clip(np.rint(c), 0, 255).astype(np.uint8) for c in (y, u, v)]


class SegmenterTest(unittest.TestCase):
    def test_every_layout_gives_the_global_masks_frame_after_frame(self):
        layouts = {  # name -> (the frame as given, its format)
            "rgb": (lambda f: f, None),
            "bgr": (lambda f: np.ascontiguousarray(f[..., ::-1]), "bgr"),
            "rgba by channel count": (lambda f: bgra(f[..., ::-1]), None),
            "bgra in padded rows": (lambda f: np.pad(bgra(f), ((0, 0), (0, 13), (0, 0)))[:, :W], "BGRA"),
            "bottom-up": (lambda f: f[::-1].copy()[::-1], None),
        }
        for name, (layout, fmt) in layouts.items():
            with self.subTest(layout=name), vidra.Segmenter(W, H, models=MODEL_DIR) as seg:
                for index, (frame, expected) in enumerate(zip(frames(), global_masks())):
                    np.testing.assert_array_equal(seg(layout(frame), fmt), expected, "frame %d" % index)

    def test_nv12_and_i420_planes_give_one_mask_close_to_the_rgb_one(self):
        with vidra.Segmenter(W, H, models=MODEL_DIR) as i420, vidra.Segmenter(W, H, models=MODEL_DIR) as nv12:
            for frame, expected in zip(frames(), global_masks()):
                y, u, v = yuv420(frame)
                mask = i420(np.concatenate([y.ravel(), u.ravel(), v.ravel()]), format="i420")
                nv12_frame = np.vstack([y, np.dstack([u, v]).reshape(H // 2, W)])
                np.testing.assert_array_equal(nv12(nv12_frame, format="NV12"), mask)
                self.assertGreater(((mask > 127) == (expected > 127)).mean(), 0.98)

    def test_default_models_params_out_with_padded_rows_and_reset(self):
        self.assertTrue(os.path.samefile(vidra.default_model_dir(), MODEL_DIR))
        storage = np.full((H, W + 7), 77, np.uint8)
        out = storage[:, :W]
        with vidra.Segmenter(W, H) as seg:
            self.assertIsNone(seg.last_frame)
            ran = []
            for frame in frames()[:3] + frames()[2:3]:  # the last one repeated
                self.assertIs(seg(frame, out=out), out)
                f = seg.last_frame
                ran.append(f.network_ran)
                self.assertAlmostEqual(f.input_ms + f.inference_ms + f.postprocess_ms, f.total_ms)
                self.assertTrue(min(f) >= 0)
            self.assertEqual(ran, [True, True, True, False])
            seg.reset()  # frame 0 again gives mask 0
            seg(frames()[0], out=out)
        np.testing.assert_array_equal(out, global_masks()[0])
        self.assertTrue((storage[:, W:] == 77).all(), "wrote past the row")
        with vidra.Segmenter(W, H, models=MODEL_DIR, params="640x480") as seg:
            other = seg(frames()[0])
        self.assertFalse(np.array_equal(other, global_masks()[0]))

    def test_bad_arguments_raise_before_the_library_runs(self):
        good = frames()[0]
        with vidra.Segmenter(W, H, models=MODEL_DIR) as seg:
            cases = {
                "list": (TypeError, good.tolist(), {}),
                "float": (TypeError, good.astype(np.float32), {}),
                "2-d": (ValueError, good[..., 0], {}),
                "2 channels": (ValueError, good[..., :2], {}),
                "other size": (ValueError, good[:-2], {}),
                "format vs channels": (ValueError, good, {"format": "rgba"}),
                "unknown format": (ValueError, good, {"format": "yuv"}),
                "i420 size": (ValueError, good[:H // 3], {"format": "i420"}),
                "nv12 not contiguous": (ValueError, good[::2], {"format": "nv12"}),
                "pixel stride": (ValueError, good[:, ::-1], {}),
                "channel view": (ValueError, bgra(good)[..., :3], {}),
                "out shape": (ValueError, good, {"out": np.empty((H, W + 1), np.uint8)}),
                "out dtype": (TypeError, good, {"out": np.empty((H, W), np.int16)}),
                "out read-only": (ValueError, good, {"out": np.broadcast_to(np.uint8(0), (H, W))}),
            }
            for name, (error, frame, kwargs) in cases.items():
                with self.subTest(case=name), self.assertRaises(error):
                    seg(frame, **kwargs)
        self.assertRaises(TypeError, vidra.Segmenter, W, H, models=MODEL_DIR, params={"maskWidth": 5})

    def test_refusals_carry_the_status_name_and_the_library_message(self):
        cases = {"model not found": dict(models=MODEL_DIR + "/missing"), "bad dimensions": dict(width=1),
                 "option out of range": dict(threads=-3)}
        for name, kwargs in cases.items():
            with self.subTest(status=name), self.assertRaises(vidra.VidraError) as caught:
                vidra.Segmenter(**{"width": W, "height": H, "models": MODEL_DIR, **kwargs})
            error = caught.exception
            self.assertEqual((error.name, error.status < 0), (name, True))
            self.assertIn("VidraSegmenterCreate: ", error.message)
            self.assertIn(error.message, str(error))

    def test_log_lines_go_to_logging_and_nothing_to_stdout(self):
        logger = logging.getLogger("vidra.test")
        logger.setLevel(logging.DEBUG)
        logger.propagate = False
        records, stdout, got = [], [], []
        handler = logging.Handler()
        handler.emit = records.append
        logger.addHandler(handler)
        with captured_stdout(stdout):
            with vidra.Segmenter(W, H, models=MODEL_DIR, log=logger) as seg:
                seg(frames()[0])
                seg.reset()
            with vidra.Segmenter(W, H, models=MODEL_DIR, log=lambda *a: got.append(a)) as seg:
                seg(frames()[0])
            with self.assertRaises(vidra.VidraError):
                vidra.Segmenter(W, H, models=MODEL_DIR + "/missing", log=logger)
            vidra.composite(frames()[0], global_masks()[0], 10)
        self.assertEqual(stdout, [b""])
        self.assertEqual({r.levelno for r in records}, {logging.DEBUG, logging.INFO, logging.ERROR})
        self.assertEqual({level for level, _ in got}, {logging.DEBUG, logging.INFO})
        self.assertTrue(all(isinstance(message, str) and message for _, message in got))
        self.assertEqual(records[-1].levelno, logging.ERROR)
        self.assertIn("missing", records[-1].getMessage())

