// What one frame of the segmenter did, measured only when a caller asks.
#ifndef VIDRA_SEGMENTER_FRAME_REPORT_H
#define VIDRA_SEGMENTER_FRAME_REPORT_H

namespace ipu {

struct FrameReport {
    bool networkRan = false;
    double networkMs = 0.0;      // keyframe comparison and the network run
    double postprocessMs = 0.0;  // network output to the mask at frame size
};

}  // namespace ipu

#endif
