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
 * The segmenter handles, compositing and refinement of vidra_core.h are
 * part of this interface too; hosts that need only those link vidracore.
 */
#ifndef VIDRA_H
#define VIDRA_H

#include "vidra_core.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Frame types (pixel layouts) accepted by the create functions. Bytes 0, 1, 2
 * of a pixel are read as red, green, blue; the fourth byte of a 4-byte pixel
 * is never read. */
enum { VIDRA_FRAME_RGB24 = 1, VIDRA_FRAME_RGBA32 = 2 };


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
 * not matching params) or -2. Call VidraDestroy before creating again:
 * creating over a prepared context drops its record unreleased, and the
 * loaded network stays allocated until the library unloads.
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
