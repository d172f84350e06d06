"""Finding and loading the vidra core library (the one without a global
segmenter, silent on stdout), with the prototypes used here."""
import ctypes
import os
import sys

from ._types import (CompositeOptions, FrameInfo, Image, LogCallback, Mask, RefineOptions,
                     SegmenterOptions, SegParams)

_WINDOWS = sys.platform == "win32"
_NAMES = ("vidracore.dll",) if _WINDOWS else ("libvidracore.so.0", "libvidracore.so")
_HERE = os.path.dirname(os.path.abspath(__file__))
# Installed as <prefix>/lib/python3/dist-packages/vidra: the library is in
# <prefix>/lib (Windows: <prefix>/bin).
_INSTALLED_AS = os.path.join("lib", "python3", "dist-packages")
# This package inside the source tree: python/vidra/ -> build/linux/bin.
_SOURCE_ROOT = os.path.dirname(os.path.dirname(_HERE))
_BUILD_TREE_BIN = os.path.join(_SOURCE_ROOT, "build", "linux", "bin")
_PARAMS = {"144x80": "kSegParams144x80", "640x480": "kSegParams640x480"}

_library = None


def _installed_dir():
    """The installed prefix's library folder when this package is installed."""
    packages = os.path.dirname(_HERE)
    if os.path.normcase(packages).endswith(os.path.normcase(os.sep + _INSTALLED_AS)):
        prefix = packages[:-len(_INSTALLED_AS) - 1]
        return os.path.join(prefix, "bin" if _WINDOWS else "lib")
    return None


def _candidates():
    explicit = os.environ.get("VIDRA_LIBRARY")
    if explicit:
        return [explicit]
    found = []
    for folder in (_installed_dir(), _BUILD_TREE_BIN):
        if folder is not None:
            found += [os.path.join(folder, name) for name in _NAMES
                      if os.path.exists(os.path.join(folder, name))]
    # Otherwise the system loader's search: an installed prefix on the loader path.
    return found + list(_NAMES)


def _declare(lib):
    i32, p, size = ctypes.c_int32, ctypes.c_void_p, ctypes.c_size_t
    table = {
        "VidraStatusString": (ctypes.c_char_p, [i32]),
        "VidraGetVersionString": (ctypes.c_char_p, []),
        "VidraSegmenterOptionsInit": (None, [ctypes.POINTER(SegmenterOptions)]),
        "VidraSegmenterCreate": (i32, [ctypes.POINTER(SegmenterOptions), ctypes.POINTER(p)]),
        "VidraSegmenterProcess": (i32, [p, ctypes.POINTER(Image), ctypes.POINTER(Mask)]),
        "VidraSegmenterProcessWithInfo": (i32, [p, ctypes.POINTER(Image), ctypes.POINTER(Mask),
                                                ctypes.POINTER(FrameInfo)]),
        "VidraSegmenterReset": (i32, [p]),
        "VidraSegmenterDestroy": (None, [p]),
        "VidraComposite": (i32, [ctypes.POINTER(Image), ctypes.POINTER(Mask),
                                 ctypes.POINTER(CompositeOptions), ctypes.POINTER(Image), p, size]),
        "VidraRefineMask": (i32, [ctypes.POINTER(Image), ctypes.POINTER(Mask),
                                  ctypes.POINTER(RefineOptions), ctypes.POINTER(Mask), p, size]),
    }
    for name, (restype, argtypes) in table.items():
        function = getattr(lib, name)
        function.restype, function.argtypes = restype, argtypes


def library():
    """The loaded library (loaded on first use).

    Looked up in this order: the file named by the environment variable
    VIDRA_LIBRARY; the installed prefix's library when this package is
    installed (<prefix>/lib/python3/dist-packages/vidra); the source tree's
    Linux build (build/linux/bin) when this package is used from the source
    tree; the system loader's search path (an installed prefix listed in
    LD_LIBRARY_PATH or ld.so.conf)."""
    global _library
    if _library is None:
        errors = []
        for candidate in _candidates():
            try:
                lib = ctypes.CDLL(candidate)
            except OSError as error:
                errors.append(str(error))
                continue
            try:
                _declare(lib)
            except AttributeError as error:  # a library older than this module
                errors.append(str(error))
                continue
            _library = lib
            break
        else:
            raise OSError("no usable vidra library (set VIDRA_LIBRARY to its path): "
                          + "; ".join(errors))
    return _library


def library_path():
    """The file the library was loaded from (asked of the loader, since the
    system search may have found it)."""
    lib = library()
    address = ctypes.cast(lib.VidraStatusString, ctypes.c_void_p).value
    if not _WINDOWS:
        info = _DlInfo()
        if ctypes.CDLL(None).dladdr(ctypes.c_void_p(address), ctypes.byref(info)) and info.fname:
            return os.path.realpath(os.fsdecode(info.fname))
    return os.path.realpath(lib._name)


class _DlInfo(ctypes.Structure):
    _fields_ = [("fname", ctypes.c_char_p), ("fbase", ctypes.c_void_p),
                ("sname", ctypes.c_char_p), ("saddr", ctypes.c_void_p)]


def default_model_dir():
    """The model folder found from the library's location: an installed
    prefix's share/vidra/models (library in lib/ or bin/), else the build
    tree's models (build/<preset>/bin -> build/models)."""
    lib_dir = os.path.dirname(library_path())
    installed = os.path.join(lib_dir, os.pardir, "share", "vidra", "models")
    build_tree = os.path.join(lib_dir, os.pardir, os.pardir, "models")
    if not os.path.isdir(installed) and os.path.isfile(os.path.join(lib_dir, os.pardir, "CMakeCache.txt")) \
            and os.path.isdir(build_tree):
        return os.path.realpath(build_tree)
    return os.path.realpath(installed)


def segparams(name):
    """One of the library's predefined parameter records, by name."""
    if name not in _PARAMS:
        raise ValueError("params %r is not a predefined record (use %s, or a vidra.SegParams)"
                         % (name, " or ".join(repr(known) for known in _PARAMS)))
    return SegParams.in_dll(library(), _PARAMS[name])
