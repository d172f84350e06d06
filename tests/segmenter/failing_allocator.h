// A replacement for the global operator new of the test program that can be
// told to fail: after `allowed` more allocations, the next one throws
// std::bad_alloc (and nothrow forms return null). Lets a test walk through
// every allocation of a call.
#ifndef VIDRA_TESTS_SEGMENTER_FAILING_ALLOCATOR_H
#define VIDRA_TESTS_SEGMENTER_FAILING_ALLOCATOR_H

// Arms the failure: `allowed` allocations succeed, the next one fails, and
// every later one succeeds again.
void FailAllocationAfter(long allowed);
// Disarms it; true when a failure was injected since it was armed.
bool StopFailingAllocations();

#endif
