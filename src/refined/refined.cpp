// The refined banking method: the same inputs, failures, observer and commit
// as the literal solver, a different way of getting from one to the other.
#include <cmath>
#include <cstdint>

#include "railframe/rail_frame.h"
#include "refined/refined_internal.h"
#include "refined/solver_modes.h"
#include "heartline/solver_phases.h"

namespace torvix {

namespace refined {

SolveResult SolveRefinedTuned(Track& track, double track_length, const HeartlineParams& params,
                              const SolverObserver& observer, const RefinedTuning& tuning) {
    SolveResult result;
    result.filter = params.filter;
    if (auto refusal = heartline::CheckRunInputs(track, track_length, params, false)) {
        result.message = *refusal;
        return result;
    }
    const int segments = params.segments;
    const std::span<const BezierVertex> vertices(track.bezr.vertices.data(),
                                                 static_cast<std::size_t>(track.bezr.vertex_count));
    const std::span<const Segment> segs(track.segm.segments.data(), vertices.size() - 1);

    // The count a segment colour asks for raises Filter as in the literal run.
    for (const Segment& s : segs)
        if (s.color_2 < kFirstNonCountColour && s.color_2 > result.filter) result.filter = static_cast<int>(s.color_2);

    // Progress: one step per output curve sampled, one for the banking, one per
    // round of each of the three fits.
    heartline::Progress progress(observer);
    progress.SetTotal(segments + 1 + 3 * tuning.rounds);

    const heartline::EnergyModel shown = heartline::ComputeEnergy(vertices, track_length, params.start_speed,
                                                                  params.end_speed);
    result.friction = 0.0 - shown.gradient;
    if (observer.display_gradient) observer.display_gradient(result.friction);

    const ExactPath path(vertices);
    if (!(path.length() > 0)) {
        result.message = "The track has no length.";
        return result;
    }
    // The same energy model, spread over the path's own length.
    const double gradient = (shown.e_end - shown.e_start) / path.length();
    Grid grid;
    if (auto failure = BuildGrid(path, segments, params.precision, shown.e_start, gradient, tuning, grid)) {
        result.message = *failure;
        return result;
    }
    auto cancelled = [&progress, &result] {
        if (progress.Cancelled()) result.message = kCancelledMessage;
        return progress.Cancelled();
    };
    for (int c = 0; c < segments; ++c) {
        progress.Step();
        if (cancelled()) return result;
    }

    const std::vector<D3> frame = MinimalFrame(grid);
    // The designer's own roll as the simulator will show it.
    const std::vector<railframe::RailCurve> rails = railframe::PrepareRails(vertices, railframe::RollReading::kSimulator);
    std::vector<D3> designer(grid.points.size());
    for (std::size_t i = 0; i < designer.size(); ++i) {
        const railframe::RailPoint r = railframe::EvaluateRail(rails[grid.points[i].in_curve], 0.0, grid.points[i].in_t);
        designer[i] = {r.down[0], r.down[1], r.down[2]};
    }
    BankTargets targets = ChooseTargets(grid, frame, designer, segs, params.filter, tuning);
    const std::vector<double> angle = SmoothInTime(grid, targets, tuning);
    std::vector<D3> down(grid.points.size());
    for (std::size_t i = 0; i < down.size(); ++i) down[i] = DownAt(angle[i], grid.points[i].tangent, frame[i]);
    progress.Step();
    if (cancelled()) return result;

    std::vector<BezierVertex> out;
    FitRailsAndRolls(grid, segments, params.heartline, down, tuning, out, [&progress] { progress.Step(); });
    if (cancelled()) return result;
    if (!AllFinite(std::span<const BezierVertex>(out).first(static_cast<std::size_t>(segments) + 1))) {
        result.message = "The new track has a coordinate or roll that is not a finite number.";
        return result;
    }
    heartline::CommitTrack(track, std::move(out), segments);
    result.ok = true;
    return result;
}

}  // namespace refined

SolveResult SolveHeartlineRefined(Track& track, double track_length, const HeartlineParams& params,
                                  const SolverObserver& observer) {
    return refined::SolveRefinedTuned(track, track_length, params, observer, refined::RefinedTuning{});
}

}  // namespace torvix
