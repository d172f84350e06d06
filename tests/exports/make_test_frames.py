"""Writes the photographs the end-to-end tests segment as 640x480 binary PPM
(no image library needed on either target); skips outputs newer than itself."""
import argparse
import os
import sys

import numpy as np
from skimage import io, transform

SOURCES = {
    "astronaut": "/usr/lib/python3/dist-packages/skimage/data/astronaut.png",
    "messi": "/usr/share/doc/opencv-doc/examples/data/messi5.jpg",
}

parser = argparse.ArgumentParser(description=__doc__)
parser.add_argument("--out", required=True)
out = parser.parse_args().out
os.makedirs(out, exist_ok=True)
for name, source in SOURCES.items():
    target = os.path.join(out, name + ".ppm")
    if os.path.exists(target) and os.path.getmtime(target) >= os.path.getmtime(__file__):
        continue
    image = io.imread(source)[..., :3]
    rgb = transform.resize(image, (480, 640), order=1, anti_aliasing=True, preserve_range=True)
    partial = target + ".part"  # never a half-written frame under the final name
    with open(partial, "wb") as f:
        f.write(b"P6\n640 480\n255\n" + np.clip(np.rint(rgb), 0, 255).astype(np.uint8).tobytes())
    os.replace(partial, target)
    print("wrote", target, file=sys.stderr)
