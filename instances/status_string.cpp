// Names of the status codes of the image, compositing and instance functions.
#include "vidra.h"

extern "C" VIDRA_API const char* VidraStatusString(int32_t status) {
    switch (status) {
        case VIDRA_STATUS_OK: return "ok";
        case VIDRA_STATUS_NULL_ARGUMENT: return "null argument";
        case VIDRA_STATUS_BAD_STRUCT_SIZE: return "unknown structure size";
        case VIDRA_STATUS_BAD_DIMENSIONS: return "bad dimensions";
        case VIDRA_STATUS_UNSUPPORTED_FORMAT: return "unsupported pixel format";
        case VIDRA_STATUS_BAD_STRIDE: return "stride smaller than a row";
        case VIDRA_STATUS_BAD_OPTION: return "option out of range";
        case VIDRA_STATUS_OVERLAP: return "output overlaps an input";
        case VIDRA_STATUS_SCRATCH_TOO_SMALL: return "scratch buffer too small";
        case VIDRA_STATUS_NO_MEMORY: return "out of memory";
        case VIDRA_STATUS_MODEL_NOT_FOUND: return "model not found";
        case VIDRA_STATUS_MODEL_UNUSABLE: return "model unusable";
        case VIDRA_STATUS_INTERNAL_ERROR: return "internal error";
        case VIDRA_STATUS_BUSY: return "instance busy (called from its own log callback)";
        default: return "unknown status";
    }
}
