"""`import vidra` in a new interpreter, from the source tree and from an
installed copy: it finds its library and models, and nothing reaches
standard output from import to exit (the library's unload included)."""
import json
import os
import subprocess
import sys
import tempfile
import unittest

CHILD = r"""
import json, sys, numpy as np, vidra
frame = np.random.default_rng(1).integers(0, 256, (48, 64, 3), np.uint8)
with vidra.Segmenter(64, 48) as segment:
    mask = segment(frame)
vidra.refine_mask(vidra.composite(frame, mask, 5), mask)
sys.stderr.write("\nfound " + json.dumps([vidra.__file__, vidra.library_path(), vidra.default_model_dir()]))
"""


def run_child(env, cwd):
    child = subprocess.run([sys.executable, "-c", CHILD], env=env, cwd=cwd, capture_output=True, timeout=120)
    if child.returncode != 0:
        raise AssertionError(child.stderr.decode(errors="replace"))
    found = child.stderr.decode().rsplit("\nfound ", 1)[1]
    return child.stdout, [os.path.realpath(path) for path in json.loads(found)]


class FreshProcessTest(unittest.TestCase):
    def test_finds_library_and_models_and_prints_nothing(self):
        source_root = os.path.realpath(os.path.join(os.path.dirname(__file__), os.pardir, os.pardir))
        bare = {name: value for name, value in os.environ.items()
                if name not in ("VIDRA_LIBRARY", "PYTHONPATH", "LD_LIBRARY_PATH")}
        with tempfile.TemporaryDirectory() as folder:
            prefix = os.path.realpath(os.path.join(folder, "prefix"))
            subprocess.run([os.environ["VIDRA_TEST_CMAKE"], "--install", os.environ["VIDRA_TEST_BUILD_DIR"],
                            "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
            cases = {  # name -> (environment, the module, library and models expected)
                "source tree": (dict(os.environ), [
                    os.path.join(source_root, "python", "vidra", "__init__.py"),
                    os.path.realpath(os.environ["VIDRA_LIBRARY"]),
                    os.path.realpath(os.environ["VIDRA_TEST_MODEL_DIR"])]),
                "installed, no VIDRA_LIBRARY": ({**bare, "PYTHONPATH": prefix + "/lib/python3/dist-packages"}, [
                    prefix + "/lib/python3/dist-packages/vidra/__init__.py",
                    os.path.realpath(prefix + "/lib/libvidracore.so.0"),
                    prefix + "/share/vidra/models"]),
            }
            for name, (env, expected) in cases.items():
                with self.subTest(name):
                    stdout, found = run_child(env, folder)
                    self.assertEqual(stdout, b"")
                    self.assertEqual(found, expected)
