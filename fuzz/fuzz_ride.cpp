// Runs the rails model under both readings, the ride report with its
// unasked-roll measure and verdict, and a small refined run on every input
// that decodes and measures up to a few kilometres. Whatever the file holds, each must finish, and
// no figure a report gives as a result may be a number that is not finite.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "heartline/track_length.h"
#include "railframe/rail_frame.h"
#include "refined/solver_modes.h"
#include "ride/ride_line.h"
#include "ride/ride_report.h"
#include "ride/verdict.h"
#include "track/track_io.h"

namespace {

using namespace torvix;
using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::track;

// The work grows with the track's length, which the reader allows up to 100 km;
// beyond these lengths an input costs a fuzzer more executions than it finds.
// The bounds that keep any length finite are the reader's and the report's.
constexpr double kRideLengthLimit = 2000;
constexpr double kRefinedLengthLimit = 200;

void RequireFinite(double v) {
    if (!std::isfinite(v)) std::abort();
}

void CheckReport(const ride::RideReport& r) {
    const ride::RideVerdict verdict = ride::JudgeRide(r);
    if (verdict.text.empty()) std::abort();
    if (!r.status.ok()) return;
    const ride::RideSummary& s = r.summary;
    for (double v : {s.length, s.duration, s.speed_min, s.speed_max, s.vertical_min, s.vertical_max, s.lateral_max,
                     s.lateral_rms, s.airtime, s.roll_rate_max, s.lateral_above_tolerable, s.unasked_roll})
        RequireFinite(v);
    if (s.unasked_roll < 0 || s.unasked_roll > s.length * (1 + 1e-9) + 1e-9) std::abort();
    for (const ride::RideStretch& stretch : s.unasked_stretches)
        if (!(stretch.from <= stretch.to)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Track track;
    if (!ReadTrackBytes({data, size}, track)) return 0;
    const base::Result<double> measured = TrackLength(track);
    if (!measured.ok() || !(*measured <= kRideLengthLimit)) return 0;
    const Long count = track.bezr.vertex_count;
    if (count >= 2 && static_cast<std::size_t>(count) <= track.bezr.vertices.size()) {
        const std::span<const BezierVertex> vertices(track.bezr.vertices.data(), static_cast<std::size_t>(count));
        for (railframe::RollReading reading : {railframe::RollReading::kSimulator, railframe::RollReading::kDesigner}) {
            const std::vector<railframe::RailCurve> rails = railframe::PrepareRails(vertices, reading);
            for (const railframe::RailCurve& c : rails)
                for (double t : {0.0, 0.37, 1.0}) railframe::EvaluateRail(c, 1.0, t);
        }
    }
    for (railframe::RollReading reading : {railframe::RollReading::kSimulator, railframe::RollReading::kDesigner})
        CheckReport(ride::MeasureRide(track, {1.0, 20, 17, 1.0, reading}));

    if (!(*measured <= kRefinedLengthLimit)) return 0;
    const Track drawn = track;
    HeartlineParams params;
    params.segments = 4;
    params.precision = 4;
    params.filter = 2;
    if (!SolveHeartlineWith(SolverMode::kRefined, track, *measured, params).status.ok()) return 0;
    // A vertex more than curves; a closed circuit ridden as a lap closes the same way, with one fewer.
    const bool as_lap = ride::IsClosedCircuit(drawn) && track.bezr.vertex_count == params.segments;
    if (track.bezr.vertex_count != params.segments + 1 && !as_lap) std::abort();
    CheckReport(ride::MeasureRide(track, {1.0, 20, 17, 1.0}, &drawn));
    return 0;
}
