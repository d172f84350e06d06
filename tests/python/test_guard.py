"""An instance used from its own log callback, from other threads, and after
close(): errors or waiting, never a dead interpreter."""
import hashlib
import threading
import time
import unittest

import numpy as np

import vidra
from test_segmenter import H, MODEL_DIR, W, frames

BUSY = -113


class Armed:
    """A log callback that runs action(segmenter) on the first line it gets
    once armed (creation logs too)."""

    def __init__(self, action):
        self.action, self.segmenter, self.ran = action, None, 0

    def __call__(self, _level, _message):
        if self.segmenter is not None and not self.ran:
            self.ran += 1
            self.action(self.segmenter)


class GuardTest(unittest.TestCase):
    def test_calls_from_the_log_callback_raise_and_the_instance_lives_on(self):
        frame = frames()[0]
        actions = {"close()": lambda s: s.close(), "reset()": lambda s: s.reset(),
                   "__call__()": lambda s: s(frame)}
        for name, action in actions.items():
            with self.subTest(name):
                log = Armed(action)
                with vidra.Segmenter(W, H, models=MODEL_DIR, log=log) as seg:
                    log.segmenter = seg
                    with self.assertRaises(vidra.VidraError) as caught:
                        seg(frame)
                    self.assertEqual((caught.exception.status, log.ran), (BUSY, 1))
                    self.assertIn(name + " called from the segmenter's own log callback", str(caught.exception))
                    self.assertFalse(seg.closed)
                    seg.reset()
                    self.assertEqual(seg(frame).shape, (H, W))

    def test_close_from_another_thread_waits_for_the_frame(self):
        order, in_callback = [], threading.Event()

        def hold(_segmenter):  # keeps the frame in the library while close() is tried
            in_callback.set()
            time.sleep(0.3)
            order.append("callback returned")

        log = Armed(hold)
        seg = vidra.Segmenter(W, H, models=MODEL_DIR, log=log)
        log.segmenter = seg
        masks = []
        worker = threading.Thread(target=lambda: (masks.append(seg(frames()[0])), order.append("frame done")))
        worker.start()
        self.assertTrue(in_callback.wait(30))
        seg.close()
        order.append("closed")
        worker.join()
        self.assertEqual(order, ["callback returned", "frame done", "closed"])
        with vidra.Segmenter(W, H, models=MODEL_DIR) as fresh:
            np.testing.assert_array_equal(masks[0], fresh(frames()[0]))

    def test_threads_sharing_an_instance_take_turns(self):
        # One frame over and over: the instance's n-th call gives the same
        # mask whichever thread makes it.
        def digests(threads, calls):
            found = []
            with vidra.Segmenter(W, H, models=MODEL_DIR) as seg:
                def work():
                    found.extend(hashlib.sha1(seg(frames()[0])).hexdigest() for _ in range(calls))
                workers = [threading.Thread(target=work) for _ in range(threads)]
                for worker in workers:
                    worker.start()
                for worker in workers:
                    worker.join()
            return sorted(found)

        self.assertEqual(digests(3, 8), digests(1, 24))

    def test_calls_after_close_raise(self):
        seg = vidra.Segmenter(W, H, models=MODEL_DIR)
        seg.close()
        calls = {"__call__()": lambda: seg(frames()[0]), "reset()": seg.reset}
        for name, call in calls.items():
            with self.subTest(name), self.assertRaisesRegex(ValueError, "closed"):
                call()
        seg.close()  # idempotent
        self.assertTrue(seg.closed)
