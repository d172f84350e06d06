#include "failing_allocator.h"

#include <cstdlib>
#include <new>

namespace {
long g_remaining = -1;  // -1: disarmed
bool g_injected = false;
}  // namespace

void FailAllocationAfter(long allowed) {
    g_injected = false;
    g_remaining = allowed;
}

bool StopFailingAllocations() {
    g_remaining = -1;
    return g_injected;
}

// The library's nothrow forms come through here too (the runtime's nothrow
// operator new catches and returns null).
void* operator new(std::size_t size) {
    if (g_remaining == 0) {
        g_remaining = -1;
        g_injected = true;
        throw std::bad_alloc();
    }
    if (g_remaining > 0) --g_remaining;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
