/*
 * vidra core: person/background segmentation of live video on the CPU,
 * through segmenter handles, plus compositing and mask refinement.
 *
 * This header is the whole interface of the core library (libvidracore.so /
 * vidracore.dll), which has no global segmenter and never writes to standard
 * output, from load to unload: diagnostics reach the host only through an
 * instance's log callback. The full library (libvidra.so / vidra.dll, header
 * vidra.h) exports all of this too, beside its one global segmenter.
 *
 *     VidraSegmenterOptions options;
 *     VidraSegmenterOptionsInit(&options);
 *     options.width = 1280; options.height = 720;
 *     options.modelPath = "/usr/share/vidra/models";
 *     VidraSegmenter* segmenter = NULL;
 *     if (VidraSegmenterCreate(&options, &segmenter) != VIDRA_STATUS_OK) fail();
 *     VidraSegmenterProcess(segmenter, &frame, &mask);   // per frame
 *     VidraSegmenterDestroy(segmenter);
 */
#ifndef VIDRA_CORE_H
#define VIDRA_CORE_H

#include <stdint.h>
#include <stddef.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifndef VIDRA_API
#if defined(_WIN32)
#  if defined(VIDRA_BUILDING)
#    define VIDRA_API __declspec(dllexport)
#  else
#    define VIDRA_API __declspec(dllimport)
#  endif
#else
#  define VIDRA_API __attribute__((visibility("default")))
#endif
#endif

/* ---- Version ----------------------------------------------------------------
 * The version of this header; the build checks that it equals the project
 * version, which also names the shared objects (libvidra.so.MAJOR,
 * libvidracore.so.MAJOR). Compare
 * with VidraGetVersionString() to detect a header and library mismatch. */
#define VIDRA_VERSION_MAJOR 0
#define VIDRA_VERSION_MINOR 1
#define VIDRA_VERSION_PATCH 0
#define VIDRA_VERSION_STRING "0.1.0"
/* One comparable number: MAJOR * 10000 + MINOR * 100 + PATCH. */
#define VIDRA_VERSION_NUMBER \
    (VIDRA_VERSION_MAJOR * 10000 + VIDRA_VERSION_MINOR * 100 + VIDRA_VERSION_PATCH)

#ifdef __cplusplus
extern "C" {
#endif

/* Capacity of SegParams.modelName including its terminating NUL. */
#define VIDRA_MODEL_NAME_CAPACITY 256

/* Algorithm parameters of one creation. The record is only read, once, by
 * the creation it is given to (VidraSegmenterCreate through its options, or
 * VidraCreateWithPathPlus of vidra.h); the library keeps no pointer to it. A
 * flag counts as true when its byte is non-zero. The library accepts only
 * records whose network input is 3 x 288 x 160 and whose geometry fits its
 * buffers (see README); other records are refused at creation
 * (VIDRA_STATUS_BAD_OPTION, or -1 from the global functions). */
typedef struct SegParams {
    int32_t inputChannels;   /* planes of the network input (3) */
    int32_t inputWidth;      /* network input width (288) */
    int32_t inputHeight;     /* network input height (160) */
    int32_t outputChannels;  /* planes of the network output; the last is the person plane */
    int32_t outputWidth;     /* width of one output plane */
    int32_t outputHeight;    /* height of one output plane */
    int32_t maskWidth;       /* working size of post-processing */
    int32_t maskHeight;
    bool ConnectedComponentLabeling; /* keep only the largest person region */
    bool MaskBlur;                   /* soften the mask at its edges */
    bool MultiFrameSmooth;           /* damp flicker across frames */
    bool needSigmoid;                /* apply the logistic function to the person plane */
    int32_t runModelType;    /* engine run type: 0 = caller's thread only; N in 1..64 = N threads */
    char modelName[VIDRA_MODEL_NAME_CAPACITY]; /* model file in the folder; "" = first *.tesk found */
} SegParams;

/* The two predefined records: the default two-plane 144x80 model (used when
 * options.params is NULL, and by VidraCreateWithPath) and the one-plane
 * 640x480 model. */
VIDRA_API extern const SegParams kSegParams144x80;
VIDRA_API extern const SegParams kSegParams640x480;

/* ---- Version of the library ------------------------------------------------ */

/* The library's version as "MAJOR.MINOR.PATCH" (VIDRA_VERSION_STRING of the
 * build). The string is static and owned by the library: never free it; it
 * stays valid while the library is loaded. Any thread, any time, before or
 * without a segmenter; writes nothing anywhere. Never fails. */
VIDRA_API const char* VidraGetVersionString(void);

/* The library's VIDRA_VERSION_NUMBER. Same rules as VidraGetVersionString. */
VIDRA_API int32_t VidraGetVersionNumber(void);

/* ==== Images and compositing ===============================================
 *
 * Stateless functions beside the segmenter: they use no global state, never
 * touch the segmenter, write nothing to standard output and may run on any
 * number of threads at once, provided no buffer one call writes is read or
 * written by another call meanwhile. Each returns a VidraStatus; on any
 * status but VIDRA_STATUS_OK nothing has been written to the outputs. The
 * library keeps no pointer to any argument after it returns.
 */

/* Status codes of the image, compositing and segmenter-instance functions
 * (0 = success). */
typedef enum VidraStatus {
    VIDRA_STATUS_OK = 0,
    VIDRA_STATUS_NULL_ARGUMENT = -101,      /* a required pointer is null */
    VIDRA_STATUS_BAD_STRUCT_SIZE = -102,    /* structSize is not one this library knows */
    VIDRA_STATUS_BAD_DIMENSIONS = -103,     /* width/height not positive, or sizes differ */
    VIDRA_STATUS_UNSUPPORTED_FORMAT = -104, /* format unknown or not accepted by this function */
    VIDRA_STATUS_BAD_STRIDE = -105,         /* |stride| smaller than a row's bytes */
    VIDRA_STATUS_BAD_OPTION = -106,         /* an option is out of its documented range */
    VIDRA_STATUS_OVERLAP = -107,            /* an output overlaps an input other than as allowed */
    VIDRA_STATUS_SCRATCH_TOO_SMALL = -108,  /* scratchBytes below the size query's answer */
    VIDRA_STATUS_NO_MEMORY = -109,          /* allocating memory failed */
    VIDRA_STATUS_MODEL_NOT_FOUND = -110,    /* no model file at the given path */
    VIDRA_STATUS_MODEL_UNUSABLE = -111,     /* the engine refused the model, or its tensors do not fit the parameters */
    VIDRA_STATUS_INTERNAL_ERROR = -112,     /* an unexpected failure inside the library */
    VIDRA_STATUS_BUSY = -113                /* the instance is inside a call (its log callback called back) */
} VidraStatus;

/* Pixel formats of VidraImage. Packed formats hold the channels in the order
 * of their name, one byte each; the fourth byte of RGBA32/BGRA32 is alpha
 * (compositing reads it as unused padding, like an X byte). NV12: a Y plane
 * and a plane of interleaved U, V at half width and height; I420: Y, U and V
 * planes, U and V at half width and height (rounded up). */
typedef enum VidraPixelFormat {
    VIDRA_PIXEL_RGB24 = 1,
    VIDRA_PIXEL_RGBA32 = 2,
    VIDRA_PIXEL_BGR24 = 3,
    VIDRA_PIXEL_BGRA32 = 4,
    VIDRA_PIXEL_NV12 = 5,
    VIDRA_PIXEL_I420 = 6
} VidraPixelFormat;

/* An image in memory owned by the caller. Row y of plane p starts at
 * planes[p] + y * strides[p]; a negative stride describes a bottom-up buffer
 * (planes[p] then points at the top row). Packed formats use planes[0] and
 * strides[0] only; the other entries are ignored. The layout is fixed: new
 * layouts get new format codes. Functions only read an image passed as an
 * input, even though planes are not const. */
typedef struct VidraImage {
    int32_t width;       /* pixels per row, > 0 */
    int32_t height;      /* rows, > 0 */
    int32_t format;      /* a VidraPixelFormat */
    int32_t reserved;    /* set to 0 */
    uint8_t* planes[3];
    int32_t strides[3];  /* bytes from one row to the next; |stride| >= row bytes */
} VidraImage;

/* One byte per pixel, 0 = background ... 255 = person (the layout of
 * VidraFrameProcess's masks, which use stride = width). Row y starts at
 * data + y * stride; |stride| >= width. Fixed layout, like VidraImage. */
typedef struct VidraMask {
    int32_t width;
    int32_t height;
    int32_t stride;
    int32_t reserved;    /* set to 0 */
    uint8_t* data;
} VidraMask;

/* ---- Compositing -------------------------------------------------------- */

typedef enum VidraBackgroundKind {
    VIDRA_BACKGROUND_BLUR = 1,        /* the frame's own background, blurred */
    VIDRA_BACKGROUND_COLOR = 2,       /* one colour */
    VIDRA_BACKGROUND_IMAGE = 3,       /* a host image of the frame's size */
    VIDRA_BACKGROUND_TRANSPARENT = 4  /* frame colours, mask as alpha (RGBA32/BGRA32 output) */
} VidraBackgroundKind;

/* What to put behind the person. Zero-fill it, then set structSize to
 * sizeof(VidraCompositeOptions) (the library accepts the sizes of the versions
 * it knows; later versions only append fields) and the fields of the kind. */
typedef struct VidraCompositeOptions {
    uint32_t structSize;
    int32_t background;      /* a VidraBackgroundKind */
    int32_t blurStrength;    /* BLUR: 1..500, about the standard deviation in frame pixels */
    uint8_t color[4];        /* COLOR: red, green, blue; the fourth byte is ignored */
    const VidraImage* image; /* IMAGE: width and height of the frame (formats: see VidraComposite) */
} VidraCompositeOptions;

/* Bytes of scratch memory VidraComposite needs for frames of width x height
 * with these options (the same answer for any pixel formats), computed
 * without overflow for any positive sides. Writes *bytes and returns
 * VIDRA_STATUS_OK, or with *bytes untouched: NULL_ARGUMENT, BAD_STRUCT_SIZE,
 * BAD_OPTION (see VidraComposite), BAD_DIMENSIONS (a side not positive, or
 * a scratch larger than any allocation can be, PTRDIFF_MAX bytes; the
 * calls refuse such frames with the same status). A representable answer
 * may still be more than the system can allocate: VidraComposite with a
 * null scratch then returns NO_MEMORY. */
VIDRA_API int32_t VidraCompositeScratchSize(int32_t width, int32_t height,
                                            const VidraCompositeOptions* options,
                                            size_t* bytes);

/* Puts the person of frame over the background chosen by options:
 *   out = (frame * m + background * (255 - m) + 127) / 255 per colour channel
 * with m the mask byte, so m = 255 keeps the frame pixel and m = 0 gives the
 * background exactly. TRANSPARENT copies the frame's colours and writes the
 * mask as (straight) alpha. A 4-byte output of the other kinds gets alpha 255.
 *
 * NV12 and I420 frames are composited plane by plane at each plane's own
 * resolution, by the formula above on Y, U and V: the luma plane with the
 * mask, the chroma planes with the mask at chroma resolution, the rounded
 * mean of each 2 x 2 block, (m00 + m01 + m10 + m11 + 2) >> 2, the last row
 * and column repeated when a side is odd. Colours given in RGB (COLOR, a
 * packed IMAGE) are converted to BT.601 limited range:
 *   Y = ((66 R + 129 G + 25 B + 128) >> 8) + 16
 *   U = ((-38 R - 74 G + 112 B + 128) >> 8) + 128
 *   V = ((112 R - 94 G - 18 B + 128) >> 8) + 128
 * a packed image's chroma from the rounded mean R, G, B of each 2 x 2 block
 * ((sum + 2) >> 2, edges repeated). The blur weights each chroma sample by
 * the summed weights of its four luma pixels. TRANSPARENT converts the
 * frame to RGB as the segmenter's input stage does (each pixel with the
 * chroma of its block, BT.601 limited range).
 *
 * BLUR blurs the background without the person: the frame is averaged with
 * weights 256 - m, so person pixels (weight 1) hardly enter the background
 * beside them, while a neighbourhood of only person (all weights 1) gets the
 * plain blur. The blur runs at a resolution reduced with the strength and is
 * upsampled bilinearly, so its cost barely depends on the strength.
 *
 * Formats: a packed frame takes a packed output and a packed image, any
 * channel orders (reordered as needed). An NV12 or I420 frame takes an
 * output of its own format and an image of any format. TRANSPARENT needs an
 * RGBA32 or BGRA32 output, from any frame. mask, output and image have the
 * frame's width and height.
 *
 * Overlap is judged by the bytes each plane's rows actually touch, so
 * buffers side by side or with interleaved rows are accepted however close
 * their rows lie. output may be frame itself (every plane at the same
 * pointer with the same stride and row bytes); no other byte of output may
 * be one of frame, mask or image, and no two planes of output may share a
 * byte.
 *
 * scratch: null (the call allocates and frees its own), or at least
 * VidraCompositeScratchSize bytes, any alignment, owned by the caller and
 * used by one call at a time; reusing it avoids an allocation per frame.
 * The result does not depend on the scratch's contents or on the processor.
 *
 * Returns VIDRA_STATUS_OK, or: NULL_ARGUMENT (frame, mask, options, output,
 * a plane or mask data, or IMAGE's image is null), BAD_STRUCT_SIZE,
 * BAD_DIMENSIONS (also a frame whose scratch no allocation can hold, see
 * VidraCompositeScratchSize), UNSUPPORTED_FORMAT (an unknown format, or a
 * combination the rules above exclude), BAD_STRIDE, BAD_OPTION (unknown
 * kind, blurStrength outside 1..500), OVERLAP, SCRATCH_TOO_SMALL, NO_MEMORY
 * (scratch was null and allocating it failed). */
VIDRA_API int32_t VidraComposite(const VidraImage* frame, const VidraMask* mask,
                                 const VidraCompositeOptions* options, VidraImage* output,
                                 void* scratch, size_t scratchBytes);

/* ---- Mask edge refinement ----------------------------------------------- */

/* Parameters of VidraRefineMask. Zero-fill, set structSize to
 * sizeof(VidraRefineOptions); zero fields take their defaults. */
typedef struct VidraRefineOptions {
    uint32_t structSize;
    int32_t radius;   /* window radius in frame pixels, 0..500; 0 = shorter side / 60, at least 4 */
    float epsilon;    /* smoothing, for luminance scaled to 0..1; 0 = 0.001; else 1e-6..1 */
} VidraRefineOptions;

/* Bytes of scratch memory VidraRefineMask needs for width x height with
 * these options (null = defaults), without overflow for any positive sides.
 * Writes *bytes; returns VIDRA_STATUS_OK, NULL_ARGUMENT (bytes),
 * BAD_STRUCT_SIZE, BAD_OPTION or BAD_DIMENSIONS (a side not positive, or a
 * scratch beyond PTRDIFF_MAX bytes, as for VidraCompositeScratchSize). */
VIDRA_API int32_t VidraRefineScratchSize(int32_t width, int32_t height,
                                         const VidraRefineOptions* options, size_t* bytes);

/* Pulls the soft edge of mask onto the edges of frame: a guided filter with
 * the frame's luminance as guide, computed at reduced resolution with its
 * coefficients upsampled bilinearly. Opt-in: nothing else in the library
 * refines masks. frame is any format (the guide is the luminance
 * (77 R + 150 G + 29 B + 128) >> 8 of a packed frame, the Y plane of an NV12
 * or I420 frame as it is); mask and output have its size;
 * output may be mask itself (same data and stride); no other byte of output
 * may be one of mask or frame (judged by the bytes rows touch, as for
 * VidraComposite: a mask and its refined copy side by side are accepted). options may be null (defaults). scratch as for
 * VidraComposite. Returns VIDRA_STATUS_OK, or NULL_ARGUMENT, BAD_STRUCT_SIZE,
 * BAD_DIMENSIONS, UNSUPPORTED_FORMAT, BAD_STRIDE, BAD_OPTION, OVERLAP,
 * SCRATCH_TOO_SMALL, NO_MEMORY (meanings as for VidraComposite). */
VIDRA_API int32_t VidraRefineMask(const VidraImage* frame, const VidraMask* mask,
                                  const VidraRefineOptions* options, VidraMask* output,
                                  void* scratch, size_t scratchBytes);

/* ==== Segmenter instances ===================================================
 *
 * Any number of independent segmenters beside the global one. Each instance
 * owns its model context, buffers and temporal state (keyframe, smoothing);
 * nothing is shared with the global functions above or with other instances,
 * so two instances may process frames on two threads at the same time. An
 * instance never writes to standard output: its diagnostics go to the log
 * callback of its options, or nowhere.
 *
 * Thread rules: one instance is used by one thread at a time (any thread;
 * the host serialises the calls on it). Different instances need no
 * coordination. The log callback runs on the thread of the call that logs,
 * before that call returns.
 *
 * Re-entry: the log callback may call anything that does not use the
 * instance that is logging (other instances, compositing, refinement,
 * VidraStatusString). A call on the logging instance itself from its own
 * callback (process, reset, destroy) is refused with VIDRA_STATUS_BUSY and
 * changes nothing; VidraSegmenterDestroy, which returns nothing, then leaves
 * the instance alive: destroy it after the call that logged has returned.
 *
 *     VidraSegmenterOptions options;
 *     VidraSegmenterOptionsInit(&options);
 *     options.width = 1280; options.height = 720;
 *     options.modelPath = "/usr/share/vidra/models";
 *     VidraSegmenter* segmenter = NULL;
 *     int32_t status = VidraSegmenterCreate(&options, &segmenter);
 *     if (status != VIDRA_STATUS_OK) fail(VidraStatusString(status));
 *     // per frame: any VidraPixelFormat in, one byte per pixel out
 *     status = VidraSegmenterProcess(segmenter, &frame, &mask);
 *     VidraSegmenterDestroy(segmenter);
 */

typedef struct VidraSegmenter VidraSegmenter;

/* Log levels of the instance callback. */
typedef enum VidraLogLevel {
    VIDRA_LOG_DEBUG = 0,   /* the segmenter's per-frame trace (the global API's log lines) */
    VIDRA_LOG_INFO = 1,    /* an instance was created */
    VIDRA_LOG_WARNING = 2,
    VIDRA_LOG_ERROR = 3    /* why a call failed */
} VidraLogLevel;

/* One message, without line end. message is valid during the call only. */
typedef void (*VidraLogCallback)(void* user, int32_t level, const char* message);

/* Options of VidraSegmenterCreate. Fill with VidraSegmenterOptionsInit, then
 * set what differs. Later versions only append fields; structSize tells the
 * library which fields the host knows. */
typedef struct VidraSegmenterOptions {
    uint32_t structSize;         /* sizeof(VidraSegmenterOptions) */
    int32_t width;               /* frame size in pixels, at least 2 x 2; fixed for the instance */
    int32_t height;
    const char* modelPath;       /* a model folder (searched as by the global create
                                    functions) or a model file; either separator */
    const SegParams* params;     /* NULL = kSegParams144x80; copied at creation */
    int32_t engineThreads;       /* 0 = params->runModelType (0: the calling thread only);
                                    N > 0 = N inference threads */
    int32_t logLevel;            /* least VidraLogLevel passed to logCallback (default ERROR) */
    VidraLogCallback logCallback;/* NULL = no logging at all (default) */
    void* logUser;               /* handed to logCallback unchanged */
} VidraSegmenterOptions;

/* Fills options with the defaults: structSize set, every other field zero or
 * NULL, logLevel VIDRA_LOG_ERROR. Null options: does nothing. Thread-safe. */
VIDRA_API void VidraSegmenterOptionsInit(VidraSegmenterOptions* options);

/* Creates an instance: copies the options and parameters, allocates every
 * buffer, builds the resize tables for the frame size and prepares the model.
 * All or nothing: on success *out receives the new instance, owned by the
 * caller until VidraSegmenterDestroy; on failure *out is set to NULL, nothing
 * is left allocated, nothing else changes (the global segmenter in
 * particular), and the reason goes to the callback at VIDRA_LOG_ERROR.
 * Returns VIDRA_STATUS_OK, or NULL_ARGUMENT (options, out or modelPath),
 * BAD_STRUCT_SIZE (structSize unknown, or a newer version's fields not zero),
 * BAD_DIMENSIONS (frame size), BAD_OPTION (params refused, engineThreads or
 * logLevel out of range), MODEL_NOT_FOUND, MODEL_UNUSABLE, NO_MEMORY or
 * INTERNAL_ERROR. Thread-safe: instances may be created on several threads at
 * once. */
VIDRA_API int32_t VidraSegmenterCreate(const VidraSegmenterOptions* options,
                                       VidraSegmenter** out);

/* Segments one frame into mask. frame: the instance's width and height, any
 * VidraPixelFormat, read only during the call (NV12 and I420 are converted
 * with the integer BT.601 limited-range formula, each chroma sample serving
 * its 2 x 2 luma block). mask: same width and height, its own stride (may be
 * negative), written completely. The result for an RGB24 frame is the same,
 * byte for byte, as VidraFrameProcess gives for the same frames after a
 * VidraCreateWithPathPlus with the same parameters; BGR and 4-byte formats
 * give the same mask as RGB24 with the same colours. The state carried to the
 * next frame (keyframe, last mask, smoothing) changes only on success.
 * Returns VIDRA_STATUS_OK, or NULL_ARGUMENT (segmenter, frame, mask, a plane
 * or mask data), BAD_DIMENSIONS (not the instance's frame size: create a new
 * instance for another size), UNSUPPORTED_FORMAT, BAD_STRIDE, NO_MEMORY or
 * INTERNAL_ERROR or BUSY (called from this instance's own log callback); on
 * failure the mask may be partly written. Not thread-safe for one instance
 * (see the thread rules). */
VIDRA_API int32_t VidraSegmenterProcess(VidraSegmenter* segmenter, const VidraImage* frame,
                                        const VidraMask* mask);

/* What one VidraSegmenterProcessWithInfo call did. Zero-fill it and set
 * structSize to sizeof(VidraFrameInfo); later versions only append fields
 * and fill only those the caller's structSize covers. */
typedef struct VidraFrameInfo {
    uint32_t structSize;
    int32_t networkRan;     /* 1: the network ran on this frame; 0: the frame matched the
                               last keyframe and received the previous mask */
    double inputMs;         /* the rest of the call: argument checks, the host layout
                               resampled and converted to the network input */
    double inferenceMs;     /* keyframe comparison and network run (no network when skipped) */
    double postprocessMs;   /* network output to the mask at frame size */
    double totalMs;         /* the whole call: the sum of the three above */
} VidraFrameInfo;

/* VidraSegmenterProcess, also reporting what the call did: on
 * VIDRA_STATUS_OK, *info (when not null) is filled; on any other status it is
 * left untouched. Same statuses as VidraSegmenterProcess, plus
 * BAD_STRUCT_SIZE (info->structSize smaller than the first version's
 * fields, nothing processed) and BUSY. The mask is the same as
 * VidraSegmenterProcess gives. Not thread-safe for one instance. */
VIDRA_API int32_t VidraSegmenterProcessWithInfo(VidraSegmenter* segmenter, const VidraImage* frame,
                                                const VidraMask* mask, VidraFrameInfo* info);

/* Clears the temporal state for a scene change: the next frame runs the
 * network and the instance then behaves exactly as a new one with the same
 * options. Returns VIDRA_STATUS_OK, NULL_ARGUMENT or BUSY (called from this
 * instance's own log callback). Not thread-safe for one instance. */
VIDRA_API int32_t VidraSegmenterReset(VidraSegmenter* segmenter);

/* Releases the instance and everything it owns; NULL is ignored. The handle
 * is invalid afterwards. Instances may be destroyed in any order, on any
 * thread, but not while another thread's call uses the same instance. Called
 * from the instance's own log callback, it does nothing (see Re-entry). */
VIDRA_API void VidraSegmenterDestroy(VidraSegmenter* segmenter);

/* A short English name of a status code, e.g. "model not found"; never NULL
 * (unknown codes give "unknown status"). The text is static. Thread-safe. */
VIDRA_API const char* VidraStatusString(int32_t status);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VIDRA_CORE_H */
