// The refined banking mode beside the literal one on the shared real track
// at 200 x 16, 25 -> 20 m/s, in one program so their ratio is read from one
// run (goal: refined at most twice literal). Skips when the track is absent.
//   bench_refined [--benchmark_...] (track read from TORVIX_SHARED_TRACK or ../shared/tracks/)
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "refined/solver_modes.h"
#include "heartline/track_length.h"
#include "track/track_io.h"

namespace {

using namespace torvix;
using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::track;

void BM_Mode(benchmark::State& state, SolverMode mode) {
    const char* env = std::getenv("TORVIX_SHARED_TRACK");
    const std::string path = env ? env : TORVIX_SOURCE_DIR "/../shared/tracks/demo-circuit.nltrack";
    Track source;
    if (!ReadTrackFile(path, source)) {
        state.SkipWithError(("no shared track at " + path).c_str());
        return;
    }
    double length = 0;
    length = TrackLength(source).value();
    HeartlineParams params;
    params.segments = 200;
    params.precision = 16;
    params.filter = 15;
    params.heartline = 1.0;
    params.start_speed = 25;
    params.end_speed = 20;
    for (auto _ : state) {
        Track track = source;
        const SolveResult result = SolveHeartlineWith(mode, track, length, params);
        if (!result.status.ok()) {
            state.SkipWithError(result.status.message().c_str());
            break;
        }
        benchmark::DoNotOptimize(track.bezr.vertices.data());
    }
}

BENCHMARK_CAPTURE(BM_Mode, literal, SolverMode::kLiteral)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Mode, refined, SolverMode::kRefined)->Unit(benchmark::kMillisecond);

}  // namespace
