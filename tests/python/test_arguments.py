"""Values ctypes would truncate or the library would refuse without saying
why are refused in Python, naming the argument and what it accepts."""
import os
import tempfile
import unittest

import numpy as np

import vidra

MODEL_DIR = os.environ["VIDRA_TEST_MODEL_DIR"]
H, W = 37, 53
RNG = np.random.default_rng(3)
FRAME = RNG.integers(0, 256, (H, W, 3), np.uint8)
MASK = RNG.integers(0, 256, (H, W), np.uint8)
TALL = 2**32 + 1  # rows; 1 once truncated to 32 bits


def sparse_map(folder, name, shape):
    """A memory map of a new sparse file: nothing is read unless the library runs on it."""
    return np.memmap(os.path.join(folder, name), np.uint8, "w+", shape=shape)


def segmenter(*args, **kwargs):
    with vidra.Segmenter(*args, **{"models": MODEL_DIR, **kwargs}):
        pass


class ArgumentTest(unittest.TestCase):
    def test_refusals_name_the_argument_and_its_range(self):
        broadcast = np.broadcast_to(FRAME[:1], FRAME.shape)
        with tempfile.TemporaryDirectory() as folder, vidra.Segmenter(W, H, models=MODEL_DIR) as seg:
            tall_frame, tall_mask = sparse_map(folder, "frame", (TALL, 1, 3)), sparse_map(folder, "mask", (TALL, 1))
            cases = {  # name -> (call, exception, text the message holds)
                "blur strength past 32 bits": (lambda: vidra.composite(FRAME, MASK, 2**32 + 18),
                                               ValueError, "1..500"),
                "blur strength 0": (lambda: vidra.composite(FRAME, MASK, 0), ValueError, "1..500"),
                "blur strength 501": (lambda: vidra.composite(FRAME, MASK, 501), ValueError, "1..500"),
                "float blur strength": (lambda: vidra.composite(FRAME, MASK, 15.0), TypeError, "integer"),
                "broadcast frame": (lambda: vidra.composite(broadcast, MASK, 5), ValueError, "rows overlap"),
                "broadcast mask": (lambda: vidra.composite(FRAME, np.broadcast_to(MASK[:1], MASK.shape), 5),
                                   ValueError, "rows overlap"),
                "radius past 32 bits": (lambda: vidra.refine_mask(FRAME, MASK, radius=2**32 + 4),
                                        ValueError, "0..500"),
                "radius 501": (lambda: vidra.refine_mask(FRAME, MASK, radius=501), ValueError, "0..500"),
                "float radius": (lambda: vidra.refine_mask(FRAME, MASK, radius=4.0), TypeError, "integer"),
                "epsilon": (lambda: vidra.refine_mask(FRAME, MASK, epsilon=2.0), vidra.VidraError, "1e-06..1"),
                "text epsilon": (lambda: vidra.refine_mask(FRAME, MASK, epsilon="0.1"), TypeError, "number"),
                "2^32 + 1 rows": (lambda: vidra.refine_mask(tall_frame, tall_mask, out=tall_mask),
                                  ValueError, str(TALL)),
                "width past 32 bits": (lambda: segmenter(2**32 + 64, 360), ValueError, "width"),
                "fractional width": (lambda: segmenter(640.7, 360), TypeError, "integer"),
                "integral float height": (lambda: segmenter(640, 360.0), TypeError, "integer"),
                "threads past 32 bits": (lambda: segmenter(W, H, threads=2**32), ValueError, "threads"),
                "unknown params name": (lambda: segmenter(W, H, params="999x1"), ValueError, "'640x480'"),
                "broadcast frame to a segmenter": (lambda: seg(broadcast), ValueError, "rows overlap"),
            }
            for name, (call, error, text) in cases.items():
                with self.subTest(name):
                    with self.assertRaises(error) as caught:
                        call()
                    self.assertIn(text, str(caught.exception))

    def test_numpy_integers_and_one_row_views_are_taken(self):
        blurred = vidra.composite(FRAME, MASK, 25)
        np.testing.assert_array_equal(vidra.composite(FRAME, MASK, np.int16(25)), blurred)
        refined = vidra.refine_mask(FRAME, MASK, radius=4)
        np.testing.assert_array_equal(vidra.refine_mask(FRAME, MASK, radius=np.uint8(4)), refined)
        # One row of a broadcast: its row stride is 0, but one row reads the same bytes.
        row = np.broadcast_to(FRAME[:1], (5, W, 3))[:1]
        np.testing.assert_array_equal(vidra.composite(row, MASK[:1], (1, 2, 3)),
                                      vidra.composite(FRAME[:1].copy(), MASK[:1], (1, 2, 3)))
