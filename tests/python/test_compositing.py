"""composite and refine_mask: the documented per-pixel results through every
argument form, and refusals."""
import unittest

import numpy as np

import vidra
from support import frames

RNG = np.random.default_rng(7)
H, W = 37, 53  # odd sizes catch row and stride mix-ups


def random_frame(channels=3):
    return RNG.integers(0, 256, (H, W, channels), np.uint8)


def blend(frame, mask, background):
    m = mask.astype(np.int32)[..., None]
    return ((frame.astype(np.int32) * m + background.astype(np.int32) * (255 - m) + 127) // 255
            ).astype(np.uint8)


class CompositeTest(unittest.TestCase):
    def test_colour_and_image_backgrounds_follow_the_blend(self):
        frame, image = random_frame(), random_frame()
        # A bottom-up mask view: rows must not be mixed up.
        mask = np.ascontiguousarray(RNG.integers(0, 256, (H, W), np.uint8)[::-1])[::-1]
        colour = np.array([200, 30, 90], np.uint8)
        np.testing.assert_array_equal(vidra.composite(frame, mask, (200, 30, 90)),
                                      blend(frame, mask, np.broadcast_to(colour, frame.shape)))
        np.testing.assert_array_equal(vidra.composite(frame, mask, image), blend(frame, mask, image))
        # BGR in, BGR out: the colour is still given as red, green, blue.
        bgr = np.ascontiguousarray(frame[..., ::-1])
        np.testing.assert_array_equal(vidra.composite(bgr, mask, (200, 30, 90), format="bgr")[..., ::-1],
                                      blend(frame, mask, np.broadcast_to(colour, frame.shape)))

    def test_full_mask_keeps_the_frame_and_empty_mask_gives_the_background(self):
        frame = random_frame()
        full, empty = np.full((H, W), 255, np.uint8), np.zeros((H, W), np.uint8)
        image = random_frame()
        for background in (1, 40, (0, 177, 64), image):
            with self.subTest(background=type(background).__name__):
                np.testing.assert_array_equal(vidra.composite(frame, full, background), frame)
        self.assertTrue((vidra.composite(frame, empty, (0, 177, 64)) == [0, 177, 64]).all())
        np.testing.assert_array_equal(vidra.composite(frame, empty, image), image)
        # A 4-byte output of an opaque kind gets alpha 255.
        out = vidra.composite(frame, empty, (1, 2, 3), out_format="bgra")
        self.assertTrue((out == [3, 2, 1, 255]).all())

    def test_blur_keeps_the_person_and_changes_the_background(self):
        frame, mask = frames()[0], np.zeros(frames()[0].shape[:2], np.uint8)
        mask[100:300, 200:400] = 255
        out = vidra.composite(frame, mask, 25)
        np.testing.assert_array_equal(out[100:300, 200:400], frame[100:300, 200:400])
        background = mask == 0
        self.assertGreater(np.abs(out.astype(int) - frame)[background].mean(), 2)
        # Blurred: neighbouring pixels differ far less than in the frame.
        self.assertLess(np.abs(np.diff(out[:80].astype(int), axis=1)).mean(),
                        np.abs(np.diff(frame[:80].astype(int), axis=1)).mean() / 2)

    def test_transparent_and_in_place(self):
        frame = random_frame()
        mask = RNG.integers(0, 256, (H, W), np.uint8)
        for fmt, order in (("rgb", [0, 1, 2]), ("bgr", [2, 1, 0])):
            with self.subTest(format=fmt):
                given = np.ascontiguousarray(frame[..., order])
                out = vidra.composite(given, mask, "transparent", format=fmt)
                self.assertEqual(out.shape, (H, W, 4))
                np.testing.assert_array_equal(out[..., :3], given)  # BGR in gives BGRA
                np.testing.assert_array_equal(out[..., 3], mask)
        in_place = frame.copy()
        self.assertIs(vidra.composite(in_place, mask, (9, 9, 9), out=in_place), in_place)
        np.testing.assert_array_equal(in_place, vidra.composite(frame, mask, (9, 9, 9)))

    def test_refusals(self):
        frame, mask = random_frame(), np.zeros((H, W), np.uint8)
        cases = {
            "blur 0": (vidra.VidraError, frame, mask, 0, {}),
            "blur 501": (vidra.VidraError, frame, mask, 501, {}),
            "transparent into 3 bytes": (vidra.VidraError, frame, mask, "transparent",
                                         {"out": np.empty((H, W, 3), np.uint8)}),
            "colour range": (ValueError, frame, mask, (256, 0, 0), {}),
            "unknown name": (ValueError, frame, mask, "opaque", {}),
            "bool": (TypeError, frame, mask, True, {}),
            "image size": (ValueError, frame, mask, random_frame()[1:], {}),
            "mask size": (ValueError, frame, mask[:, 1:], 5, {}),
            "mask dtype": (TypeError, frame, mask.astype(bool), 5, {}),
            "out size": (ValueError, frame, mask, 5, {"out": np.empty((H, W - 1, 3), np.uint8)}),
        }
        for name, (error, f, m, background, kwargs) in cases.items():
            with self.subTest(case=name), self.assertRaises(error) as caught:
                vidra.composite(f, m, background, **kwargs)
            if error is vidra.VidraError:
                self.assertIn(caught.exception.name, ("option out of range", "unsupported pixel format"))


class RefineMaskTest(unittest.TestCase):
    def test_constant_masks_stay_and_in_place_equals_a_new_output(self):
        frame = random_frame(4)
        for value in (0, 255):
            with self.subTest(value=value):
                mask = np.full((H, W), value, np.uint8)
                np.testing.assert_array_equal(vidra.refine_mask(frame, mask, radius=3), mask)
        # A hard-edged square on a frame with the same edge gets a refined copy.
        mask = np.zeros((H, W), np.uint8)
        mask[8:30, 10:40] = 255
        edged = np.where(mask[..., None] > 0, 220, 30).astype(np.uint8).repeat(3, axis=2)
        expected = vidra.refine_mask(edged, mask, radius=4, epsilon=0.01)
        in_place = mask.copy()
        self.assertIs(vidra.refine_mask(edged, in_place, radius=4, epsilon=0.01, out=in_place), in_place)
        np.testing.assert_array_equal(in_place, expected)
        with self.assertRaises(vidra.VidraError) as caught:
            vidra.refine_mask(edged, mask, radius=501)
        self.assertEqual(caught.exception.name, "option out of range")


if __name__ == "__main__":
    unittest.main()
