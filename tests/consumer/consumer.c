/* consumer MODEL_DIR: a host built against an installed vidra, with
 * VIDRA_PACKAGE_VERSION set to the version its build system found (find_package
 * or pkg-config). Library, header and package must agree, and frames must
 * segment with the installed models. Exits 0 when everything holds. */
#include <vidra.h>

#include <stdio.h>

#include "version_agrees.h"

/* The library logs to stdout: flushed before any verdict on stderr. */
static int Failed(int32_t rc, const char* what) {
    fflush(stdout);
    if (rc != 0) fprintf(stderr, "%s failed: %d\n", what, (int)rc);
    return rc != 0;
}

int main(int argc, char** argv) {
    enum { W = 96, H = 64, FRAMES = 3 };
    static unsigned char frame[W * H * 3], mask[W * H];
    int i, p;

    if (argc != 2) {
        fprintf(stderr, "usage: %s MODEL_DIR\n", argv[0]);
        return 2;
    }
    if (!VersionAgrees()) return 1;
    if (Failed(VidraCreateWithPath(W, H, VIDRA_FRAME_RGB24, argv[1]), "VidraCreateWithPath")) return 1;
    for (i = 0; i < FRAMES; ++i) {
        for (p = 0; p < W * H * 3; ++p) frame[p] = (unsigned char)(p / 3 % W * (p % 3 + 1) + p / (W * 3) + i);
        if (Failed(VidraFrameProcess(NULL, frame, mask), "VidraFrameProcess")) return 1;
    }
    if (Failed(VidraDestroy(), "VidraDestroy")) return 1;
    fprintf(stderr, "consumer: vidra %s, %d frames of %dx%d segmented\n", VidraGetVersionString(),
            FRAMES, W, H);
    return 0;
}
