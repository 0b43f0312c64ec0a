// How the C heap treats the memory a run gives back. A run's working arrays
// come to a few megabytes; glibc by default returns freed memory at the top
// of its heap to the system as soon as 128 KB lies free, and maps every block
// above 128 KB afresh, so the next run takes all of it again a page at a time,
// a trap per 4 KB. On a virtual machine that made a refined run 60 % slower
// and a fine ride report half again as slow as with the pages kept.
#pragma once

namespace torvix::platform {

// Called once at the start of a program that runs the core more than once
// (the window, the command line, the benchmarks): freed memory stays with the
// process for the next run, up to a bound, and blocks of up to 32 MB come from
// the heap. Where the C library has no such setting it does nothing.
void KeepFreedMemory();

}  // namespace torvix::platform
