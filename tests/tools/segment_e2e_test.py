#!/usr/bin/env python3
"""End-to-end tests of vidra-segment and the example host against the real
library and models, on small inputs made with ffmpeg from astronaut.png."""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time
import unittest

ASTRONAUT = "/usr/lib/python3/dist-packages/skimage/data/astronaut.png"
PHOTOS = "/usr/share/doc/opencv-doc/examples/data"
SUMMARY = re.compile(
    r"^summary: frames (\d+), skipped (\d+) by the keyframe test, "
    r"ms per frame: mean (\d+\.\d\d), p95 (\d+\.\d\d)$", re.M)

ARGS = None  # tool, host, models, work


def run(cmd, env=None):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, timeout=300)


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-v", "error", "-nostdin", "-y", *args], check=True)


def work(name):
    return os.path.join(ARGS.work, name)


def probe(path):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
         "stream=width,height,nb_read_frames,pix_fmt:stream_tags", "-of", "default=noprint_wrappers=1", path],
        stdout=subprocess.PIPE, check=True).stdout.decode()
    return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)


def decode(path, pix_fmt, vf=None):
    """All frames of path as one bytes object in pix_fmt."""
    cmd = ["ffmpeg", "-v", "error", "-nostdin", "-i", path]
    if vf:
        cmd += ["-vf", vf]
    cmd += ["-f", "rawvideo", "-pix_fmt", pix_fmt, "-"]
    return subprocess.run(cmd, stdout=subprocess.PIPE, check=True).stdout


def summary_of(stderr):
    m = SUMMARY.search(stderr)
    return (int(m.group(1)), int(m.group(2)), float(m.group(3)), float(m.group(4))) if m else None


class Inputs:
    """Made once: a 12-frame lossless clip 302x226 (a pan, then a still
    stretch) and a 301x301 still; neither width is a multiple of 4."""
    made = False

    @classmethod
    def make(cls):
        if cls.made:
            return
        os.makedirs(ARGS.work, exist_ok=True)
        ffmpeg("-loop", "1", "-framerate", "10", "-i", ASTRONAUT, "-vf",
               "crop=400:300:x='min(n,5)*16':y=30,scale=302:226", "-frames:v", "12",
               "-c:v", "ffv1", "-pix_fmt", "bgr0", work("clip.mkv"))
        ffmpeg("-i", ASTRONAUT, "-vf", "scale=301:301", work("still.png"))
        cls.made = True


class ToolTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        Inputs.make()

    def tool(self, *args, env=None):
        return run([ARGS.tool, *args], env=env)

    def assertQuietStdout(self, r):
        self.assertEqual(r.stdout, b"", "stdout must stay free of the library's log")

    # -- command line and failures ------------------------------------------

    def test_help(self):
        r = self.tool("--help")
        self.assertEqual(r.returncode, 0)
        self.assertIn(b"Usage: vidra-segment", r.stdout)
        self.assertIn(ARGS.models.encode(), r.stdout)  # the default model folder
        self.assertNotIn(b"DestroyIPU", r.stdout)  # the library's unload log stays out

    def test_usage_errors_exit_2(self):
        for args, mention in [(["--bogus", work("still.png")], "--bogus"),
                              (["--frame-type", "3", work("still.png")], "--frame-type"),
                              ([], "no input"),
                              (["--remove", "-o", work("x.mp4"), work("still.png")], "transparent")]:
            r = self.tool(*args)
            self.assertEqual(r.returncode, 2, args)
            self.assertIn(mention, r.stderr.decode())
            self.assertQuietStdout(r)
        self.assertFalse(os.path.exists(work("x.mp4")))

    def test_missing_input_exit_3(self):
        r = self.tool("-o", work("never.png"), work("no-such-file.mp4"))
        self.assertEqual(r.returncode, 3)
        self.assertIn("no-such-file.mp4", r.stderr.decode())
        self.assertQuietStdout(r)

    def test_undecodable_input_exit_3(self):
        with open(work("garbage.mp4"), "wb") as f:
            f.write(b"not a video at all" * 100)
        r = self.tool(work("garbage.mp4"))
        self.assertEqual(r.returncode, 3)
        self.assertIn("garbage.mp4", r.stderr.decode())

    def test_missing_ffmpeg_exit_4(self):
        empty = work("empty-path")
        os.makedirs(empty, exist_ok=True)
        r = self.tool(work("still.png"), env=dict(os.environ, PATH=empty))
        self.assertEqual(r.returncode, 4)
        self.assertIn("not found", r.stderr.decode())

    def test_bad_model_folder_exit_5_with_status(self):
        empty = work("no-models")
        os.makedirs(empty, exist_ok=True)
        r = self.tool("--models", empty, "--log", work("bad.log"), work("still.png"))
        self.assertEqual(r.returncode, 5)
        self.assertRegex(r.stderr.decode(), r"status -[12]\)")
        self.assertQuietStdout(r)
        with open(work("bad.log")) as f:
            self.assertIn("SorvanePlus Create", f.read())

    # -- a clip -----------------------------------------------------------------

    def test_video_outputs_summary_and_log(self):
        comp, mask, log = work("clip-comp.mp4"), work("clip-mask.mkv"), work("clip.log")
        r = self.tool("-o", comp, "-m", mask, "--log", log, work("clip.mkv"))
        err = r.stderr.decode()
        self.assertEqual(r.returncode, 0, err)
        self.assertQuietStdout(r)
        self.assertIn("rightmost 2 column(s) are cropped (300x226)", err)

        with open(log) as f:
            text = f.read()
        self.assertIn("SorvanePlus Create wtih:width = 300, height = 226, frameType = 1!", text)
        self.assertIn("SorvaneDestroy!", text)
        runs = text.count("NNXRun start.")

        s = summary_of(err)
        self.assertIsNotNone(s, err)
        frames, skipped, mean, p95 = s
        self.assertEqual(frames, 12)
        self.assertEqual(skipped, frames - runs)
        self.assertGreater(skipped, 0, "the still stretch repeats frames")
        self.assertGreater(mean, 0.0)
        self.assertGreaterEqual(p95, mean * 0.5)

        for path in (comp, mask):
            info = probe(path)
            self.assertEqual((info["width"], info["height"], info["nb_read_frames"]), ("300", "226", "12"), path)
        self.assertEqual(probe(mask)["pix_fmt"], "gray")

        data = decode(mask, "gray")
        size = 300 * 226
        self.assertEqual(len(data), 12 * size)
        masks = [data[i * size:(i + 1) * size] for i in range(12)]
        for i, m in enumerate(masks):
            fg = sum(1 for v in m if v >= 200) / size
            bg = sum(1 for v in m if v <= 50) / size
            self.assertGreater(fg, 0.05, "frame %d has no person" % i)
            self.assertGreater(bg, 0.05, "frame %d has no background" % i)
        # A skipped frame receives an exact copy of the last mask: the count read
        # from the log must be matched by repeated masks in the output.
        repeats = sum(1 for i in range(1, 12) if masks[i] == masks[i - 1])
        self.assertGreaterEqual(repeats, skipped)

    def test_max_frames_and_transparent_webm(self):
        out = work("cut.webm")
        r = self.tool("--remove", "--max-frames", "4", "-o", out, work("clip.mkv"))
        self.assertEqual(r.returncode, 0, r.stderr.decode())
        self.assertEqual(summary_of(r.stderr.decode())[0], 4)
        info = probe(out)
        self.assertEqual(info["nb_read_frames"], "4")
        self.assertEqual(info.get("TAG:alpha_mode", info.get("TAG:ALPHA_MODE")), "1")

    # -- live sources ------------------------------------------------------------

    def test_live_source_stops_at_max_frames(self):
        out = work("live.mp4")
        r = self.tool("--input-format", "lavfi", "--max-frames", "6", "-o", out, "testsrc2=size=322x240:rate=10")
        err = r.stderr.decode()
        self.assertEqual(r.returncode, 0, err)
        self.assertIn("unknown number of frames", err)
        self.assertEqual(summary_of(err)[0], 6)
        self.assertEqual(probe(out)["nb_read_frames"], "6")

    def test_live_source_ends_cleanly_on_ctrl_c(self):
        out, mask = work("live-int.mkv"), work("live-int-mask.mkv")
        p = subprocess.Popen([ARGS.tool, "--input-format", "lavfi", "-o", out, "-m", mask,
                              "testsrc2=size=160x120:rate=30"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        time.sleep(3)
        p.send_signal(signal.SIGINT)
        stdout, stderr = p.communicate(timeout=60)
        err = stderr.decode()
        self.assertEqual(p.returncode, 0, err)
        self.assertEqual(stdout, b"")
        self.assertIn("interrupted", err)
        frames = summary_of(err)[0]
        self.assertGreater(frames, 0)
        for path in (out, mask):  # every processed frame reached both files
            self.assertEqual(probe(path)["nb_read_frames"], str(frames))

    # -- stills, checked pixel by pixel ------------------------------------------------

    def original(self):
        """The still as the tool saw it: cropped on the right to 300 columns."""
        return decode(work("still.png"), "rgb24", "crop=300:301:0:0")

    def test_color_background_blends_with_mask(self):
        comp, mask = work("still-green.png"), work("still-mask.png")
        r = self.tool("--color", "00ff00", "-o", comp, "-m", mask, work("still.png"))
        self.assertEqual(r.returncode, 0, r.stderr.decode())
        self.assertEqual(summary_of(r.stderr.decode())[0], 1)
        self.assertEqual(probe(comp)["width"], "300")
        m, c, o = decode(mask, "gray"), decode(comp, "rgb24"), self.original()
        self.assertEqual(len(m), 300 * 301)
        self.assertEqual(len(c), len(o))
        green = (0, 255, 0)
        for p in range(len(m)):
            a = m[p]
            for ch in range(3):
                want = (o[3 * p + ch] * a + green[ch] * (255 - a)) / 255.0
                if abs(c[3 * p + ch] - want) > 0.5:
                    self.fail("pixel %d channel %d: %d, want %.2f (mask %d)" % (p, ch, c[3 * p + ch], want, a))
        self.assertGreater(sum(1 for v in m if v == 0), 1000)
        self.assertGreater(sum(1 for v in m if v == 255), 1000)

    def test_rgba_frames_and_removed_background(self):
        ref = work("still-mask-ref.png")
        self.assertEqual(self.tool("-m", ref, work("still.png")).returncode, 0)
        cut, mask = work("still-cut.png"), work("still-mask-rgba.png")
        r = self.tool("--frame-type", "2", "--remove", "-o", cut, "-m", mask, "--log", work("rgba.log"),
                      work("still.png"))
        self.assertEqual(r.returncode, 0, r.stderr.decode())
        with open(work("rgba.log")) as f:
            self.assertIn("frameType = 2!", f.read())
        m = decode(mask, "gray")
        # The fourth byte is not read: RGBA frames segment exactly as RGB ones.
        self.assertEqual(m, decode(ref, "gray"))
        self.assertEqual(probe(cut)["pix_fmt"], "rgba")
        rgba, o = decode(cut, "rgba"), self.original()
        self.assertEqual(rgba[3::4], m)
        self.assertEqual(bytes(v for i, v in enumerate(rgba) if i % 4 != 3), o)

    def test_blurred_and_replaced_background(self):
        mask, blur, repl = work("b-mask.png"), work("b-blur.png"), work("b-repl.png")
        bgimg = os.path.join(PHOTOS, "basketball1.png")
        r = self.tool("-m", mask, "-o", blur, work("still.png"))
        self.assertEqual(r.returncode, 0, r.stderr.decode())
        r = self.tool("--background", bgimg, "-o", repl, work("still.png"))
        self.assertEqual(r.returncode, 0, r.stderr.decode())
        m, b, rp, o = decode(mask, "gray"), decode(blur, "rgb24"), decode(repl, "rgb24"), self.original()
        cover = decode(bgimg, "rgb24", "scale=300:301:force_original_aspect_ratio=increase,crop=300:301")
        person = [p for p in range(len(m)) if m[p] == 255]
        back = [p for p in range(len(m)) if m[p] == 0]
        self.assertTrue(person and back)
        for p in person:
            self.assertEqual(b[3 * p:3 * p + 3], o[3 * p:3 * p + 3])
            self.assertEqual(rp[3 * p:3 * p + 3], o[3 * p:3 * p + 3])
        for p in back:
            self.assertEqual(rp[3 * p:3 * p + 3], cover[3 * p:3 * p + 3])

        # Blurred: in the background, neighbouring pixels differ far less than in the original.
        def roughness(img):
            return sum(abs(img[3 * p] - img[3 * p + 3]) for p in back if (p + 1) % 300 and m[p + 1] == 0)
        self.assertLess(roughness(b), 0.5 * roughness(o))


class HostTest(unittest.TestCase):
    def test_example_host(self):
        r = run([ARGS.host, ARGS.models])
        err = r.stderr.decode()
        self.assertEqual(r.returncode, 0, err)
        self.assertEqual(len(re.findall(r"^frame +\d+: mask min", err, re.M)), 12)
        self.assertIn(b"NNXRun start.", r.stdout)  # the host leaves stdout to the library

    def test_example_host_refuses_bad_folder(self):
        r = run([ARGS.host, os.path.join(ARGS.work, "no-models")])
        self.assertEqual(r.returncode, 1)
        self.assertIn("VidraCreateWithPath failed", r.stderr.decode())


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for name in ("tool", "host", "models", "work"):
        parser.add_argument("--" + name, required=True)
    ARGS, rest = parser.parse_known_args()
    if os.path.isdir(ARGS.work):
        shutil.rmtree(ARGS.work)
    os.makedirs(os.path.join(ARGS.work, "no-models"))
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
