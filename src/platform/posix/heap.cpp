#include "platform/heap.h"

#include <cstdlib>  // defines __GLIBC__ where it applies

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace torvix::platform {

void KeepFreedMemory() {
#if defined(__GLIBC__)
    // 32 MB is the largest threshold glibc accepts on 64-bit; 64 MB kept free
    // covers a long track's fine ride report with room, and is given back beyond.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

}  // namespace torvix::platform
