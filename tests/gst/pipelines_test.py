"""The built plugin in real pipelines: gst-launch-1.0 file to file, a 720p
NV12 live-style source, two elements in one process, and the README's
Python example as printed. GST_PLUGIN_PATH, GST_REGISTRY and VIDRA_MODEL_DIR
come from CTest."""
import os
import re
import subprocess
import sys
import tempfile
import unittest

import numpy as np

MODELS = os.environ["VIDRA_MODEL_DIR"]
PHOTO = os.path.join(MODELS, "test", "frames", "astronaut.ppm")
WORK = os.environ.get("VIDRA_TEST_WORK") or tempfile.mkdtemp()
README = os.environ["VIDRA_README"]
CLIP_FRAMES = 45


def run(args, timeout=300):
    result = subprocess.run(args, capture_output=True, text=True, timeout=timeout)
    if result.returncode != 0:
        raise AssertionError(f"{args[0]} exited {result.returncode}:\n{result.stderr[-3000:]}\n"
                             f"{result.stdout[-3000:]}")
    return result


def launch(pipeline, *options):
    return run(["gst-launch-1.0", *options] + pipeline.split())


def count_frames(path):
    out = run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
               "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0", path]).stdout
    return int(out.strip())


def first_frame_rgb(path, width, height):
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-frames:v", "1", "-f", "rawvideo",
                          "-pix_fmt", "rgb24", "-"], capture_output=True, check=True).stdout
    return np.frombuffer(raw, np.uint8).reshape(height, width, 3)


def make_clip():
    """A window panning over a photo with a person: every frame new."""
    os.makedirs(WORK, exist_ok=True)
    clip = os.path.join(WORK, "pan.mp4")
    if not os.path.exists(clip):
        run(["ffmpeg", "-v", "error", "-y", "-loop", "1", "-framerate", "30", "-i", PHOTO,
             "-vf", "crop=320:240:x='mod(n*7,320)':y='mod(n*3,240)',format=yuv420p",
             "-frames:v", str(CLIP_FRAMES), "-c:v", "libx264", "-preset", "ultrafast",
             clip + ".part.mp4"])
        os.replace(clip + ".part.mp4", clip)
    return clip


class Pipelines(unittest.TestCase):
    def test_file_to_file_keeps_every_frame(self):
        clip = make_clip()
        self.assertEqual(count_frames(clip), CLIP_FRAMES)
        for background, blue_expected in (("color color=0xff0000ff", True), ("blur", False)):
            with self.subTest(background=background):
                out = os.path.join(WORK, "out-%s.mp4" % background.split()[0])
                launch(f"filesrc location={clip} ! decodebin ! videoconvert ! "
                       f"vidra background={background} ! x264enc ! mp4mux ! "
                       f"filesink location={out}")
                self.assertEqual(count_frames(out), CLIP_FRAMES)
                rgb = first_frame_rgb(out, 320, 240).astype(int)
                blue = np.mean((rgb[..., 2] > 180) & (rgb[..., 0] < 80) & (rgb[..., 1] < 80))
                if blue_expected:   # background replaced, person kept
                    self.assertGreater(blue, 0.2)
                    self.assertLess(blue, 0.95)
                else:
                    self.assertLess(blue, 0.05)

    def test_nv12_720p_straight_in(self):
        result = launch("videotestsrc num-buffers=8 pattern=ball ! "
                        "video/x-raw,format=NV12,width=1280,height=720,framerate=30/1 ! "
                        "vidra name=v ! fakesink", "-v")
        # No converter between: the element's own pads carry NV12.
        self.assertRegex(result.stdout, r"GstVidra:v\.GstPad:sink: caps = video/x-raw, format=\(string\)NV12")
        self.assertRegex(result.stdout, r"GstVidra:v\.GstPad:src: caps = video/x-raw, format=\(string\)NV12")

    def test_two_elements_are_two_streams(self):
        result = launch("videotestsrc num-buffers=20 pattern=ball ! "
                        "video/x-raw,format=RGBx,width=320,height=240 ! tee name=t "
                        "t. ! queue ! vidra name=a stats-interval=10 ! fakesink "
                        "t. ! queue ! vidra name=b background=color stats-interval=5 ! fakesink", "-m")
        stats = re.findall(r'from element "(\w+)" \(element\): vidra-stats, frames=\(guint64\)(\d+)',
                           result.stdout)
        self.assertEqual(sorted((name, int(n)) for name, n in stats),
                         [("a", 10), ("a", 20), ("b", 5), ("b", 10), ("b", 15), ("b", 20)])

    def test_missing_model_fails_the_pipeline(self):
        result = subprocess.run(["gst-launch-1.0", "videotestsrc", "num-buffers=2", "!", "vidra",
                                 "model-location=/nonexistent/models", "!", "fakesink"],
                                capture_output=True, text=True, timeout=120)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn('No vidra model found at "/nonexistent/models"', result.stdout + result.stderr)

    def test_readme_python_example(self):
        with open(README, encoding="utf-8") as f:
            text = f.read()
        match = re.search(r"<!-- gst-python-example -->\s*```python\n(.*?)```", text, re.S)
        self.assertIsNotNone(match, "README has no marked GStreamer Python example")
        script = os.path.join(WORK, "readme_example.py")
        with open(script, "w", encoding="utf-8") as f:
            f.write(match.group(1))
        result = run(["/usr/bin/python3", script, make_clip()])
        shares = [float(v) for v in re.findall(r"^frame \d+: person ([\d.]+)%$", result.stdout, re.M)]
        self.assertEqual(len(shares), CLIP_FRAMES)
        self.assertTrue(all(5 < s < 95 for s in shares), shares)


if __name__ == "__main__":
    unittest.main()
