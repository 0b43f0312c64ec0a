// Memory for the few large arrays of a track (the terrain grid and the file
// image run to megabytes), taken from the system in one piece instead of the
// heap. Linux maps such blocks aligned to 2 MB, asks for huge pages and
// populates them in one call: first-touching fresh 4 KB pages one at a time
// costs a trap each, which made loading a track with terrain slower than
// decoding it (670 KB: 1.7 ms by page, 0.8 ms populated, 0.08 ms in one huge
// page). Windows commits the block with VirtualAlloc.
#pragma once

#include <cstddef>

namespace torvix::platform {

// Blocks from this size on are worth a call to the system; smaller ones are
// cheaper from the heap.
inline constexpr std::size_t kLargeBlockFrom = std::size_t{256} << 10;

// A zero-filled block of at least `bytes`, or nullptr when the system has none.
void* AllocateLargeBlock(std::size_t bytes);
// Gives back a block from AllocateLargeBlock of the same `bytes`.
void FreeLargeBlock(void* block, std::size_t bytes) noexcept;

}  // namespace torvix::platform
