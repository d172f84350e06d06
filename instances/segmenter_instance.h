// What a VidraSegmenter handle points at: a segmenter core of its own with
// the tables and buffers of the instance's input and output paths.
#ifndef VIDRA_INSTANCES_SEGMENTER_INSTANCE_H
#define VIDRA_INSTANCES_SEGMENTER_INSTANCE_H

#include <cstdint>
#include <memory>
#include <vector>

#include "instances/instance_log.h"
#include "instances/network_input.h"
#include "segmenter/segmenter_core.h"

struct VidraSegmenter {
    VidraSegmenter() : core(new ipu::SegmenterCore) {}
    // The segmenter's teardown logs; its lines go to this instance's log.
    ~VidraSegmenter() {
        instances::CoreLogRoute route(log);
        core.reset();
    }
    VidraSegmenter(const VidraSegmenter&) = delete;
    VidraSegmenter& operator=(const VidraSegmenter&) = delete;

    instances::InstanceLog log;
    std::unique_ptr<ipu::SegmenterCore> core;
    // True while a call runs on this instance: its log callback calling back
    // into it is refused (the host's thread rules exclude other threads).
    bool inCall = false;
    instances::NetworkInput input;
    // The mask at frame size, rows packed, for hosts whose mask has another stride.
    std::vector<uint8_t> packedMask;
};

namespace instances {

// Marks an instance busy for the duration of one call.
class CallScope {
public:
    explicit CallScope(VidraSegmenter& instance) : instance_(instance) { instance_.inCall = true; }
    ~CallScope() { instance_.inCall = false; }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

private:
    VidraSegmenter& instance_;
};

}  // namespace instances

#endif
