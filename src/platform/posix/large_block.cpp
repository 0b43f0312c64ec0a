#include "platform/large_block.h"

#include <cstdint>

#include <sys/mman.h>

namespace torvix::platform {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t MappedBytes(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

void* AllocateLargeBlock(std::size_t bytes) {
    if (bytes > SIZE_MAX - 2 * kHugePage) return nullptr;
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

void FreeLargeBlock(void* block, std::size_t bytes) noexcept { ::munmap(block, MappedBytes(bytes)); }

}  // namespace torvix::platform
