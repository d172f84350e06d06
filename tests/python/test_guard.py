"""An instance used from its own log callback, from another thread, and after
close(): an error or a wait, never a dead interpreter."""
import threading
import time
import unittest

import numpy as np

import vidra
from test_segmenter import H, MODEL_DIR, W, frames


def armed(action):
    """A segmenter whose log callback runs action(segmenter) once, on the
    first line of its first frame."""
    state = {"segmenter": None}

    def log(_level, _message):
        segmenter, state["segmenter"] = state["segmenter"], None
        if segmenter is not None:
            action(segmenter)

    state["segmenter"] = segmenter = vidra.Segmenter(W, H, models=MODEL_DIR, log=log)
    return segmenter


class GuardTest(unittest.TestCase):
    def test_calls_from_the_log_callback_raise_and_the_instance_lives_on(self):
        frame = frames()[0]
        actions = {"close()": lambda s: s.close(), "reset()": lambda s: s.reset(), "__call__()": lambda s: s(frame)}
        for name, action in actions.items():
            with self.subTest(name), armed(action) as seg:
                with self.assertRaises(vidra.VidraError) as caught:
                    seg(frame)
                self.assertEqual(caught.exception.status, -113)  # VIDRA_STATUS_BUSY
                self.assertIn(name + " called from the segmenter's own log callback", str(caught.exception))
                self.assertEqual(seg(frame).shape, (H, W))
                seg.close()
                for call in (seg.reset, lambda: seg(frame)):
                    self.assertRaisesRegex(ValueError, "closed", call)
                seg.close()

    def test_close_from_another_thread_waits_for_the_frame(self):
        order, in_callback = [], threading.Event()

        def hold(_segmenter):  # keeps the frame inside the library while close() runs
            in_callback.set()
            time.sleep(0.3)
            order.append("callback returned")

        seg, masks = armed(hold), []
        worker = threading.Thread(target=lambda: (masks.append(seg(frames()[0])), order.append("frame done")))
        worker.start()
        self.assertTrue(in_callback.wait(60))
        seg.close()
        order.append("closed")
        worker.join()
        self.assertEqual(order, ["callback returned", "frame done", "closed"])
        with vidra.Segmenter(W, H, models=MODEL_DIR) as fresh:
            np.testing.assert_array_equal(masks[0], fresh(frames()[0]))
