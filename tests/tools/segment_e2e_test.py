#!/usr/bin/env python3
"""End-to-end tests of vidra-segment and the example host against the real
library and models, on inputs made with ffmpeg from astronaut.png: a 12-frame
lossless clip 302x226 (a pan, then a still stretch) and a 301x301 still:
widths that are not multiples of 4, which the library takes as they are."""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import unittest

ASTRONAUT = "/usr/lib/python3/dist-packages/skimage/data/astronaut.png"
BACKDROP = "/usr/share/doc/opencv-doc/examples/data/basketball1.png"
SUMMARY = re.compile(r"^summary: frames (\d+), skipped (\d+) by the keyframe test, "
                     r"ms per frame: mean (\d+\.\d\d), p95 (\d+\.\d\d)$", re.M)
TIMING = re.compile(r"^summary: (\d+\.\d) frames per second of wall time \((\d+) frames in (\d+\.\d\d) s\); "
                    r"ms per frame: waiting for decoded frames (\d+\.\d\d), segmentation (\d+\.\d\d), "
                    r"compositing (\d+\.\d\d), waiting for the encoder (\d+\.\d\d); (\d+) input frames dropped$", re.M)
MEGAMIND = "/usr/share/doc/opencv-doc/examples/data/Megamind.avi"  # MPEG-4 video, AC-3 audio
ARGS = None  # tool, host, models, work


def run(*cmd, env=None):
    r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, timeout=300)
    return r.returncode, r.stdout, r.stderr.decode()


def work(name):
    return os.path.join(ARGS.work, name)


def probe(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                          "stream=width,height,nb_read_frames,pix_fmt:stream_tags", "-of",
                          "default=noprint_wrappers=1", path], stdout=subprocess.PIPE, check=True).stdout.decode()
    return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)


def decode(path, pix_fmt, vf="null"):
    """All frames of path as one bytes object in pix_fmt."""
    return subprocess.run(["ffmpeg", "-v", "error", "-nostdin", "-i", path, "-vf", vf, "-f", "rawvideo",
                           "-pix_fmt", pix_fmt, "-"], stdout=subprocess.PIPE, check=True).stdout


def streams(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "stream=codec_type,codec_name", "-of", "csv=p=0",
                          path], stdout=subprocess.PIPE, check=True).stdout.decode()
    return sorted(line.strip().strip(",") for line in out.splitlines() if line.strip())


def frames_in(stderr):
    m = SUMMARY.search(stderr)
    return int(m.group(1)) if m else None


def interrupt_after_first_frame(test, p):
    """Sends Ctrl-C once the progress bar shows a frame; returns stdout and stderr."""
    seen = b""
    while not re.search(rb"\r(\[[#.]+\] |frames )[1-9]", seen):
        chunk = p.stderr.read1(4096)
        test.assertTrue(chunk, seen.decode())
        seen += chunk
    p.send_signal(signal.SIGINT)
    out, err = p.communicate(timeout=120)
    return out, (seen + err).decode()


def setUpModule():
    def ffmpeg(*args):
        subprocess.run(["ffmpeg", "-v", "error", "-nostdin", "-y", *args], check=True)
    ffmpeg("-loop", "1", "-framerate", "10", "-i", ASTRONAUT, "-vf", "crop=400:300:x='min(n,5)*16':y=30,scale=302:226",
           "-frames:v", "12", "-c:v", "ffv1", "-pix_fmt", "bgr0", work("clip.mkv"))
    ffmpeg("-i", ASTRONAUT, "-vf", "scale=301:301", work("still.png"))
    with open(work("garbage.mp4"), "wb") as f:
        f.write(b"not a video at all" * 100)
    # Long enough to be interrupted mid-way; and an MPEG-4 file cut in half
    # whose header still announces all 40 frames.
    ffmpeg("-f", "lavfi", "-i", "testsrc2=size=320x240:rate=30", "-frames:v", "300", "-c:v", "ffv1",
           work("long.mkv"))
    ffmpeg("-i", work("long.mkv"), "-frames:v", "40", "-c:v", "mpeg4", "-q:v", "3", "-g", "5",
           "-movflags", "+faststart", work("full.mp4"))
    # A background video of three frames, looped under the 12-frame clip.
    ffmpeg("-f", "lavfi", "-i", "testsrc2=size=302x226:rate=10", "-frames:v", "3", "-c:v", "ffv1", work("bg3.mkv"))
    with open(work("full.mp4"), "rb") as f:
        data = f.read()
    with open(work("cut.mp4"), "wb") as f:
        f.write(data[:len(data) // 2])


class ToolTest(unittest.TestCase):
    def tool(self, *args, code=0, env=None):
        rc, out, err = run(ARGS.tool, *args, env=env)
        self.assertEqual(rc, code, "%s\n%s" % (args, err))
        self.assertEqual(out, b"", "stdout must stay free of the library's log")
        return err

    def test_exit_codes(self):
        still, no_models = work("still.png"), work("no-models")
        for args, code, mention, env in [
                (["--bogus", still], 2, "--bogus", None),
                ([], 2, "no input", None),
                (["--remove", "-o", work("x.mp4"), still], 2, "transparent", None),
                (["-o", work("never.png"), work("no-such-file.mp4")], 3, "no-such-file.mp4", None),
                ([work("garbage.mp4")], 3, "garbage.mp4", None),
                ([still], 4, "not found", dict(os.environ, PATH=no_models)),
                (["-o", "/dev/null", still], 3, "not a video4linux device", None),
                (["-o", "/dev/video-none", still], 3, "no device", None),
                (["--models", no_models, "--log", work("bad.log"), still], 5, "status -", None)]:
            self.assertIn(mention, self.tool(*args, code=code, env=env))
        self.assertFalse(os.path.exists(work("x.mp4")) or os.path.exists(work("never.png")))
        with open(work("bad.log")) as f:
            self.assertIn("SorvanePlus Create", f.read())

    def test_clip(self):
        comp, mask, log = work("clip-comp.mp4"), work("clip-mask.mkv"), work("clip.log")
        err = self.tool("-o", comp, "-m", mask, "--log", log, work("clip.mkv"))
        with open(log) as f:
            text = f.read()
        self.assertIn("SorvanePlus Create wtih:width = 302, height = 226, frameType = 1!", text)
        self.assertIn("SorvaneDestroy!", text)
        m = SUMMARY.search(err)
        self.assertIsNotNone(m, err)
        frames, skipped, mean, p95 = int(m[1]), int(m[2]), float(m[3]), float(m[4])
        self.assertEqual(frames, 12)
        self.assertEqual(skipped, frames - text.count("NNXRun start."))
        self.assertGreater(skipped, 0, "the still stretch repeats frames")
        self.assertGreater(mean, 0.0)
        self.assertGreaterEqual(p95, mean * 0.5)
        t = TIMING.search(err)
        self.assertIsNotNone(t, err)
        self.assertEqual((int(t[2]), int(t[8])), (12, 0), "a file is never dropped from")
        self.assertGreater(float(t[1]), 0.0)
        for path in (comp, mask):
            info = probe(path)
            self.assertEqual((info["width"], info["height"], info["nb_read_frames"]), ("302", "226", "12"), path)

        data, size = decode(mask, "gray"), 302 * 226
        self.assertEqual(len(data), 12 * size)
        masks = [data[i * size:(i + 1) * size] for i in range(12)]
        for i, m in enumerate(masks):
            self.assertGreater(sum(1 for v in m if v >= 200), size // 20, "frame %d has no person" % i)
            self.assertGreater(sum(1 for v in m if v <= 50), size // 20, "frame %d has no background" % i)
        # A skipped frame gets an exact copy of the last mask.
        self.assertGreaterEqual(sum(1 for i in range(1, 12) if masks[i] == masks[i - 1]), skipped)

    def test_live_source(self):
        # Stops at --max-frames, here into a transparent webm.
        out = work("live.webm")
        err = self.tool("--input-format", "lavfi", "--remove", "--max-frames", "4", "-o", out,
                        "testsrc2=size=322x240:rate=10")
        self.assertIn("unknown number of frames", err)
        self.assertEqual(frames_in(err), 4)
        info = probe(out)
        self.assertEqual(info["nb_read_frames"], "4")
        self.assertEqual(info.get("TAG:alpha_mode", info.get("TAG:ALPHA_MODE")), "1")

        # Ends cleanly on Ctrl-C with every processed frame in both files.
        out, mask = work("live-int.mkv"), work("live-int-mask.mkv")
        p = subprocess.Popen([ARGS.tool, "--progress", "--input-format", "lavfi", "-o", out, "-m", mask,
                              "testsrc2=size=160x120:rate=30"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        stdout, err = interrupt_after_first_frame(self, p)
        self.assertEqual((p.returncode, stdout), (0, b""), err)
        self.assertIn("interrupted", err)
        frames = frames_in(err)
        self.assertGreater(frames, 0)
        for path in (out, mask):
            self.assertEqual(probe(path)["nb_read_frames"], str(frames))

    def test_live_source_drops_frames_when_behind(self):
        # lavfi makes frames far faster than they are segmented and encoded.
        out = work("live-drop.mkv")
        err = self.tool("--input-format", "lavfi", "--max-frames", "20", "-o", out, "testsrc2=size=320x240:rate=30")
        t = TIMING.search(err)
        self.assertIsNotNone(t, err)
        self.assertEqual(int(t[2]), 20)
        self.assertGreater(int(t[8]), 0)
        self.assertEqual(probe(out)["nb_read_frames"], "20")

    def test_audio(self):
        # AC-3 is copied into MP4, re-encoded as Opus for WebM, and dropped on request.
        for name, args, want in [("a.mp4", [], ["ac3,audio", "h264,video"]),
                                 ("a.webm", [], ["opus,audio", "vp9,video"]),
                                 ("n.mp4", ["--no-audio"], ["h264,video"])]:
            self.tool("--max-frames", "5", *args, "-o", work(name), MEGAMIND)
            self.assertEqual(streams(work(name)), want, name)

    def test_background_video_loops(self):
        comp, mask = work("bgv.mkv"), work("bgv-mask.mkv")
        self.tool("--background", work("bg3.mkv"), "-o", comp, "-m", mask, work("clip.mkv"))
        size = 302 * 226
        c, m, bg = decode(comp, "rgb24"), decode(mask, "gray"), decode(work("bg3.mkv"), "rgb24")
        self.assertEqual((len(c), len(m), len(bg)), (12 * size * 3, 12 * size, 3 * size * 3))
        for k in range(12):
            want = bg[(k % 3) * size * 3:(k % 3 + 1) * size * 3]
            background = [p for p in range(size) if m[k * size + p] == 0]
            self.assertGreater(len(background), size // 20)
            for p in background:
                self.assertEqual(c[(k * size + p) * 3:(k * size + p) * 3 + 3], want[p * 3:p * 3 + 3], (k, p))

    def test_still(self):
        still, comp, mask = work("still.png"), work("s-green.png"), work("s-mask.png")
        cut, cut_mask, repl, blur = work("s-cut.png"), work("s-cut-mask.png"), work("s-repl.png"), work("s-blur.png")
        self.assertEqual(frames_in(self.tool("--color", "00ff00", "-o", comp, "-m", mask, still)), 1)
        # Refinement: the composite follows the refined mask, which differs from the plain one.
        self.tool("--refine", "--color", "00ff00", "-o", work("s-green-ref.png"), "-m", work("s-mask-ref.png"), still)
        # The record's switches reach the library, whose log states them.
        log = work("s-switches.log")
        self.tool("--largest-region", "--no-mask-blur", "--no-smooth", "--log", log, still)
        with open(log) as f:
            self.assertIn("ConnectedComponentLabeling: true, MaskBlur: false, MultiFrameSmooth: false", f.read())
        self.tool("--frame-type", "2", "--remove", "-o", cut, "-m", cut_mask, still)
        self.tool("--background", BACKDROP, "-o", repl, still)
        self.tool("-o", blur, still)
        m, c, o = decode(mask, "gray"), decode(comp, "rgb24"), decode(still, "rgb24")
        self.assertEqual((len(m), len(c)), (301 * 301, len(o)))
        self.assertGreater(m.count(0), 1000)
        self.assertGreater(m.count(255), 1000)
        refined = decode(work("s-mask-ref.png"), "gray")
        self.assertNotEqual(refined, m)
        self.assertGreater(min(refined.count(0), refined.count(255)), 1000)
        green = (0, 255, 0)
        for mk, comp_path in ((m, comp), (refined, work("s-green-ref.png"))):
            c = decode(comp_path, "rgb24")
            for p, a in enumerate(mk):
                for ch in range(3):
                    want = (o[3 * p + ch] * a + green[ch] * (255 - a)) / 255.0
                    if abs(c[3 * p + ch] - want) > 0.5:
                        self.fail("%s pixel %d channel %d: %d, want %.2f (mask %d)" % (comp_path, p, ch, c[3 * p + ch],
                                                                                     want, a))

        # RGBA frames segment exactly as RGB ones; the cutout's alpha is the mask.
        self.assertEqual(decode(cut_mask, "gray"), m)
        self.assertEqual(probe(cut)["pix_fmt"], "rgba")
        rgba = decode(cut, "rgba")
        self.assertEqual(rgba[3::4], m)
        self.assertEqual(bytes(v for i, v in enumerate(rgba) if i % 4 != 3), o)

        # A replaced background is the image scaled to cover the frame; a blurred
        # one is far smoother than the original.
        r, b = decode(repl, "rgb24"), decode(blur, "rgb24")
        cover = decode(BACKDROP, "rgb24", "scale=301:301:force_original_aspect_ratio=increase,crop=301:301")
        for p, a in enumerate(m):
            if a in (0, 255):
                self.assertEqual(r[3 * p:3 * p + 3], (o if a else cover)[3 * p:3 * p + 3], "pixel %d" % p)
            if a == 255:
                self.assertEqual(b[3 * p:3 * p + 3], o[3 * p:3 * p + 3], "pixel %d" % p)
        back = [p for p in range(len(m) - 1) if m[p] == m[p + 1] == 0 and (p + 1) % 301]

        def roughness(img):
            return sum(abs(img[3 * p] - img[3 * p + 3]) for p in back)
        self.assertLess(roughness(b), 0.5 * roughness(o))


def listing(folder):
    """Every name in folder (hidden ones too) with its bytes."""
    out = {}
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        if os.path.isfile(path):
            with open(path, "rb") as f:
                out[name] = f.read()
        else:
            out[name] = None
    return out


class FileSafetyTest(unittest.TestCase):
    """Nothing is written over an input, nothing half-written is left under an
    output's name, and a partial result never exits 0."""

    def folder(self, name):
        path = work(name)
        os.makedirs(path)
        for f in ("clip.mkv", "still.png"):
            shutil.copy(work(f), path)
        return path

    def tool(self, folder, *args, env=None):
        r = subprocess.run([ARGS.tool, *args], cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           env=env, timeout=300)
        self.assertEqual(r.stdout, b"")
        return r.returncode, r.stderr.decode()

    def test_same_files_refused_before_anything_is_written(self):
        d = self.folder("same")
        os.symlink("clip.mkv", os.path.join(d, "link.mkv"))
        os.link(os.path.join(d, "clip.mkv"), os.path.join(d, "hard.mkv"))
        shutil.copy(work("still.png"), os.path.join(d, "f001.png"))
        before = listing(d)
        for args, mention in [
                (["-o", "clip.mkv", "clip.mkv"], "same file"),
                (["-m", "clip.mkv", "clip.mkv"], "same file"),
                (["--log", "still.png", "still.png"], "same file"),
                (["-o", "./s.mp4", "-m", "s.mp4", "clip.mkv"], "same file"),
                (["--log", "x.png", "-o", "x.png", "still.png"], "same file"),
                (["-o", "link.mkv", "clip.mkv"], "same file"),
                (["-m", "hard.mkv", "clip.mkv"], "same file"),
                (["-o", os.path.join(d, "link.mkv"), "-m", "../same/clip.mkv", "still.png"], "same file"),
                (["-o", "f%03d.png", "f001.png"], "same file"),
                (["-o", "g%03d.png", "-m", "g%04d.png", "still.png"], "same file"),
                (["--background", "f001.png", "-o", "f001.png", "still.png"], "same file"),
                (["-o", "ok.mkv", "-m", "missing/m.mkv", "clip.mkv"], "missing"),
                (["-o", "bad%x.png", "still.png"], "%0Nd")]:
            rc, err = self.tool(d, *args)
            self.assertEqual(rc, 2, "%s\n%s" % (args, err))
            self.assertIn(mention, err, args)
            self.assertEqual(listing(d), before, args)

    def test_failed_run_leaves_outputs_untouched(self):
        # An encoder that takes a few frames and fails, as a full disk would.
        d = self.folder("failed")
        fake = os.path.join(d, "bin")
        os.makedirs(fake)
        with open(os.path.join(fake, "ffmpeg"), "w") as f:
            f.write('#!/bin/sh\ncase "$*" in *doomed*) head -c 300000 >/dev/null; exit 1;; esac\n'
                    'exec %s "$@"\n' % shutil.which("ffmpeg"))
        os.chmod(os.path.join(fake, "ffmpeg"), 0o755)
        os.symlink(shutil.which("ffprobe"), os.path.join(fake, "ffprobe"))
        for name in ("doomed.mkv", "ok.mkv"):
            with open(os.path.join(d, name), "wb") as f:
                f.write(b"an earlier result")
        before = listing(d)
        rc, err = self.tool(d, "-o", "doomed.mkv", "-m", "ok.mkv", "clip.mkv",
                            env=dict(os.environ, PATH=fake + os.pathsep + os.environ["PATH"]))
        self.assertEqual(rc, 1, err)
        self.assertNotIn("wrote", err)
        self.assertEqual(listing(d), before)

    def test_interrupted_and_short_runs_keep_whole_files(self):
        d = self.folder("partial")
        # Interrupted once the first frame is through (the bar is drawn).
        p = subprocess.Popen([ARGS.tool, "--progress", "-o", "i.mp4", "-m", "i%03d.png", work("long.mkv")],
                             cwd=d, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        err = interrupt_after_first_frame(self, p)[1]
        self.assertEqual(p.returncode, 6, err)
        frames = frames_in(err)
        self.assertIn("interrupted after %d frames" % frames, err)
        self.assertLess(frames, 300)
        self.assertEqual(probe(os.path.join(d, "i.mp4"))["nb_read_frames"], str(frames))
        self.assertEqual(sorted(n for n in os.listdir(d) if n.startswith("i0")),
                         ["i%03d.png" % (n + 1) for n in range(frames)])

        # The file ends before its announced 40 frames.
        rc, err = self.tool(d, "-o", "c.mp4", "-m", "c%02d.png", work("cut.mp4"))
        self.assertEqual(rc, 7, err)
        frames = frames_in(err)
        self.assertIn("ended after %d of its 40 frames" % frames, err)
        self.assertGreater(frames, 0)
        self.assertEqual(probe(os.path.join(d, "c.mp4"))["nb_read_frames"], str(frames))
        self.assertEqual(len([n for n in os.listdir(d) if n.startswith("c") and n.endswith(".png")]), frames)
        self.assertEqual([n for n in os.listdir(d) if n.startswith(".")], [], "temporary files left behind")


class HostTest(unittest.TestCase):
    def test_example_host(self):
        rc, out, err = run(ARGS.host, ARGS.models)
        self.assertEqual(rc, 0, err)
        self.assertEqual(len(re.findall(r"^frame +\d+: mask min", err, re.M)), 12)
        self.assertIn(b"NNXRun start.", out)  # the host leaves stdout to the library
        rc, out, err = run(ARGS.host, work("no-models"))
        self.assertEqual(rc, 1)
        self.assertIn("VidraCreateWithPath failed", err)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for name in ("tool", "host", "models", "work"):
        parser.add_argument("--" + name, required=True)
    ARGS, rest = parser.parse_known_args()
    shutil.rmtree(ARGS.work, ignore_errors=True)
    os.makedirs(work("no-models"))
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
