// The benchmarks' main: the heap set up as the programs set it, so that what
// is measured is what a user's run costs.
#include <benchmark/benchmark.h>

#include "platform/heap.h"

int main(int argc, char** argv) {
    torvix::platform::KeepFreedMemory();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
