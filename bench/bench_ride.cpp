// The ride report of the generated 1 km track: at the default 0.5 m step and
// at 0.1 m (goal: under 10 ms), with the rolls read as the simulator reads them
// and, at 0.1 m, as the designer's roll; a literal solver run beside it for scale.
#include <benchmark/benchmark.h>

#include "generated_track.h"
#include "heartline/solver.h"
#include "heartline/track_length.h"
#include "ride/ride_report.h"

namespace {

using namespace torvix;
using namespace torvix::heartline;
using namespace torvix::track;

void BM_RideReport(benchmark::State& state) {
    const Track track = bench::GeneratedTrack(200);
    const ride::RideParams params{1.1, 22, 18, static_cast<double>(state.range(0)) / 100,
                                  state.range(1) ? railframe::RollReading::kDesigner : railframe::RollReading::kSimulator};
    std::size_t samples = 0;
    for (auto _ : state) {
        const ride::RideReport report = ride::MeasureRide(track, params);
        if (!report.status.ok()) {
            state.SkipWithError(report.status.message().c_str());
            break;
        }
        samples = report.samples.size();
        benchmark::DoNotOptimize(report.summary.lateral_rms);
    }
    state.counters["samples"] = static_cast<double>(samples);
}

void BM_LiteralRunForScale(benchmark::State& state) {
    const Track source = bench::GeneratedTrack(200);
    double length = 0;
    length = TrackLength(source).value();
    HeartlineParams params;
    params.segments = 200;
    params.precision = 16;
    params.heartline = 1.1;
    params.start_speed = 22;
    params.end_speed = 18;
    for (auto _ : state) {
        Track track = source;
        benchmark::DoNotOptimize(SolveHeartline(track, length, params).status.ok());
    }
}

// Arguments: step in cm, and 1 for the designer reading.
BENCHMARK(BM_RideReport)->Args({50, 0})->Args({10, 0})->Args({10, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiteralRunForScale)->Unit(benchmark::kMillisecond);

}  // namespace
