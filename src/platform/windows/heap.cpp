#include "platform/heap.h"

namespace torvix::platform {

// The Windows heap keeps its own counsel on decommitting freed pages; there is
// no process setting to make here.
void KeepFreedMemory() {}

}  // namespace torvix::platform
