"""ctypes declarations of the segmenter instance API and where the library is."""
import ctypes
import ctypes.util
import os
from pathlib import Path

LIBRARY_NAME = "vidra.dll" if os.name == "nt" else "libvidra.so"
_SOURCE_TREE = Path(__file__).resolve().parent.parent.parent

# Log levels of the instance callback.
LOG_DEBUG, LOG_INFO, LOG_WARNING, LOG_ERROR = 0, 1, 2, 3

PIXEL_FORMATS = {"rgb24": 1, "rgba32": 2, "bgr24": 3, "bgra32": 4, "nv12": 5, "i420": 6}
STATUS_OK = 0
STATUS_BAD_DIMENSIONS = -103
STATUS_MODEL_NOT_FOUND = -110

LogCallback = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int32, ctypes.c_char_p)


class Image(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int32), ("height", ctypes.c_int32),
                ("format", ctypes.c_int32), ("reserved", ctypes.c_int32),
                ("planes", ctypes.c_void_p * 3), ("strides", ctypes.c_int32 * 3)]


class Mask(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int32), ("height", ctypes.c_int32),
                ("stride", ctypes.c_int32), ("reserved", ctypes.c_int32),
                ("data", ctypes.c_void_p)]


class SegmenterOptions(ctypes.Structure):
    _fields_ = [("structSize", ctypes.c_uint32), ("width", ctypes.c_int32),
                ("height", ctypes.c_int32), ("modelPath", ctypes.c_char_p),
                ("params", ctypes.c_void_p), ("engineThreads", ctypes.c_int32),
                ("logLevel", ctypes.c_int32), ("logCallback", LogCallback),
                ("logUser", ctypes.c_void_p)]


class CompositeOptions(ctypes.Structure):
    _fields_ = [("structSize", ctypes.c_uint32), ("background", ctypes.c_int32),
                ("blurStrength", ctypes.c_int32), ("color", ctypes.c_uint8 * 4),
                ("image", ctypes.POINTER(Image))]


class RefineOptions(ctypes.Structure):
    _fields_ = [("structSize", ctypes.c_uint32), ("radius", ctypes.c_int32),
                ("epsilon", ctypes.c_float)]


BACKGROUND_BLUR, BACKGROUND_COLOR, BACKGROUND_IMAGE, BACKGROUND_TRANSPARENT = 1, 2, 3, 4


def _library_path():
    """VIDRA_LIBRARY, else this source tree's Linux build, else the system's."""
    given = os.environ.get("VIDRA_LIBRARY")
    if given:
        return given
    built = _SOURCE_TREE / "build" / "linux" / "bin" / LIBRARY_NAME
    if built.is_file():
        return str(built)
    return ctypes.util.find_library("vidra") or LIBRARY_NAME


def default_model_dir(library_file):
    """VIDRA_MODEL_DIR, else share/vidra/models beside an installed library,
    else this source tree's build/models; None when none exists."""
    given = os.environ.get("VIDRA_MODEL_DIR")
    if given:
        return given
    for folder in (Path(library_file).resolve().parent.parent / "share" / "vidra" / "models",
                   _SOURCE_TREE / "build" / "models"):
        if folder.is_dir():
            return str(folder)
    return None


_lib = None


def library():
    """The loaded library with its instance functions declared (loaded once)."""
    global _lib
    if _lib is not None:
        return _lib
    lib = ctypes.CDLL(_library_path())
    handle = ctypes.c_void_p
    lib.VidraSegmenterOptionsInit.argtypes = [ctypes.POINTER(SegmenterOptions)]
    lib.VidraSegmenterOptionsInit.restype = None
    lib.VidraSegmenterCreate.argtypes = [ctypes.POINTER(SegmenterOptions), ctypes.POINTER(handle)]
    lib.VidraSegmenterCreate.restype = ctypes.c_int32
    lib.VidraSegmenterProcess.argtypes = [handle, ctypes.POINTER(Image), ctypes.POINTER(Mask)]
    lib.VidraSegmenterProcess.restype = ctypes.c_int32
    lib.VidraSegmenterReset.argtypes = [handle]
    lib.VidraSegmenterReset.restype = ctypes.c_int32
    lib.VidraSegmenterDestroy.argtypes = [handle]
    lib.VidraSegmenterDestroy.restype = None
    lib.VidraComposite.argtypes = [ctypes.POINTER(Image), ctypes.POINTER(Mask),
                                   ctypes.POINTER(CompositeOptions), ctypes.POINTER(Image),
                                   ctypes.c_void_p, ctypes.c_size_t]
    lib.VidraComposite.restype = ctypes.c_int32
    lib.VidraRefineMask.argtypes = [ctypes.POINTER(Image), ctypes.POINTER(Mask),
                                    ctypes.POINTER(RefineOptions), ctypes.POINTER(Mask),
                                    ctypes.c_void_p, ctypes.c_size_t]
    lib.VidraRefineMask.restype = ctypes.c_int32
    lib.VidraStatusString.argtypes = [ctypes.c_int32]
    lib.VidraStatusString.restype = ctypes.c_char_p
    _lib = lib
    return lib


def library_file():
    return library()._name


def predefined_params(name):
    """Address of one of the library's predefined parameter records."""
    symbol = {"144x80": "kSegParams144x80", "640x480": "kSegParams640x480"}[name]
    return ctypes.addressof(ctypes.c_char.in_dll(library(), symbol))


def status_text(status):
    return library().VidraStatusString(status).decode()
