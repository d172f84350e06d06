#!/usr/bin/env python3
# vidra-segment and the example host against the real library and models, on
# inputs made with ffmpeg; widths that are not multiples of 4 are taken as they are.
import argparse
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import time
import unittest

ASTRONAUT = "/usr/lib/python3/dist-packages/skimage/data/astronaut.png"
BACKDROP = "/usr/share/doc/opencv-doc/examples/data/basketball1.png"
MEGAMIND = "/usr/share/doc/opencv-doc/examples/data/Megamind.avi"  # MPEG-4 video, AC-3 audio
SUMMARY = re.compile(r"^summary: frames (\d+), skipped (\d+) by the keyframe test, "
                     r"ms per frame: mean (\d+\.\d\d), p95 (\d+\.\d\d); "
                     r"in the library: input (\d+\.\d\d), network (\d+\.\d\d), mask (\d+\.\d\d)$", re.M)
STAGES = (r"waiting for decoded frames (\d+\.\d\d), segmentation (\d+\.\d\d), "
          r"compositing (\d+\.\d\d) \(processor (\d+\.\d\d)\), writing (\d+\.\d\d)")
TIMING = re.compile(r"^summary: (\d+\.\d) frames per second of wall time \((\d+) frames in (\d+\.\d\d) s\); "
                    r"ms per frame: " + STAGES + r"; (\d+) input frames dropped$", re.M)
IMAGE_TIMING = re.compile(r"^summary: the image took (\d+\.\d\d) s; ms: " + STAGES + "$", re.M)
WHOLE = re.compile(r"^summary: the whole run took (\d+\.\d\d) s: start-up (\d+\.\d\d) s \(.*\), "
                   r"frames (\d+\.\d\d) s, finishing (\d+\.\d\d) s \(.*\)$", re.M)
PIPE = subprocess.PIPE
ARGS = None  # tool, host, models, work


def work(*names):  # an absolute name stays as it is
    return os.path.join(ARGS.work, *names)


def ffprobe(path, *args):
    return subprocess.run(["ffprobe", "-v", "error", *args, work(path)], stdout=PIPE, check=True).stdout.decode()


def probe(path):
    out = ffprobe(path, "-count_frames", "-select_streams", "v:0", "-show_entries",
                  "stream=width,height,nb_frames,nb_read_frames:stream_tags", "-of", "default=noprint_wrappers=1")
    return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)


def decode(path, pix_fmt, vf="null"):
    return subprocess.run(["ffmpeg", "-v", "error", "-nostdin", "-i", work(path), "-vf", vf, "-f", "rawvideo",
                           "-pix_fmt", pix_fmt, "-"], stdout=PIPE, check=True).stdout


def file(*names):
    return pathlib.Path(work(*names))


def listing(folder):  # every name, hidden ones too, with its bytes
    return {p.name: p.read_bytes() if p.is_file() else None for p in pathlib.Path(folder).iterdir()}


def setUpModule():
    def ffmpeg(*args):
        subprocess.run(["ffmpeg", "-v", "error", "-nostdin", "-y", *args], check=True)
    # 12 lossless frames 302x226: a pan, then a still stretch; a 301x301 still.
    ffmpeg("-loop", "1", "-framerate", "10", "-i", ASTRONAUT, "-vf", "crop=400:300:x='min(n,5)*16':y=30,scale=302:226",
           "-frames:v", "12", "-c:v", "ffv1", "-pix_fmt", "bgr0", work("clip.mkv"))
    ffmpeg("-i", ASTRONAUT, "-vf", "scale=301:301", work("still.png"))
    # A three-frame background video, looped under the clip.
    ffmpeg("-f", "lavfi", "-i", "testsrc2=size=302x226:rate=10", "-frames:v", "3", "-c:v", "ffv1", work("bg3.mkv"))
    # Long enough to be interrupted; and an MPEG-4 file cut in half whose header still announces 40 frames.
    ffmpeg("-f", "lavfi", "-i", "testsrc2=size=320x240:rate=30", "-frames:v", "300", "-c:v", "ffv1", work("long.mkv"))
    ffmpeg("-i", work("long.mkv"), "-frames:v", "40", "-c:v", "mpeg4", "-q:v", "3", "-g", "5",
           "-movflags", "+faststart", work("full.mp4"))
    data = file("full.mp4").read_bytes()
    file("cut.mp4").write_bytes(data[:len(data) // 2])
    # With sound, ffmpeg 5.1's AVI header announces one frame more than it stores; cut, it lacks many.
    ffmpeg("-f", "lavfi", "-i", "testsrc2=size=160x120:rate=30", "-f", "lavfi", "-i", "sine=frequency=440", "-t", "3",
           "-c:v", "mpeg4", "-c:a", "libmp3lame", work("whole.avi"))
    data = file("whole.avi").read_bytes()
    file("cut.avi").write_bytes(data[:len(data) // 2])
    # Two seconds at 30 fps with a tone, H.264 and AAC as a camera records them, for --realtime.
    ffmpeg("-f", "lavfi", "-i", "testsrc2=size=160x120:rate=30", "-f", "lavfi", "-i", "sine=frequency=440", "-t", "2",
           "-c:v", "libx264", "-preset", "veryfast", "-c:a", "aac", work("tone.mp4"))
    file("garbage.mp4").write_bytes(b"not a video at all" * 100)


class ToolTest(unittest.TestCase):
    def tool(self, *args, code=0, cwd=None, env=None):
        r = subprocess.run([ARGS.tool, *args], cwd=cwd or ARGS.work, stdout=PIPE, stderr=PIPE, env=env, timeout=300)
        err = r.stderr.decode()
        self.assertEqual((r.returncode, r.stdout), (code, b""), "%s\n%s" % (args, err))  # nothing on stdout
        return err

    def summary(self, err, line=SUMMARY):
        return line.search(err) or self.fail(err)

    def test_refused_and_failed_runs_change_no_file(self):
        # Files are compared by identity: spelling, symbolic and hard links, image-sequence patterns.
        d, no_models = file("refused"), work("no-models")
        (fake := d / "bin").mkdir(parents=True)
        for name in ("clip.mkv", "still.png", "f001.png"):
            shutil.copy(work("still.png" if name == "f001.png" else name), d / name)
        (d / "link.mkv").symlink_to("clip.mkv")
        (d / "hard.mkv").hardlink_to(d / "clip.mkv")
        for name in ("doomed.mkv", "ok.mkv"):
            (d / name).write_bytes(b"an earlier result")
        # An encoder that takes a few frames and fails, as a full disk would.
        (fake / "ffmpeg").write_text('#!/bin/sh\ncase "$*" in *doomed*) head -c 300000 >/dev/null; exit 1;; esac\n'
                                     'exec %s "$@"\n' % shutil.which("ffmpeg"))
        (fake / "ffmpeg").chmod(0o755)
        (fake / "ffprobe").symlink_to(shutil.which("ffprobe"))
        before = listing(d)
        for code, mention, args, *env in [
                (2, "--bogus", ["--bogus", "still.png"]),
                (2, "transparent", ["--remove", "-o", "x.mp4", "still.png"]),
                (3, "no-such-file.mp4", ["-o", "x.png", "no-such-file.mp4"]),
                (3, "garbage.mp4", ["--log", "x.log", "-o", "x.png", work("garbage.mp4")]),
                (4, "not found", ["-o", "x.png", "still.png"], dict(os.environ, PATH=no_models)),
                (3, "not a video4linux device", ["-o", "/dev/null", "still.png"]),
                (3, "no device", ["-o", "/dev/video-none", "still.png"]),
                (5, "status -", ["--models", no_models, "--log", work("bad.log"), "-o", "x.png", "still.png"]),
                (1, "doomed.mkv", ["-o", "doomed.mkv", "-m", "ok.mkv", "clip.mkv"],
                 dict(os.environ, PATH="%s:%s" % (fake, os.environ["PATH"]))),
                (2, "missing", ["-o", "ok.mkv", "-m", "missing/m.mkv", "clip.mkv"])] + [(2, "same file", args) for args in (
                    ["-o", "clip.mkv", "clip.mkv"], ["-m", "clip.mkv", "clip.mkv"], ["--log", "still.png", "still.png"],
                    ["-o", "./s.mp4", "-m", "s.mp4", "clip.mkv"], ["--log", "x.png", "-o", "x.png", "still.png"],
                    ["-o", "link.mkv", "clip.mkv"], ["-m", "hard.mkv", "clip.mkv"],
                    ["-o", os.path.join(d, "link.mkv"), "-m", "../refused/clip.mkv", "still.png"],
                    ["-o", "f%03d.png", "f001.png"], ["-o", "g%03d.png", "-m", "g%04d.png", "still.png"],
                    ["--background", "f001.png", "-o", "f001.png", "still.png"])]:
            err = self.tool(*args, code=code, cwd=d, env=env[0] if env else None)
            self.assertIn(mention, err)
            self.assertNotIn("wrote", err)
            self.assertEqual(listing(d), before, args)
        self.assertRegex(file("bad.log").read_text(), r"^create: error: .*no-models")

    def test_interrupted_failed_and_short_sources(self):
        # How a run ends: status, message, and outputs of whole frames (none: earlier files stay); no temporaries.
        d = file("partial")
        (fake := d / "bin").mkdir(parents=True)
        # A reader that stalls, is killed or fails after 20 frames; encoders and probes are the real ones.
        (fake / "ffmpeg").write_text(
            '#!/bin/sh\nreal=%s\ncase "$*" in *" -pix_fmt rgb24 -") case "$FAKE_READER" in\n'
            '  stall) exec sleep 60;;\n'
            '  kill) "$real" "$@" | head -c $((20 * 160 * 120 * 3)); kill -9 $$;;\n'
            '  fail) "$real" "$@" | head -c $((20 * 320 * 240 * 3)); echo "decoder fell over" >&2; exit 3;;\n'
            'esac;; esac\nexec "$real" "$@"\n' % shutil.which("ffmpeg"))
        (fake / "ffmpeg").chmod(0o755)
        env = dict(os.environ, PATH="%s:%s" % (fake, os.environ["PATH"]))
        live = ["--input-format", "lavfi", "testsrc2=s=160x120"]
        cut_avi = probe("cut.avi")["nb_frames"]
        self.assertLess(int(probe("whole.avi")["nb_read_frames"]), int(probe("whole.avi")["nb_frames"]))
        names = ["bin"]
        # name, status, message (a pattern; {n}: frames done), source, when to interrupt, reader
        for name, code, message, source, signal_at, reader in [
                ("live", 0, r"interrupted after {n} frames", live, "frame", ""),
                ("file", 6, "interrupted after {n} frames", [work("long.mkv")], "frame", ""),
                ("early", 6, "interrupted before the first frame; nothing was written", [work("long.mkv")], "staged",
                 "stall"),
                ("cut", 7, "ended after {n} of its 40 frames", [work("cut.mp4")], None, ""),
                ("cutavi", 7, "ended after {n} of its %s frames" % cut_avi, [work("cut.avi")], None, ""),
                ("wholeavi", 0, "wrote", [work("whole.avi")], None, ""),
                ("killed", 8, r"the ffmpeg reader of 'testsrc2=s=160x120' was killed by signal 9", live, None, "kill"),
                ("fails", 8, r"exited with status 3 \(ffmpeg: .*decoder fell over\)", [work("long.mkv")], None, "fail")]:
            out, mask = "o_%s.mp4" % name, "m_%s_%%03d.png" % name if name == "file" else "m_%s.mkv" % name
            earlier = {path: b"an earlier result" for path in (out, mask) if "%" not in path}
            for path, data in earlier.items():
                (d / path).write_bytes(data)
            p = subprocess.Popen([ARGS.tool, "--progress", "-o", out, "-m", mask, *source], cwd=d, stdout=PIPE,
                                 stderr=PIPE, env=dict(env, FAKE_READER=reader))
            seen = b""
            while signal_at == "frame" and not re.search(rb"\r(\[[#.]+\] |frames )[1-9]", seen):
                chunk = p.stderr.read1(4096)
                self.assertTrue(chunk, seen.decode())
                seen += chunk
            while signal_at == "staged" and not any(f.startswith(".o_early-vidra-") for f in os.listdir(d)):
                time.sleep(0.05)
            if signal_at:
                p.send_signal(signal.SIGINT if signal_at == "frame" else signal.SIGTERM)
            stdout, err = p.communicate(timeout=300)
            err = (seen + err).decode()
            self.assertEqual((p.returncode, stdout), (code, b""), name + "\n" + err)
            frames = int(self.summary(err)[1])
            self.assertRegex(err, message.format(n=frames), name)
            self.assertEqual(frames == 0, name == "early", err)
            if frames == 0:
                self.assertEqual({path: (d / path).read_bytes() for path in earlier}, earlier)
                names += earlier
                continue
            for path in (out, mask):
                self.assertEqual(probe(os.path.join(d, path))["nb_read_frames"], str(frames), name)
            names += [out] + ([mask % (i + 1) for i in range(frames)] if "%" in mask else [mask])
        self.assertEqual(sorted(os.listdir(d)), sorted(names), "only whole outputs, no temporary files")

    def test_realtime_file_keeps_its_time_and_sound(self):
        # Paced at its own rate: every frame at its own time (filled when dropped), the sound in step.
        begun = time.monotonic()
        err = self.tool("--realtime", "-o", "rt.mp4", "tone.mp4")
        self.assertGreater(time.monotonic() - begun, 1.9)
        t = self.summary(err, TIMING)
        self.assertEqual(int(t[2]) + int(t[9]), 60)
        times = [float(v.strip(",")) for v in ffprobe("rt.mp4", "-select_streams", "v:0", "-show_entries",
                                           "frame=pts_time", "-of", "csv=p=0").split()]
        self.assertEqual(len(times), 60)
        self.assertLess(max(abs(v - k / 30) for k, v in enumerate(times)), 0.002, times)
        starts = ffprobe("rt.mp4", "-show_entries", "stream=codec_type,start_time", "-of", "csv=p=0").split()
        start = dict(v.split(",") for v in starts)
        self.assertLess(abs(float(start["audio"]) - float(start["video"])), 1 / 30, starts)

    def test_clip_over_a_looping_background_video(self):
        err = self.tool("--background", "bg3.mkv", "-o", "clip-comp.mkv", "-m", "clip-mask.mkv", "--log", "clip.log",
                        "clip.mkv")
        # The instance's log: one message per line, each naming its call.
        log = file("clip.log").read_text().splitlines()
        calls = [re.match(r"(create|frame (\d+)|destroy): ", line) for line in log]
        self.assertTrue(all(calls), log)
        self.assertEqual(sorted({int(c[2]) for c in calls if c[2]}), list(range(1, 13)))
        self.assertEqual((calls[0][1], calls[-1][1]), ("create", "destroy"))
        self.assertIn("create: info: segmenter created for 302 x 226 frames", "\n".join(log))
        ran = {int(c[2]) for c, line in zip(calls, log) if c[2] and line.endswith("NNXRun start.")}
        frames, skipped, mean = (float(v) for v in self.summary(err).groups()[:3])
        self.assertEqual((frames, skipped), (12, 12 - len(ran)))
        self.assertGreater(skipped, 0, "the still stretch repeats frames")
        self.assertGreater(mean, 0.0)
        t = self.summary(err, TIMING)
        self.assertEqual((int(t[2]), int(t[9])), (12, 0), "a file is never dropped from")
        self.assertGreater(float(t[1]), 0.0)
        # The parts of the whole run add up to it; the frames' part is the timing line's.
        whole, start, frame_part, finish = (float(v) for v in self.summary(err, WHOLE).groups())
        self.assertAlmostEqual(whole, start + frame_part + finish, delta=0.015)
        self.assertAlmostEqual(frame_part, float(t[3]), delta=0.005)
        self.assertAlmostEqual(frame_part * 1000 / 12, sum(float(t[k]) for k in (4, 5, 6, 8)), delta=0.5)
        for path in ("clip-comp.mkv", "clip-mask.mkv"):
            self.assertEqual(tuple(map(probe(path).get, ("width", "height", "nb_read_frames"))), ("302", "226", "12"))
        size = 302 * 226
        c, m, bg = decode("clip-comp.mkv", "rgb24"), decode("clip-mask.mkv", "gray"), decode("bg3.mkv", "rgb24")
        self.assertEqual((len(c), len(m), len(bg)), (12 * size * 3, 12 * size, 3 * size * 3))
        masks = [m[k * size:(k + 1) * size] for k in range(12)]
        for k, mask in enumerate(masks):
            self.assertGreater(sum(1 for v in mask if v >= 200), size // 20, "frame %d has no person" % k)
            background = [p for p in range(size) if mask[p] == 0]
            self.assertGreater(len(background), size // 20, "frame %d has no background" % k)
            frame, want = c[k * size * 3:], bg[(k % 3) * size * 3:]
            for p in background:
                self.assertEqual(frame[p * 3:p * 3 + 3], want[p * 3:p * 3 + 3], (k, p))
        # A skipped frame gets an exact copy of the last mask.
        self.assertGreaterEqual(sum(1 for k in range(1, 12) if masks[k] == masks[k - 1]), skipped)

    def test_live_source_drops_frames_when_behind(self):
        # lavfi outruns segmentation; the mask images are one per processed frame, not resampled.
        err = self.tool("--input-format", "lavfi", "--remove", "--max-frames", "20", "-o", "live.webm",
                        "-m", "live-mask%03d.png", "testsrc2=size=322x240:rate=30")
        self.assertIn("unknown number of frames", err)
        t = self.summary(err, TIMING)
        self.assertEqual(int(t[2]), 20)
        self.assertGreater(int(t[9]), 0)
        info = probe("live.webm")
        self.assertEqual((info["nb_read_frames"], info.get("TAG:alpha_mode", info.get("TAG:ALPHA_MODE"))), ("20", "1"))
        masks = sorted(f for f in os.listdir(ARGS.work) if f.startswith("live-mask"))
        self.assertEqual(masks, ["live-mask%03d.png" % i for i in range(1, 21)])

    def test_audio(self):
        # AC-3 is copied into MP4, re-encoded as Opus for WebM, and dropped on request.
        for name, args, want in [("a.mp4", [], ["ac3,audio", "h264,video"]),
                                 ("a.webm", [], ["opus,audio", "vp9,video"]),
                                 ("n.mp4", ["--no-audio"], ["h264,video"])]:
            self.tool("--max-frames", "5", *args, "-o", name, MEGAMIND)
            out = ffprobe(name, "-show_entries", "stream=codec_type,codec_name", "-of", "csv=p=0")
            self.assertEqual(sorted(s.strip(",") for s in out.split()), want, name)

    def test_still(self):
        model = sorted(pathlib.Path(ARGS.models).glob("model_144x80*.tesk"))[0]
        for args in (["--color", "00ff00", "-o", "green.png", "-m", "mask.png"],
                     ["--models", str(model), "-m", "mask-file.png"],
                     ["--refine", "--color", "00ff00", "-o", "green-ref.png", "-m", "mask-ref.png"],
                     ["--largest-region", "--no-mask-blur", "--no-smooth", "-m", "mask-switches.png"],
                     ["--frame-type", "2", "--remove", "-o", "cut.png", "-m", "cut-mask.png"],
                     ["--background", BACKDROP, "-o", "repl.png"],
                     ["-o", "blur.png"]):
            err = self.tool(*args, "still.png")
            self.assertEqual(self.summary(err)[1], "1")
            self.summary(err, IMAGE_TIMING)
            self.assertNotIn("per second", err)
        o, m, refined = decode("still.png", "rgb24"), decode("mask.png", "gray"), decode("mask-ref.png", "gray")
        self.assertEqual(len(m), 301 * 301)
        self.assertEqual(decode("mask-file.png", "gray"), m, "a model file is taken as its folder's search finds it")
        self.assertNotEqual(decode("mask-switches.png", "gray"), m, "the record's switches reach the library")
        # Even what was asked for goes to stderr: stdout is the library's.
        version = self.tool("--version")
        self.assertRegex(version, r"^vidra-segment \d+\.\d+\.\d+ \(library \d+\.\d+\.\d+\)\n$")
        usage = self.tool("--help")
        self.assertIn("--output", usage)
        self.assertIn(os.path.realpath(ARGS.models), usage)  # the default model folder it would use
        self.assertNotEqual(refined, m)
        # Each composite follows its own mask exactly.
        for mask, name in ((m, "green.png"), (refined, "green-ref.png")):
            self.assertGreater(min(mask.count(0), mask.count(255)), 1000)
            c, green = decode(name, "rgb24"), (0, 255, 0)
            self.assertEqual(len(c), len(o))
            worst = max(abs(c[i] - (o[i] * mask[i // 3] + green[i % 3] * (255 - mask[i // 3])) / 255.0)
                        for i in range(len(o)))
            self.assertLessEqual(worst, 0.5, name)

        # RGBA frames segment exactly as RGB ones; the cutout's alpha is the mask.
        self.assertEqual(decode("cut-mask.png", "gray"), m)
        rgba = bytearray(decode("cut.png", "rgba"))
        self.assertEqual(rgba[3::4], m)
        del rgba[3::4]
        self.assertEqual(rgba, o)

        # A replaced background is the image scaled to cover; a blurred one is far smoother.
        r, b = decode("repl.png", "rgb24"), decode("blur.png", "rgb24")
        cover = decode(BACKDROP, "rgb24", "scale=301:301:force_original_aspect_ratio=increase,crop=301:301")
        for p, a in enumerate(m):
            px = slice(3 * p, 3 * p + 3)
            if a == 255:
                self.assertEqual((r[px], b[px]), (o[px], o[px]), "pixel %d" % p)
            elif a == 0:
                self.assertEqual(r[px], cover[px], "pixel %d" % p)
        back = [p for p in range(len(m) - 1) if m[p] == m[p + 1] == 0 and (p + 1) % 301]
        rough = [sum(abs(img[3 * p] - img[3 * p + 3]) for p in back) for img in (b, o)]
        self.assertLess(rough[0], 0.5 * rough[1])

    def test_example_host(self):
        r = subprocess.run([ARGS.host, ARGS.models], stdout=PIPE, stderr=PIPE, timeout=300)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(len(re.findall(rb"^frame +\d+: mask min", r.stderr, re.M)), 12)
        self.assertIn(b"NNXRun start.", r.stdout)  # the host leaves stdout to the library
        r = subprocess.run([ARGS.host, work("no-models")], stdout=PIPE, stderr=PIPE, timeout=300)
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"VidraCreateWithPath failed", r.stderr)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for name in ("tool", "host", "models", "work"):
        parser.add_argument("--" + name, required=True)
    ARGS, rest = parser.parse_known_args()
    shutil.rmtree(ARGS.work, ignore_errors=True)
    os.makedirs(work("no-models"))
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
