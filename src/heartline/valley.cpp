#include "heartline/valley.h"

#include <cmath>
#include <cstdint>

#include "heartline/solver_phases_internal.h"

using namespace torvix::track;

namespace torvix::heartline {

namespace {

constexpr double kSpeedLimit = 1000;  // m/s; no track asks more, and the search must end

// Runs the sampling phase at `start_speed`; true when it passes. On a valley
// `set` tells where it stopped.
bool SamplingPasses(const Track& track, double track_length, const HeartlineParams& params, double start_speed,
                    SampleSet& set, bool& valleyed) {
    const std::span<const BezierVertex> vertices(track.bezr.vertices.data(),
                                                 static_cast<std::size_t>(track.bezr.vertex_count));
    const int n = params.segments * params.precision;
    const EnergyModel energy = ComputeEnergy(vertices, track_length, start_speed, params.end_speed);
    const SamplingInputs in{vertices, track.segm.segments, track_length, energy, params.heartline, n};
    SolverObserver quiet;
    Progress progress(quiet);
    const base::Status f = SampleTrack(in, set, progress);
    valleyed = !f && f.message() == kValleyMessage;
    return f.ok();
}

}  // namespace

std::optional<SolverValley> FindSolverValley(const Track& track, double track_length, const HeartlineParams& params) {
    const std::int64_t n = std::int64_t{params.segments} * params.precision;
    if (params.segments < 1 || params.precision < 1 || n + 1 > 32767) return std::nullopt;
    if (track.bezr.vertex_count < 2 || static_cast<std::size_t>(track.bezr.vertex_count) > track.bezr.vertices.size() ||
        track.segm.segments.size() + 1 < static_cast<std::size_t>(track.bezr.vertex_count))
        return std::nullopt;
    if (!(track_length > 0) || !std::isfinite(track_length) || !std::isfinite(params.start_speed) ||
        !std::isfinite(params.end_speed) || !std::isfinite(params.heartline))
        return std::nullopt;

    SampleSet set(static_cast<int>(n));
    bool valleyed = false;
    if (SamplingPasses(track, track_length, params, params.start_speed, set, valleyed) || !valleyed)
        return std::nullopt;
    SolverValley valley;
    valley.s = set.stop_s;
    valley.curve = set.stop_curve;

    // Bracket, then bisect; speeds below the failing one are never tried.
    double lo = std::max(0.0, params.start_speed);
    double hi = std::max(lo + 1, lo * 1.25);
    while (!SamplingPasses(track, track_length, params, hi, set, valleyed)) {
        if (!valleyed || hi > kSpeedLimit) return std::nullopt;
        lo = hi;
        hi *= 1.5;
    }
    while (hi - lo > 0.01) {
        const double mid = (lo + hi) / 2;
        if (SamplingPasses(track, track_length, params, mid, set, valleyed)) hi = mid; else lo = mid;
    }
    // Round up to what a designer types, and prove it.
    double speed = std::ceil(hi * 10 - 1e-9) / 10;
    for (int tries = 0; tries < 50; ++tries, speed = std::round(speed * 10 + 1) / 10) {
        if (SamplingPasses(track, track_length, params, speed, set, valleyed)) {
            valley.min_start_speed = speed;
            return valley;
        }
    }
    return std::nullopt;
}

}  // namespace torvix::heartline
