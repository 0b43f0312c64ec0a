// The NoLimits 2 element export of the generated 1 km track, as drawn and as a
// literal 200 x 16 run rebuilds it, at the default 2 m spacing.
#include <benchmark/benchmark.h>

#include "generated_track.h"
#include "heartline/solver.h"
#include "heartline/track_length.h"
#include "nl2/element.h"
#include "nl2/element_export.h"

namespace {

using namespace torvix;
using namespace torvix::heartline;
using namespace torvix::track;

Track Rebuilt() {
    Track track = bench::GeneratedTrack(200);
    HeartlineParams params;
    params.segments = 200;
    params.precision = 16;
    params.heartline = 1.0;
    params.start_speed = 22;
    params.end_speed = 18;
    SolveHeartline(track, TrackLength(track).value(), params);
    return track;
}

void BM_ExportElement(benchmark::State& state) {
    const Track track = state.range(0) ? Rebuilt() : bench::GeneratedTrack(200);
    std::size_t vertices = 0;
    for (auto _ : state) {
        const nl2::ExportResult result = nl2::ExportElement(track, {1.0, nl2::kDefaultSpacing});
        if (!result.status.ok()) {
            state.SkipWithError(result.status.message().c_str());
            break;
        }
        vertices = result.element.vertices.size();
        benchmark::DoNotOptimize(nl2::ElementXml(result.element).size());
    }
    state.counters["vertices"] = static_cast<double>(vertices);
}

}  // namespace

BENCHMARK(BM_ExportElement)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
