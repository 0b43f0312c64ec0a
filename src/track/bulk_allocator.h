// An allocator for the few large arrays of a track (the terrain grid and the
// file image run to megabytes). On Linux large blocks are mapped on their own,
// aligned to 2 MB and advised to use huge pages, then populated in one call:
// first-touching fresh 4 KB pages one at a time costs a trap each, which made
// loading a track with terrain slower than decoding it. Where huge pages are
// off the block is still populated in one call. Small blocks, and other systems,
// use the ordinary heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace torvix {

namespace bulk_detail {

inline constexpr std::size_t kHugePage = std::size_t{2} << 20;
inline constexpr std::size_t kMappedFrom = std::size_t{256} << 10;

inline std::size_t MappedBytes(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

#if defined(__linux__)
inline void* MapBlock(std::size_t bytes) {
    const std::size_t size = MappedBytes(bytes);
    // Map one huge page more than needed and trim both ends to the alignment.
    void* raw = ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start) ::munmap(raw, aligned - start);
    const std::uintptr_t end = start + size + kHugePage;
    if (end > aligned + size) ::munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
    void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    ::madvise(block, size, MADV_HUGEPAGE);
#endif
    // MADV_POPULATE_WRITE (Linux 5.14); older kernels refuse it and the pages
    // come on first touch.
    ::madvise(block, size, 23);
    return block;
}
#endif

}  // namespace bulk_detail

template <class T>
class BulkAllocator {
public:
    using value_type = T;

    BulkAllocator() = default;
    template <class U>
    BulkAllocator(const BulkAllocator<U>&) {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T) - bulk_detail::kHugePage) throw std::bad_array_new_length();
#if defined(__linux__)
        if (n * sizeof(T) >= bulk_detail::kMappedFrom) {
            if (void* p = bulk_detail::MapBlock(n * sizeof(T))) return static_cast<T*>(p);
            throw std::bad_alloc();
        }
#endif
        return static_cast<T*>(::operator new(n * sizeof(T)));
    }

    void deallocate(T* p, [[maybe_unused]] std::size_t n) noexcept {
#if defined(__linux__)
        if (n * sizeof(T) >= bulk_detail::kMappedFrom) {
            ::munmap(p, bulk_detail::MappedBytes(n * sizeof(T)));
            return;
        }
#endif
        ::operator delete(p);
    }

    template <class U>
    bool operator==(const BulkAllocator<U>&) const {
        return true;
    }
};

}  // namespace torvix
