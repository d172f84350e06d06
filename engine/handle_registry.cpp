#include "engine/handle_registry.h"

#include <atomic>

namespace tesk {

std::uint64_t NextHandle() {
    // Counted up from a recognisable base, so that small integers and model
    // handles passed as result handles (or the reverse) are never live.
    static std::atomic<std::uint64_t> next{0x7e5c000000000001ULL};
    return next.fetch_add(1);
}

}  // namespace tesk
