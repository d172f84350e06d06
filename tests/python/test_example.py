"""The README's ffmpeg-pipe example, run as printed on a clip whose size,
rate and sound a hard-coded example would lose."""
import os
import re
import subprocess
import sys
import tempfile
import unittest

README = os.path.join(os.path.dirname(__file__), os.pardir, os.pardir, "README.md")


def example():
    """The Python section's first code block."""
    with open(README, encoding="utf-8") as file:
        section = file.read().split("\n## Python\n", 1)[1].split("\n## ", 1)[0]
    return re.search(r"```python\n(.*?)```", section, re.S).group(1)


def probe(path):
    """{codec_type: (width, height, r_frame_rate, frames read)} of each stream."""
    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_entries",
                          "stream=codec_type,width,height,r_frame_rate,nb_read_frames", "-of", "csv=p=0",
                          path], check=True, capture_output=True, text=True).stdout
    streams = {}
    for line in out.split():
        kind, *rest = line.split(",")
        streams[kind] = tuple(rest)
    return streams


class ExampleTest(unittest.TestCase):
    def test_keeps_the_size_rate_frames_and_sound(self):
        with tempfile.TemporaryDirectory() as folder:
            clip, out, script = (os.path.join(folder, name) for name in ("in.mkv", "out.mkv", "example.py"))
            subprocess.run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc2=size=324x242:rate=24000/1001",
                            "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t", "1.3",
                            "-vf", "scale=323:241", "-pix_fmt", "yuv444p", "-c:v", "ffv1", "-c:a", "flac", clip],
                           check=True)
            with open(script, "w") as file:
                file.write(example())
            subprocess.run([sys.executable, script, clip, out], check=True, timeout=120)
            source, result = probe(clip), probe(out)
        self.assertEqual(source["video"], ("323", "241", "24000/1001", "31"))
        self.assertEqual(result["video"], source["video"])
        self.assertIn("audio", result)
