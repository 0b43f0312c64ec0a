// Full solver runs on a generated rolling, turning track of about 1 km.
// Reference: 200 vertices, Segments 200 x Precision 16; then half and double
// the vertex count, and half and double Segments x Precision.
#include <benchmark/benchmark.h>

#include <cmath>

#include "generated_track.h"
#include "heartline/solver.h"
#include "heartline/track_length.h"

namespace {

using namespace torvix;
using namespace torvix::heartline;
using namespace torvix::track;

using bench::GeneratedTrack;

void BM_Solve(benchmark::State& state) {
    const int vertices = static_cast<int>(state.range(0));
    HeartlineParams params;
    params.segments = static_cast<int>(state.range(1));
    params.precision = 16;
    params.filter = 15;
    params.heartline = 1.1;
    params.start_speed = 22;
    params.end_speed = 18;
    const Track source = GeneratedTrack(vertices);
    const double length = TrackLength(source).value();
    for (auto _ : state) {
        Track track = source;
        const SolveResult result = SolveHeartline(track, length, params);
        if (!result.status.ok()) {
            state.SkipWithError(result.status.message().c_str());
            break;
        }
        benchmark::DoNotOptimize(track.bezr.vertices.data());
    }
    state.counters["samples"] = params.segments * params.precision + 1;
}

BENCHMARK(BM_Solve)
    ->Args({200, 200})  // reference
    ->Args({100, 200})
    ->Args({400, 200})
    ->Args({200, 100})
    ->Args({200, 400})
    ->Unit(benchmark::kMillisecond);

}  // namespace
