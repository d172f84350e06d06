/*
 * vidra: person/background segmentation of live video on the CPU.
 *
 * Usage from a host (one segmenter per process, calls serialised by the host):
 *
 *     // once: frame size (any width and height from 2), pixel layout, model folder
 *     if (VidraCreateWithPath(640, 480, VIDRA_FRAME_RGB24, "C:\\app\\models") != 0) fail();
 *     // per frame: 3 (or 4) bytes per pixel in, one mask byte per pixel out
 *     VidraFrameProcess(NULL, frame, mask);   // 0 = background ... 255 = person
 *     // at the end
 *     VidraDestroy();
 *
 * Every function returns 0 on success and -1 on failure (model location may
 * also give -2). No C++ exception leaves any of them: running out of memory
 * ends the call with -1 (and, for the Vidra functions, a log line). The
 * library writes diagnostic log lines to standard output.
 * No handle crosses this boundary; every call works on the one segmenter.
 */
#ifndef VIDRA_H
#define VIDRA_H

#include <stdint.h>
#include <stddef.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(_WIN32)
#  if defined(VIDRA_BUILDING)
#    define VIDRA_API __declspec(dllexport)
#  else
#    define VIDRA_API __declspec(dllimport)
#  endif
#else
#  define VIDRA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Frame types (pixel layouts) accepted by the create functions. Bytes 0, 1, 2
 * of a pixel are read as red, green, blue; the fourth byte of a 4-byte pixel
 * is never read. */
enum { VIDRA_FRAME_RGB24 = 1, VIDRA_FRAME_RGBA32 = 2 };

/* Capacity of SegParams.modelName including its terminating NUL. */
#define VIDRA_MODEL_NAME_CAPACITY 256

/* Algorithm parameters of one creation. The record is only read, once, by
 * VidraCreateWithPathPlus; the library keeps no pointer to it. A flag counts
 * as true when its byte is non-zero. The library accepts only records whose
 * network input is 3 x 288 x 160 and whose geometry fits its buffers (see
 * README); other records are refused with -1 at creation. */
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

/* The two predefined records: the default two-plane 144x80 model (used by
 * VidraCreateWithPath) and the one-plane 640x480 model. */
VIDRA_API extern const SegParams kSegParams144x80;
VIDRA_API extern const SegParams kSegParams640x480;

/* Inference record of the NNX functions. The caller allocates it zero-filled,
 * prepares it once, runs it, releases it and then frees it. Every array is
 * owned by the inference engine except inputData and outputData, which are
 * owned by the record (malloc) and freed by NNXRelease. */
typedef struct NnxModel {
    uint64_t modelHandle;        /* engine model handle */
    uint64_t resultHandle;       /* engine result handle */
    int32_t inputCount;
    char** inputNames;
    int32_t* inputDim0;          /* logical dimensions N, C, H, W of each input */
    int32_t* inputDim1;
    int32_t* inputDim2;
    int32_t* inputDim3;
    int32_t* inputDataTypes;     /* 0 float32, 1 float16, 2 int32, 3 uint32, 4 uint8, 5 int8 */
    int32_t* inputDataFormats;   /* memory layout: 0 planar NCHW, 1 interleaved NHWC (engine/README.md) */
    void** inputData;            /* rewritten by every run with the caller's input pointers */
    int32_t outputCount;
    char** outputNames;
    int32_t* outputDim0;
    int32_t* outputDim1;
    int32_t* outputDim2;
    int32_t* outputDim3;
    int32_t* outputDataTypes;
    int32_t* outputDataFormats;
    void** outputData;           /* pointers into engine storage, valid during one run */
} NnxModel;

/* One tensor buffer of NNXRunPlus: the bytes and their capacity. */
typedef struct NnxBuffer {
    void* data;
    uint64_t size;
} NnxBuffer;

/* ---- Frame level ---------------------------------------------------------- */

/* Does nothing and returns 0; the segmenter stays uncreated. */
VIDRA_API int32_t VidraCreate(void);

/* VidraCreateWithPathPlus with &kSegParams144x80; a failure after the
 * argument checks has already applied the new frame size (see below). */
VIDRA_API int32_t VidraCreateWithPath(int32_t width, int32_t height, int32_t frameType,
                                      const char* modelPath);

/* Creates the segmenter for frames of width x height pixels (any width; both
 * sides at least 2) of the given frame type, with the model found in the
 * folder modelPath (either separator). params is copied. Returns 0, -1 (null
 * or out-of-range params, null folder, no memory, model missing, unusable or
 * not matching params) or -2. Call VidraDestroy before creating again.
 *
 * Refusals of the arguments (README, "What creation refuses") change nothing.
 * Any later failure has already applied the new frame size, frame type and
 * params: -1 then does NOT mean that the previous configuration is still in
 * place: frames are then either refused (buffers not allocated) or processed
 * at the NEW size (the network skipped), so a host that keeps its old,
 * smaller buffers after a failed re-creation overflows them. After -1,
 * create again successfully or stop calling VidraFrameProcess. */
VIDRA_API int32_t VidraCreateWithPathPlus(int32_t width, int32_t height, int32_t frameType,
                                          const char* modelPath, const SegParams* params);

/* Releases the inference context; buffers stay until the next creation or
 * unload. Returns 0, or -1 when the engine context was unusable (a creation
 * whose model could not be prepared). */
VIDRA_API int32_t VidraDestroy(void);

/* Segments one frame. reserved is never read. frame holds width x height
 * pixels of 3 or 4 bytes, rows packed; mask receives width x height bytes
 * (may be null: nothing is written). Returns 0, or -1 before a successful
 * creation or after VidraDestroy. */
VIDRA_API int32_t VidraFrameProcess(void* reserved, const uint8_t* frame, uint8_t* mask);

/* Log their arguments and return 0; they change nothing. */
VIDRA_API int32_t VidraAlgControl(int32_t algType, bool flag);
VIDRA_API int32_t VidraAlgLogLevel(int32_t loglevel);

/* ---- Inference wrapper ---------------------------------------------------- */

/* Prepares model (zero-filled) from modelFile. 0 on success, -1 otherwise:
 * also for a model whose tensors need more than 256 MiB of engine storage, a
 * run-model type outside 0..64, or a path that is not a regular file. */
VIDRA_API int32_t NNXPrepare(const char* modelFile, NnxModel* model);
VIDRA_API int32_t NNXPreparePlus(const char* modelFile, int32_t runModelType, NnxModel* model);

/* Runs a one-input, one-output model from input into output. Both buffers
 * are taken to hold 2147483647 bytes: the caller makes them large enough for
 * the tensors' storage (NNXRunPlus checks sizes it is given). */
VIDRA_API int32_t NNXRun(NnxModel* model, void* input, void* output);

/* Gives the engine's resources back; the caller then frees model. */
VIDRA_API int32_t NNXRelease(NnxModel* model);

#ifdef __cplusplus
} /* extern "C" */

#include <vector>
/* Runs a model with any number of inputs and outputs. Each input buffer must
 * hold the tensor's storage in its declared layout, padding lanes included
 * (float32 for a float16 input); a smaller size gives -1 before the engine
 * runs. Each output is copied (or converted to float32, planar) into its
 * buffer, bounded by its size.
 * The lists are taken by value, so the host must use the same C++ runtime
 * as the library (GCC's libstdc++); other hosts use NNXRun. */
extern "C" VIDRA_API int32_t NNXRunPlus(NnxModel* model, std::vector<NnxBuffer> inputs,
                                        std::vector<NnxBuffer> outputs);
#endif

#endif /* VIDRA_H */
