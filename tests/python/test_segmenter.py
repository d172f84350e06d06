"""Segmenter against the library's global functions, on every input layout."""
import logging
import os
import unittest

import numpy as np

import vidra
from support import HEIGHT, MODEL_DIR, WIDTH, captured_stdout, frames, global_masks


def padded(frame):
    """The frame as a view into wider rows (row stride > row bytes)."""
    big = np.zeros((frame.shape[0], frame.shape[1] + 13, frame.shape[2]), np.uint8)
    big[:, :frame.shape[1]] = frame
    return big[:, :frame.shape[1]]


def bottom_up(frame):
    """The same picture stored last row first (a negative row stride)."""
    return np.ascontiguousarray(frame[::-1])[::-1]


def with_alpha(frame, order):
    out = np.full(frame.shape[:2] + (4,), 9, np.uint8)
    out[..., :3] = frame[..., order]
    return out


def yuv420(frame):
    """BT.601 limited-range Y, U and V planes, chroma averaged over 2 x 2."""
    rgb = frame.astype(np.float64)
    planes = [16 + rgb @ np.array([65.481, 128.553, 24.966]) / 255,
              128 + rgb @ np.array([-37.797, -74.203, 112.0]) / 255,
              128 + rgb @ np.array([112.0, -93.786, -18.214]) / 255]
    planes[1:] = [c.reshape(HEIGHT // 2, 2, WIDTH // 2, 2).mean(axis=(1, 3)) for c in planes[1:]]
    return [np.clip(np.rint(c), 0, 255).astype(np.uint8) for c in planes]


# name -> (frame as given, its format)
LAYOUTS = {
    "rgb": (lambda f: f, None),
    "bgr": (lambda f: np.ascontiguousarray(f[..., ::-1]), "bgr"),
    "rgba": (lambda f: with_alpha(f, [0, 1, 2]), "rgba"),
    "bgra": (lambda f: with_alpha(f, [2, 1, 0]), "BGRA"),
    "padded rows": (padded, "rgb"),
    "bottom-up": (bottom_up, None),
    "padded bgra": (lambda f: padded(with_alpha(f, [2, 1, 0])), "bgra"),
}


class SegmenterTest(unittest.TestCase):
    def test_every_layout_gives_the_global_masks_frame_after_frame(self):
        expected = global_masks()
        self.assertGreater(len({m.tobytes() for m in expected}), 2)
        for name, (layout, fmt) in LAYOUTS.items():
            with self.subTest(layout=name), vidra.Segmenter(WIDTH, HEIGHT, models=MODEL_DIR) as seg:
                for index, frame in enumerate(frames()):
                    np.testing.assert_array_equal(seg(layout(frame), format=fmt), expected[index],
                                                  "frame %d" % index)

    def test_nv12_and_i420_give_one_mask_close_to_the_rgb_one(self):
        expected = global_masks()
        with vidra.Segmenter(WIDTH, HEIGHT, models=MODEL_DIR) as planar, \
                vidra.Segmenter(WIDTH, HEIGHT, models=MODEL_DIR) as interleaved:
            for index, frame in enumerate(frames()):
                y, u, v = yuv420(frame)
                mask = planar(np.concatenate([y.ravel(), u.ravel(), v.ravel()]), format="i420")
                nv12 = np.concatenate([y, np.stack([u, v], axis=2).reshape(HEIGHT // 2, WIDTH)])
                np.testing.assert_array_equal(interleaved(nv12, format="NV12"), mask)
                # Only the colour conversion differs from the RGB frame.
                self.assertGreater(((mask > 127) == (expected[index] > 127)).mean(), 0.98)

    def test_out_with_padded_rows_and_reset(self):
        expected = global_masks()
        self.assertTrue(os.path.samefile(vidra.default_model_dir(), MODEL_DIR))
        storage = np.full((HEIGHT, WIDTH + 7), 77, np.uint8)
        out = storage[:, :WIDTH]
        with vidra.Segmenter(WIDTH, HEIGHT) as seg:  # the default model folder
            for index in (0, 1, 2):
                self.assertIs(seg(frames()[index], out=out), out)
            # After a reset the instance starts over: frame 0 again gives mask 0.
            seg.reset()
            seg(frames()[0], out=out)
        np.testing.assert_array_equal(out, expected[0])
        self.assertTrue((storage[:, WIDTH:] == 77).all(), "wrote past the row")

    def test_the_other_parameter_record_finds_the_same_person(self):
        with vidra.Segmenter(WIDTH, HEIGHT, models=MODEL_DIR, params="640x480") as seg:
            other = seg(frames()[0])
        self.assertFalse(np.array_equal(other, global_masks()[0]))
        self.assertGreater(((other > 127) == (global_masks()[0] > 127)).mean(), 0.9)
        with self.assertRaises(TypeError):
            vidra.Segmenter(WIDTH, HEIGHT, models=MODEL_DIR, params={"maskWidth": 5})

    def test_bad_arguments_raise_before_the_library_runs(self):
        good = frames()[0]
        with vidra.Segmenter(WIDTH, HEIGHT, models=MODEL_DIR) as seg:
            cases = {
                "list": (TypeError, good.tolist(), {}),
                "float": (TypeError, good.astype(np.float32), {}),
                "2-d": (ValueError, good[..., 0], {}),
                "2 channels": (ValueError, good[..., :2], {}),
                "other size": (ValueError, good[:-2], {}),
                "format vs channels": (ValueError, good, {"format": "rgba"}),
                "unknown format": (ValueError, good, {"format": "yuv"}),
                "i420 size": (ValueError, good[:HEIGHT // 3], {"format": "i420"}),
                "nv12 not contiguous": (ValueError, good[::2], {"format": "nv12"}),
                "pixel stride": (ValueError, good[:, ::-1], {}),
                "channel view": (ValueError, with_alpha(good, [0, 1, 2])[..., :3], {}),
                "out shape": (ValueError, good, {"out": np.empty((HEIGHT, WIDTH + 1), np.uint8)}),
                "out dtype": (TypeError, good, {"out": np.empty((HEIGHT, WIDTH), np.int16)}),
                "out read-only": (ValueError, good, {"out": np.broadcast_to(np.uint8(0), (HEIGHT, WIDTH))}),
            }
            for name, (error, frame, kwargs) in cases.items():
                with self.subTest(case=name), self.assertRaises(error):
                    seg(frame, **kwargs)
            seg.close()
            self.assertTrue(seg.closed)
            with self.assertRaises(ValueError):
                seg(good)
            seg.close()

    def test_refusals_carry_the_status_name_and_the_library_message(self):
        cases = {
            "model not found": dict(width=WIDTH, height=HEIGHT, models=MODEL_DIR + "/missing"),
            "bad dimensions": dict(width=1, height=HEIGHT, models=MODEL_DIR),
            "option out of range": dict(width=WIDTH, height=HEIGHT, models=MODEL_DIR, threads=-3),
        }
        for name, kwargs in cases.items():
            with self.subTest(status=name), self.assertRaises(vidra.VidraError) as caught:
                vidra.Segmenter(**kwargs)
            self.assertEqual(caught.exception.name, name)
            self.assertLess(caught.exception.status, 0)
            self.assertTrue(caught.exception.message)
            self.assertIn(caught.exception.message, str(caught.exception))

    def test_log_lines_go_to_logging_and_nothing_to_stdout(self):
        logger = logging.getLogger("vidra.test")
        logger.setLevel(logging.DEBUG)
        logger.propagate = False
        records, stdout = [], []
        handler = logging.Handler()
        handler.emit = records.append
        logger.addHandler(handler)
        got = []
        with captured_stdout(stdout):
            with vidra.Segmenter(WIDTH, HEIGHT, models=MODEL_DIR, log=logger) as seg:
                seg(frames()[0])
                seg.reset()
            with vidra.Segmenter(WIDTH, HEIGHT, models=MODEL_DIR, log=lambda *a: got.append(a)) as seg:
                seg(frames()[0])
            with self.assertRaises(vidra.VidraError):
                vidra.Segmenter(WIDTH, HEIGHT, models=MODEL_DIR + "/missing", log=logger)
            vidra.composite(frames()[0], global_masks()[0], 10)
        self.assertEqual(stdout, [b""])
        self.assertEqual({r.levelno for r in records}, {logging.DEBUG, logging.INFO, logging.ERROR})
        self.assertEqual({level for level, _ in got}, {logging.DEBUG, logging.INFO})
        self.assertTrue(all(isinstance(message, str) and message for _, message in got))
        self.assertEqual(records[-1].levelno, logging.ERROR)
        self.assertIn("missing", records[-1].getMessage())


if __name__ == "__main__":
    unittest.main()
