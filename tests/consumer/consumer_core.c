/* consumer_core MODEL_DIR: a host of the core library alone (vidra_core.h,
 * vidra::vidracore or vidracore.pc), with VIDRA_PACKAGE_VERSION set to the
 * version its build system found. Segments frames with an instance and
 * composites one; exits 0 when everything holds. The caller checks that
 * standard output stayed empty: the core library never writes there. */
#include <vidra_core.h>

#include <stdio.h>

#include "version_agrees.h"

static int Failed(int32_t status, const char* what) {
    if (status != VIDRA_STATUS_OK) fprintf(stderr, "%s: %s (%d)\n", what, VidraStatusString(status), (int)status);
    return status != VIDRA_STATUS_OK;
}

int main(int argc, char** argv) {
    enum { W = 96, H = 64, FRAMES = 3 };
    static unsigned char pixels[W * H * 3], maskBytes[W * H], out[W * H * 3];
    VidraImage frame = {W, H, VIDRA_PIXEL_RGB24, 0, {pixels, NULL, NULL}, {W * 3, 0, 0}};
    VidraImage output = {W, H, VIDRA_PIXEL_RGB24, 0, {out, NULL, NULL}, {W * 3, 0, 0}};
    VidraMask mask = {W, H, W, 0, maskBytes};
    VidraCompositeOptions composite = {sizeof composite, VIDRA_BACKGROUND_BLUR, 4};
    VidraSegmenterOptions options;
    VidraSegmenter* segmenter = NULL;
    int i, p, failed = 0;

    if (argc != 2) {
        fprintf(stderr, "usage: %s MODEL_DIR\n", argv[0]);
        return 2;
    }
    if (!VersionAgrees()) return 1;
    VidraSegmenterOptionsInit(&options);
    options.width = W;
    options.height = H;
    options.modelPath = argv[1];
    if (Failed(VidraSegmenterCreate(&options, &segmenter), "VidraSegmenterCreate")) return 1;
    for (i = 0; i < FRAMES && !failed; ++i) {
        for (p = 0; p < W * H * 3; ++p) pixels[p] = (unsigned char)(p / 3 % W * (p % 3 + 1) + p / (W * 3) + i);
        failed = Failed(VidraSegmenterProcess(segmenter, &frame, &mask), "VidraSegmenterProcess");
    }
    VidraSegmenterDestroy(segmenter);
    if (failed || Failed(VidraComposite(&frame, &mask, &composite, &output, NULL, 0), "VidraComposite")) return 1;
    fprintf(stderr, "consumer_core: vidracore %s, %d frames of %dx%d segmented, one composited\n",
            VidraGetVersionString(), FRAMES, W, H);
    return 0;
}
