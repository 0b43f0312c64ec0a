#include <windows.h>

#include "platform/large_block.h"

namespace torvix::platform {

// Committed pages are zero and come on first touch; the block is page-aligned.
void* AllocateLargeBlock(std::size_t bytes) {
    return ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreeLargeBlock(void* block, std::size_t) noexcept { ::VirtualFree(block, 0, MEM_RELEASE); }

}  // namespace torvix::platform
