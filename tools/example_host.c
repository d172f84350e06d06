/* A minimal host of the vidra library: create the segmenter for a frame
 * size, hand it frames, read the masks, destroy it.
 *
 *     example_host MODEL_DIR [WIDTH HEIGHT]
 *
 * The frames are synthetic: a grey room with a skin-toned head and a dark
 * torso that moves a little, then stands still (the library then repeats
 * the last mask without running the network). Mask statistics go to
 * standard error; standard output carries the library's own log. */
#include "vidra.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void PaintFrame(unsigned char* rgb, int w, int h, int shift) {
    int x, y;
    for (y = 0; y < h; ++y) {
        for (x = 0; x < w; ++x) {
            unsigned char* p = rgb + ((size_t)y * w + x) * 3;
            int cx = w / 2 + shift, dx = x - cx;
            int headY = h / 3, r = h / 7;
            int inHead = dx * dx + (y - headY) * (y - headY) < r * r;
            int inBody = y > headY + r && dx > -w / 5 && dx < w / 5;
            if (inHead) {
                p[0] = 224; p[1] = 172; p[2] = 140;
            } else if (inBody) {
                p[0] = 40; p[1] = 50; p[2] = 90;
            } else {
                p[0] = p[1] = p[2] = (unsigned char)(150 + (x + y) % 40);
            }
        }
    }
}

int main(int argc, char** argv) {
    int width = 320, height = 240, frames = 12, i;
    unsigned char *frame, *mask;
    int32_t rc;

    if (argc != 2 && argc != 4) {
        fprintf(stderr, "usage: %s MODEL_DIR [WIDTH HEIGHT]\n", argv[0]);
        return 2;
    }
    if (argc == 4) {
        width = atoi(argv[2]);
        height = atoi(argv[3]);
    }
    if (width <= 0 || height <= 0 || width % 4 != 0) {
        fprintf(stderr, "WIDTH must be a positive multiple of 4 and HEIGHT positive\n");
        return 2;
    }

    rc = VidraCreateWithPath(width, height, VIDRA_FRAME_RGB24, argv[1]);
    if (rc != 0) {
        fprintf(stderr, "VidraCreateWithPath failed: %d\n", (int)rc);
        VidraDestroy();
        return 1;
    }

    frame = (unsigned char*)malloc((size_t)width * height * 3);
    mask = (unsigned char*)malloc((size_t)width * height);
    if (!frame || !mask) {
        fprintf(stderr, "out of memory\n");
        return 1;
    }

    for (i = 0; i < frames; ++i) {
        size_t n = (size_t)width * height, p, fg = 0;
        unsigned long long sum = 0;
        unsigned char lo = 255, hi = 0;
        /* moves for the first half, then stands still */
        PaintFrame(frame, width, height, i < frames / 2 ? (i * width) / 64 : (frames / 2 * width) / 64);
        memset(mask, 0, n);
        rc = VidraFrameProcess(NULL, frame, mask);
        fflush(stdout);
        if (rc != 0) {
            fprintf(stderr, "VidraFrameProcess failed on frame %d: %d\n", i + 1, (int)rc);
            break;
        }
        for (p = 0; p < n; ++p) {
            sum += mask[p];
            if (mask[p] < lo) lo = mask[p];
            if (mask[p] > hi) hi = mask[p];
            if (mask[p] >= 128) ++fg;
        }
        fprintf(stderr, "frame %2d: mask min %3u max %3u mean %6.2f person %5.1f%%\n", i + 1, lo, hi,
                (double)sum / (double)n, 100.0 * (double)fg / (double)n);
    }

    free(frame);
    free(mask);
    if (VidraDestroy() != 0) {
        fprintf(stderr, "VidraDestroy failed\n");
        return 1;
    }
    return rc == 0 ? 0 : 1;
}
