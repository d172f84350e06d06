#!/usr/bin/env python3
# vidra-segment.exe under Wine with a Windows ffmpeg and ffprobe: whole runs,
# masks against the Linux tool's on the same frames, refused runs, an
# interruption, Unicode names. Inputs are made and outputs read with the
# Linux ffmpeg; the Windows tool sees only the Windows ffmpeg.
import argparse
import os
import pathlib
import re
import select
import shutil
import signal
import subprocess
import sys
import time
import unittest

ASTRONAUT = "/usr/lib/python3/dist-packages/skimage/data/astronaut.png"
PIPE = subprocess.PIPE
ARGS = None
NAME = "cl\u00efp \u2603"  # "clïp ☃": Latin-1 and beyond the BMP's symbols, a space


def work(*names):
    return os.path.join(ARGS.work, *names)


def windows(path):  # Wine's Z: drive is the Unix root
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-v", "error", "-nostdin", "-y", *args], check=True)


def decode(path, pix_fmt):
    return subprocess.run(["ffmpeg", "-v", "error", "-nostdin", "-i", path, "-f", "rawvideo", "-pix_fmt", pix_fmt, "-"],
                          stdout=PIPE, check=True).stdout


def streams(path):  # codec type -> frames read
    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_entries", "stream=codec_type,nb_read_frames",
                          "-of", "csv=p=0", path], stdout=PIPE, check=True).stdout.decode()
    return {kind: int(n) if n.isdigit() else 0 for kind, n in (line.split(",")[:2] for line in out.split())}


def listing(folder):
    return {p.name: p.read_bytes() if p.is_file() else None for p in pathlib.Path(folder).iterdir()}


def wine_env(on_path=True):
    env = dict(os.environ, WINEDEBUG="-all")
    env.pop("WINEPATH", None)
    if on_path:
        env["WINEPATH"] = windows(ARGS.ffmpeg_dir) + ";" + windows(ARGS.ffprobe_dir)
    return env


def setUpModule():
    os.makedirs(work("linux"))
    os.makedirs(work("win"))
    # Frames the tool takes as they are (raw RGB, PNG): both ffmpegs decode them to the same bytes.
    ffmpeg("-loop", "1", "-framerate", "10", "-i", ASTRONAUT, "-f", "lavfi", "-i", "sine=frequency=440:duration=2",
           "-vf", "crop=400:300:x='min(n,5)*16':y=30,scale=240:180", "-frames:v", "10", "-c:v", "rawvideo",
           "-pix_fmt", "rgb24", "-c:a", "pcm_s16le", work("clip.nut"))
    ffmpeg("-i", ASTRONAUT, "-vf", "scale=301:301", work("photo.png"))
    for folder in ("linux", "win"):
        shutil.copy(work("clip.nut"), work(folder, NAME + ".nut"))
        shutil.copy(work("photo.png"), work(folder, "photo.png"))


class WindowsToolTest(unittest.TestCase):
    def run_tool(self, *args, code=0, cwd=None, env=None):
        r = subprocess.run([ARGS.wine, ARGS.tool, *args], cwd=cwd or work("win"), stdout=PIPE, stderr=PIPE,
                           env=env or wine_env(), timeout=300)
        err = r.stderr.decode("utf-8", "replace")
        self.assertEqual((r.returncode, r.stdout), (code, b""), "%s\n%s" % (args, err))  # nothing on stdout
        return err

    def test_clip_with_sound_and_photo_as_on_linux(self):
        # The clip under a name beyond ASCII; its outputs' names come back as given, in files and messages.
        outputs = ["-o", NAME + " blur.mp4", "-m", NAME + " mask.mkv", "--log", NAME + ".log", NAME + ".nut"]
        err = self.run_tool(*outputs)
        self.assertIn("wrote %s blur.mp4" % NAME, err)
        self.assertIn("wrote %s mask.mkv" % NAME, err)
        subprocess.run([ARGS.linux_tool, *outputs], cwd=work("linux"), stdout=PIPE, stderr=PIPE, check=True)
        found = streams(work("win", NAME + " blur.mp4"))
        self.assertEqual(found.get("video"), 10)
        self.assertGreater(found.get("audio", 0), 0, "the sound goes along")
        mask = decode(work("win", NAME + " mask.mkv"), "gray")
        self.assertEqual(len(mask), 10 * 240 * 180)
        self.assertGreater(min(mask.count(0), mask.count(255)), 10 * 2000, "a person and a background")
        self.assertEqual(mask, decode(work("linux", NAME + " mask.mkv"), "gray"), "the Linux tool's masks")
        log = pathlib.Path(work("win", NAME + ".log")).read_text()
        self.assertRegex(log, r"^create: ")
        self.assertIn("\nframe 10: ", log)
        self.assertNotIn("\r", log)

        # The photo from an unpacked folder: ffmpeg.exe and ffprobe.exe beside the program, not on PATH.
        bundle = pathlib.Path(work("bundle"))
        bundle.mkdir()
        for f in [ARGS.tool, os.path.join(ARGS.ffmpeg_dir, "ffmpeg.exe"), os.path.join(ARGS.ffprobe_dir, "ffprobe.exe")] + [
                os.path.join(os.path.dirname(ARGS.tool), n) for n in os.listdir(os.path.dirname(ARGS.tool))
                if n.endswith(".dll")]:
            (bundle / os.path.basename(f)).symlink_to(os.path.abspath(f))
        photo = ["--remove", "-o", "cut.png", "-m", "mask.png", "photo.png"]
        r = subprocess.run([ARGS.wine, str(bundle / os.path.basename(ARGS.tool)), *photo[:-1], "--models",
                            windows(ARGS.models), "photo.png"], cwd=work("win"), stdout=PIPE, stderr=PIPE,
                           env=wine_env(on_path=False), timeout=300)
        self.assertEqual(r.returncode, 0, r.stderr.decode("utf-8", "replace"))
        subprocess.run([ARGS.linux_tool, *photo], cwd=work("linux"), stdout=PIPE, stderr=PIPE, check=True)
        mask = decode(work("win", "mask.png"), "gray")
        self.assertEqual(mask, decode(work("linux", "mask.png"), "gray"))
        self.assertEqual(decode(work("win", "cut.png"), "rgba"), decode(work("linux", "cut.png"), "rgba"))

    def test_missing_ffmpeg_and_refused_runs_change_no_file(self):
        d = pathlib.Path(work("refused"))
        d.mkdir()
        ffmpeg("-i", work("clip.nut"), "-c:v", "ffv1", "-c:a", "copy", str(d / "clip.mkv"))
        (d / "link.mkv").symlink_to("clip.mkv")  # Wine shows a Unix link as the file it leads to
        os.link(d / "clip.mkv", d / "hard.mkv")
        (d / "earlier.mkv").write_bytes(b"an earlier result")
        before = listing(d)
        # What was asked for goes to stderr as well (run_tool checks that stdout stays empty).
        self.assertIn("--output", self.run_tool("--help", cwd=d))
        self.assertRegex(self.run_tool("--version", cwd=d), r"^vidra-segment \d+\.\d+\.\d+ \(library [^)]+\)\r?\n$")
        for code, mention, args, *env in [
                (4, "ffprobe not found", ["-o", "x.png", "clip.mkv"], wine_env(on_path=False)),
                (2, "same file", ["-o", "clip.mkv", "clip.mkv"]),
                (2, "same file", ["-o", "earlier.mkv", "-m", "link.mkv", "clip.mkv"]),
                (2, "same file", ["-m", "hard.mkv", "clip.mkv"]),
                (2, "same file", ["-o", "sub\\..\\x.mp4", "-m", windows(d / "clip.mkv"), "clip.mkv"]),
                (2, "cannot be used", ["-o", "earlier.mkv", "-m", "missing\\m.mkv", "clip.mkv"]),
                (2, "Linux only", ["-o", "/dev/video10", "clip.mkv"]),
                (2, "Linux only", ["--input-format", "v4l2", "-o", "x.mp4", "/dev/video0"])]:
            err = self.run_tool(*args, code=code, cwd=d, env=env[0] if env else None)
            self.assertIn(mention, err, args)
            self.assertNotIn("wrote", err)
            self.assertEqual(listing(d), before, args)

    def test_interrupted_run_keeps_whole_files(self):
        # Ctrl-C: Wine turns SIGINT into the console's Ctrl-C event for the program's handler.
        # (GenerateConsoleCtrlEvent finds no console under a headless Wine: Ctrl-Break is not sent here.)
        d = pathlib.Path(work("interrupted"))
        d.mkdir()
        ffmpeg("-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25", "-frames:v", "500", "-c:v", "ffv1", str(d / "long.mkv"))
        (d / "out.mp4").write_bytes(b"an earlier result")
        p = subprocess.Popen([ARGS.wine, ARGS.tool, "--progress", "-o", "out.mp4", "-m", "mask.mkv", "long.mkv"], cwd=d,
                             stdout=PIPE, stderr=PIPE, env=wine_env())
        seen, start = b"", time.time()
        while max(map(int, re.findall(rb"(\d+)/500", seen)), default=0) < 3 and time.time() - start < 120:
            if select.select([p.stderr], [], [], 1)[0]:
                chunk = os.read(p.stderr.fileno(), 4096)
                if not chunk:
                    break
                seen += chunk
        p.send_signal(signal.SIGINT)
        out, err = p.communicate(timeout=120)
        err = (seen + err).decode("utf-8", "replace")
        self.assertEqual((p.returncode, out), (6, b""), err)
        self.assertIn("interrupted", err)
        frames = int(err.split("interrupted after ")[1].split()[0])
        self.assertTrue(3 <= frames < 500, err)
        # Whole files of the frames processed, the earlier file replaced, no temporary left.
        self.assertEqual(streams(str(d / "out.mp4")), {"video": frames})
        self.assertEqual(len(decode(str(d / "mask.mkv"), "gray")), frames * 160 * 120)
        self.assertEqual(sorted(os.listdir(d)), ["long.mkv", "mask.mkv", "out.mp4"])

if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for name in ("tool", "linux-tool", "wine", "ffmpeg-dir", "ffprobe-dir", "models", "work"):
        parser.add_argument("--" + name, required=True)
    ARGS, rest = parser.parse_known_args()
    for name, value in vars(ARGS).items():
        setattr(ARGS, name, os.path.abspath(value))  # the tests run in folders of their own
    if not os.path.exists(ARGS.linux_tool):
        sys.exit("the Linux tool %s is built first (make build-linux): its masks are the reference" % ARGS.linux_tool)
    shutil.rmtree(ARGS.work, ignore_errors=True)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
