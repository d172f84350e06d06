// What a VidraSegmenter handle points at: a segmenter object of its own with
// the tables and buffers of the instance's input and output paths.
#ifndef VIDRA_INSTANCES_SEGMENTER_INSTANCE_H
#define VIDRA_INSTANCES_SEGMENTER_INSTANCE_H

#include <cstdint>
#include <memory>
#include <vector>

#include "instances/instance_log.h"
#include "instances/network_input.h"
#include "segmenter/class_ipu_plus.h"

// The segmenter's frame type for an instance: none, so its frame driver skips
// its own input stage and runs on the tensor and luminance the instance
// prepared from the host's layout.
constexpr int32_t kInstanceFrameType = 0;

struct VidraSegmenter {
    VidraSegmenter() : model(new ipu::ClassIPUPlus) {}
    // The segmenter's teardown logs; its lines go to this instance's log.
    ~VidraSegmenter() {
        instances::CoreLogRoute route(log);
        model.reset();
    }
    VidraSegmenter(const VidraSegmenter&) = delete;
    VidraSegmenter& operator=(const VidraSegmenter&) = delete;

    instances::InstanceLog log;
    std::unique_ptr<ipu::ClassIPUPlus> model;
    instances::NetworkInput input;
    // The mask at frame size, rows packed, for hosts whose mask has another stride.
    std::vector<uint8_t> packedMask;
};

namespace instances {

// Zero-fills the segmenter's temporal state and working buffers, as its
// creation left them, and restarts the keyframe schedule.
void ClearTemporalState(ipu::ClassIPUPlus& model);

}  // namespace instances

#endif
