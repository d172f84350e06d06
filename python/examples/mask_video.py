"""Writes the person mask of a video as a grey video: python3 mask_video.py in.mp4 mask.mp4"""
import subprocess, sys
import numpy as np
import vidra

w, h = 640, 480
src = subprocess.Popen(["ffmpeg", "-v", "error", "-i", sys.argv[1], "-vf", f"scale={w}:{h}",
                        "-f", "rawvideo", "-pix_fmt", "rgb24", "-"], stdout=subprocess.PIPE)
dst = subprocess.Popen(["ffmpeg", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "gray",
                        "-s", f"{w}x{h}", "-i", "-", sys.argv[2]], stdin=subprocess.PIPE)
with vidra.Segmenter(w, h) as segment:
    while len(frame := src.stdout.read(w * h * 3)) == w * h * 3:
        dst.stdin.write(segment(np.frombuffer(frame, np.uint8).reshape(h, w, 3)).tobytes())
dst.stdin.close()
sys.exit(src.wait() or dst.wait())
