/* A host built against an installed vidra: the header and the library must
 * agree on the version (and with the package that found them), and the
 * library must segment frames with the installed models.
 *
 *     consumer MODEL_DIR
 *
 * Built with VIDRA_PACKAGE_VERSION set to the version the build system saw
 * (find_package or pkg-config). Exits 0 when everything holds. */
#include <vidra.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifndef VIDRA_PACKAGE_VERSION
#error "build with -DVIDRA_PACKAGE_VERSION=\"x.y.z\""
#endif

int main(int argc, char** argv) {
    enum { W = 96, H = 64, FRAMES = 3 };
    static unsigned char frame[W * H * 3], mask[W * H];
    int i, x, y;
    int32_t rc;

    if (argc != 2) {
        fprintf(stderr, "usage: %s MODEL_DIR\n", argv[0]);
        return 2;
    }
    if (strcmp(VidraGetVersionString(), VIDRA_VERSION_STRING) != 0 ||
        strcmp(VIDRA_PACKAGE_VERSION, VIDRA_VERSION_STRING) != 0 ||
        VidraGetVersionNumber() != VIDRA_VERSION_NUMBER) {
        fprintf(stderr, "version mismatch: library %s (%d), header %s (%d), package %s\n",
                VidraGetVersionString(), (int)VidraGetVersionNumber(), VIDRA_VERSION_STRING,
                VIDRA_VERSION_NUMBER, VIDRA_PACKAGE_VERSION);
        return 1;
    }

    rc = VidraCreateWithPath(W, H, VIDRA_FRAME_RGB24, argv[1]);
    fflush(stdout);
    if (rc != 0) {
        fprintf(stderr, "VidraCreateWithPath(%s) failed: %d\n", argv[1], (int)rc);
        return 1;
    }
    for (i = 0; i < FRAMES; ++i) {
        for (y = 0; y < H; ++y)
            for (x = 0; x < W; ++x) {
                unsigned char* p = frame + (y * W + x) * 3;
                p[0] = (unsigned char)(x * 2 + i);
                p[1] = (unsigned char)(y * 3);
                p[2] = (unsigned char)(x + y);
            }
        rc = VidraFrameProcess(NULL, frame, mask);
        fflush(stdout);
        if (rc != 0) {
            fprintf(stderr, "VidraFrameProcess failed on frame %d: %d\n", i + 1, (int)rc);
            return 1;
        }
    }
    rc = VidraDestroy();
    fflush(stdout);
    if (rc != 0) {
        fprintf(stderr, "VidraDestroy failed: %d\n", (int)rc);
        return 1;
    }
    fprintf(stderr, "consumer: vidra %s, %d frames of %dx%d segmented\n", VidraGetVersionString(),
            FRAMES, W, H);
    return 0;
}
