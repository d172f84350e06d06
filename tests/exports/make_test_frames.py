"""Writes the photographs the end-to-end tests segment as binary PPM frames.

The tests read PPM (a tiny header and raw RGB bytes) so that they need no
image library on either target. Skips outputs that are newer than this script.
"""
import argparse
import os
import sys

import numpy as np
from skimage import io, transform

SOURCES = {
    "astronaut": "/usr/lib/python3/dist-packages/skimage/data/astronaut.png",
    "messi": "/usr/share/doc/opencv-doc/examples/data/messi5.jpg",
}
SIZE = (480, 640)  # rows, columns: a webcam frame


def write_ppm(path, rgb):
    height, width, _ = rgb.shape
    with open(path, "wb") as out:
        out.write(b"P6\n%d %d\n255\n" % (width, height))
        out.write(np.ascontiguousarray(rgb, dtype=np.uint8).tobytes())


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    for name, source in SOURCES.items():
        target = os.path.join(args.out, name + ".ppm")
        if os.path.exists(target) and os.path.getmtime(target) >= os.path.getmtime(__file__):
            continue
        image = io.imread(source)[..., :3]
        resized = transform.resize(image, SIZE, order=1, anti_aliasing=True, preserve_range=True)
        write_ppm(target, np.clip(np.rint(resized), 0, 255))
        print("wrote", target, file=sys.stderr)


if __name__ == "__main__":
    main()
