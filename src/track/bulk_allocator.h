// An allocator for the few large arrays of a track (the terrain grid and the
// file image run to megabytes): large blocks come from the system in one
// piece (platform/large_block.h), small ones from the ordinary heap.
#pragma once

#include <cstddef>
#include <limits>
#include <new>

#include "platform/large_block.h"

namespace torvix::track {

template <class T>
class BulkAllocator {
public:
    using value_type = T;

    BulkAllocator() = default;
    template <class U>
    BulkAllocator(const BulkAllocator<U>&) {}

    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / 2 / sizeof(T)) throw std::bad_array_new_length();
        if (n * sizeof(T) >= platform::kLargeBlockFrom) {
            if (void* p = platform::AllocateLargeBlock(n * sizeof(T))) return static_cast<T*>(p);
            throw std::bad_alloc();
        }
        return static_cast<T*>(::operator new(n * sizeof(T)));
    }

    void deallocate(T* p, std::size_t n) noexcept {
        if (n * sizeof(T) >= platform::kLargeBlockFrom) {
            platform::FreeLargeBlock(p, n * sizeof(T));
            return;
        }
        ::operator delete(p);
    }

    template <class U>
    bool operator==(const BulkAllocator<U>&) const {
        return true;
    }
};

}  // namespace torvix::track
