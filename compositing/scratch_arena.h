// Carves the caller's scratch memory into 64-byte aligned buffers. Without a
// base it only counts, so that the size query and the call take the same
// buffers in the same order. Counting is checked: a total beyond what one
// allocation can be (PTRDIFF_MAX) leaves the arena unrepresentable instead of
// wrapping.
#ifndef VIDRA_COMPOSITING_SCRATCH_ARENA_H
#define VIDRA_COMPOSITING_SCRATCH_ARENA_H

#include <cstddef>
#include <cstdint>

namespace vidra {
namespace compositing {

class ScratchArena {
public:
    static constexpr size_t kAlign = 64;
    // Extra bytes every buffer gets, so that vector kernels may store a full
    // register past the last element.
    static constexpr size_t kSlack = 64;

    ScratchArena() = default;  // counting only
    ScratchArena(void* base, size_t bytes) {
        const uintptr_t b = reinterpret_cast<uintptr_t>(base);
        base_ = reinterpret_cast<uint8_t*>((b + kAlign - 1) & ~static_cast<uintptr_t>(kAlign - 1));
        capacity_ = bytes - (reinterpret_cast<uintptr_t>(base_) - b);
    }

    // Room for count elements of T (null when counting).
    template <typename T>
    T* Take(size_t count) {
        if (count > (kLimit - kSlack - kAlign) / sizeof(T)) {
            tooLarge_ = true;
            return nullptr;
        }
        const size_t bytes = (count * sizeof(T) + kSlack + kAlign - 1) & ~(kAlign - 1);
        if (tooLarge_ || bytes > kLimit - used_) {
            tooLarge_ = true;
            return nullptr;
        }
        T* p = base_ != nullptr ? reinterpret_cast<T*>(base_ + used_) : nullptr;
        used_ += bytes;
        return p;
    }

    // False when the buffers taken add up to more than one allocation can hold.
    bool Representable() const { return !tooLarge_; }
    // Bytes a caller must provide for what was taken (alignment included).
    size_t Required() const { return used_ + kAlign; }
    bool Fits() const { return base_ == nullptr || used_ <= capacity_; }

private:
    static constexpr size_t kLimit = static_cast<size_t>(PTRDIFF_MAX) - kAlign;

    uint8_t* base_ = nullptr;
    bool tooLarge_ = false;
    size_t capacity_ = 0;
    size_t used_ = 0;
};

}  // namespace compositing
}  // namespace vidra

#endif
