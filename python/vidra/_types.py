"""ctypes mirrors of the structures in vidra.h."""
import ctypes

i32 = ctypes.c_int32
MODEL_NAME_CAPACITY = 256


class SegParams(ctypes.Structure):
    _fields_ = [("inputChannels", i32), ("inputWidth", i32), ("inputHeight", i32),
                ("outputChannels", i32), ("outputWidth", i32), ("outputHeight", i32),
                ("maskWidth", i32), ("maskHeight", i32),
                ("ConnectedComponentLabeling", ctypes.c_bool), ("MaskBlur", ctypes.c_bool),
                ("MultiFrameSmooth", ctypes.c_bool), ("needSigmoid", ctypes.c_bool),
                ("runModelType", i32), ("modelName", ctypes.c_char * MODEL_NAME_CAPACITY)]


class Image(ctypes.Structure):
    _fields_ = [("width", i32), ("height", i32), ("format", i32), ("reserved", i32),
                ("planes", ctypes.c_void_p * 3), ("strides", i32 * 3)]


class Mask(ctypes.Structure):
    _fields_ = [("width", i32), ("height", i32), ("stride", i32), ("reserved", i32),
                ("data", ctypes.c_void_p)]


class CompositeOptions(ctypes.Structure):
    _fields_ = [("structSize", ctypes.c_uint32), ("background", i32), ("blurStrength", i32),
                ("color", ctypes.c_uint8 * 4), ("image", ctypes.POINTER(Image))]


class RefineOptions(ctypes.Structure):
    _fields_ = [("structSize", ctypes.c_uint32), ("radius", i32), ("epsilon", ctypes.c_float)]


class FrameInfo(ctypes.Structure):
    _fields_ = [("structSize", ctypes.c_uint32), ("networkRan", i32), ("inputMs", ctypes.c_double),
                ("inferenceMs", ctypes.c_double), ("postprocessMs", ctypes.c_double),
                ("totalMs", ctypes.c_double)]


LogCallback = ctypes.CFUNCTYPE(None, ctypes.c_void_p, i32, ctypes.c_char_p)


class SegmenterOptions(ctypes.Structure):
    _fields_ = [("structSize", ctypes.c_uint32), ("width", i32), ("height", i32),
                ("modelPath", ctypes.c_char_p), ("params", ctypes.POINTER(SegParams)),
                ("engineThreads", i32), ("logLevel", i32),
                ("logCallback", LogCallback), ("logUser", ctypes.c_void_p)]


# VidraPixelFormat
RGB24, RGBA32, BGR24, BGRA32, NV12, I420 = 1, 2, 3, 4, 5, 6
# VidraBackgroundKind
BACKGROUND_BLUR, BACKGROUND_COLOR, BACKGROUND_IMAGE, BACKGROUND_TRANSPARENT = 1, 2, 3, 4
# VidraLogLevel
LOG_DEBUG, LOG_INFO, LOG_WARNING, LOG_ERROR = 0, 1, 2, 3
# VidraStatus values this module reacts to
STATUS_BAD_OPTION, STATUS_BUSY = -106, -113
