"""composite and refine_mask: argument forms reach the library as meant; refusals raise."""
import unittest

import numpy as np

import vidra

RNG = np.random.default_rng(7)
H, W = 37, 53  # odd sizes catch row and stride mix-ups


def random_frame(channels=3):
    return RNG.integers(0, 256, (H, W, channels), np.uint8)


class CompositeTest(unittest.TestCase):
    def test_backgrounds_formats_and_outputs(self):
        frame, image = random_frame(), random_frame()
        bgr, opaque = np.ascontiguousarray(frame[..., ::-1]), np.full((H, W), 255, np.uint8)
        # A bottom-up view of a hard mask: where 255 the frame stays, where 0 the background shows.
        mask = np.ascontiguousarray(RNG.choice(np.uint8([0, 255]), (H, W))[::-1])[::-1]
        colour = np.broadcast_to(np.uint8([200, 30, 90]), frame.shape)
        transparent = np.dstack([bgr, mask])  # the frame everywhere, the mask as alpha
        composite = vidra.composite
        cases = {  # name -> (result, expected where the mask is 255, expected where 0)
            "colour": (composite(frame, mask, (200, 30, 90)), frame, colour),
            "colour, bgr in and out": (composite(bgr, mask, [200, 30, 90], format="bgr")[..., ::-1],
                                       frame, colour),
            "image": (composite(frame, mask, image), frame, image),
            "bgra out": (composite(frame, mask, (1, 2, 3), out_format="bgra"), np.dstack([bgr, opaque]),
                         [3, 2, 1, 255]),
            "transparent": (composite(bgr, mask, "transparent", format="bgr"), transparent, transparent),
            "blur": (blurred := composite(frame, mask, 25), frame, blurred),
        }
        for name, (out, person, background) in cases.items():
            with self.subTest(name):
                np.testing.assert_array_equal(out, np.where(mask[..., None] == 255, person, background))
        in_place = frame.copy()
        self.assertIs(vidra.composite(in_place, mask, (9, 9, 9), out=in_place), in_place)
        np.testing.assert_array_equal(in_place, vidra.composite(frame, mask, (9, 9, 9)))

    def test_refusals(self):
        frame, mask = random_frame(), np.zeros((H, W), np.uint8)
        cases = {
            "transparent into 3 bytes": (vidra.VidraError, "transparent", {"out": frame.copy()}),
            "colour range": (ValueError, (256, 0, 0), {}),
            "unknown name": (ValueError, "opaque", {}),
            "bool": (TypeError, True, {}),
            "image size": (ValueError, random_frame()[1:], {}),
            "mask size": (ValueError, 5, {"mask": mask[:, 1:]}),
            "mask dtype": (TypeError, 5, {"mask": mask.astype(bool)}),
            "out size": (ValueError, 5, {"out": np.empty((H, W - 1, 3), np.uint8)}),
        }
        for name, (error, background, kwargs) in cases.items():
            with self.subTest(case=name), self.assertRaises(error) as caught:
                vidra.composite(frame, **{"mask": mask, "background": background, **kwargs})
            if error is vidra.VidraError:
                self.assertEqual(caught.exception.name, "unsupported pixel format")

    def test_refine_mask_in_place_and_its_options(self):
        mask = np.zeros((H, W), np.uint8)
        mask[8:30, 10:40] = 255
        edged = np.where(mask[..., None] > 0, 220, 30).astype(np.uint8).repeat(4, axis=2)  # rgba
        expected = vidra.refine_mask(edged, mask, radius=4, epsilon=0.01)
        in_place = mask.copy()
        self.assertIs(vidra.refine_mask(edged, in_place, radius=4, epsilon=0.01, out=in_place), in_place)
        np.testing.assert_array_equal(in_place, expected)

