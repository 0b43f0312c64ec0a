// The solver run: checks, energy model, the four phases in order and the
// commit, which is the only step that touches the track.
#include "heartline/solver.h"

#include <cmath>
#include <cstdint>

#include "geometry/fit_segments.h"
#include "heartline/solver_phases_internal.h"
#include "heartline/track_length.h"

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::heartline {

namespace {

constexpr std::int64_t kInt16Max = 32767;
constexpr std::int64_t kInt16Min = -32768;

bool FitsInt16(std::int64_t v) { return v >= kInt16Min && v <= kInt16Max; }

}  // namespace

std::optional<int> ProgressTotal(int n, int segments, int filter) {
    std::int64_t total = std::int64_t{2} * n;
    if (!FitsInt16(total)) return std::nullopt;
    for (std::int64_t term : {std::int64_t{segments}, std::int64_t{filter}, std::int64_t{3}}) {
        total += term;
        if (!FitsInt16(total)) return std::nullopt;
    }
    return static_cast<int>(total);
}

EnergyModel ComputeEnergy(std::span<const BezierVertex> vertices, double length, double start_speed,
                          double end_speed) {
    EnergyModel e;
    e.e_start = start_speed * start_speed / kTwoGravity + vertices.front().position.y;
    e.e_end = end_speed * end_speed / kTwoGravity + vertices.back().position.y;
    e.gradient = (e.e_end - e.e_start) / length;
    return e;
}


base::Status CheckRunInputs(const Track& track, double track_length, const HeartlineParams& p,
                            bool check_progress_total) {
    if (p.segments < 1) return base::Status::Fail("Segments must be at least 1.");
    if (p.precision < 1) return base::Status::Fail("Precision must be at least 1.");
    const std::int64_t n = std::int64_t{p.segments} * p.precision;
    if (n + 1 > 32767) return base::Status::Fail("Segments x Precision must stay below 32767.");
    if (p.filter < -32768 || p.filter > 32767) return base::Status::Fail("Filter must be a 16-bit count.");
    if (check_progress_total && !ProgressTotal(static_cast<int>(n), p.segments, p.filter))
        return base::Status::Fail("2 x Segments x Precision + Segments + Filter + 3 must not exceed 32767.");
    if (!std::isfinite(p.heartline) || !std::isfinite(p.start_speed) || !std::isfinite(p.end_speed))
        return base::Status::Fail("Heartline and speeds must be finite numbers.");
    const Long count = track.bezr.vertex_count;
    if (count < 2) return base::Status::Fail("The track needs at least two vertices.");
    if (static_cast<std::size_t>(count) > track.bezr.vertices.size())
        return base::Status::Fail("The track holds fewer vertices than its vertex count.");
    if (track.segm.segments.size() < static_cast<std::size_t>(count - 1))
        return base::Status::Fail("The track holds fewer segments than curves.");
    if (!std::isfinite(track_length) || track_length == 0)
        return base::Status::Fail("The track length is 0; the friction cannot be worked out.");
    if (track_length < 0) return base::Status::Fail("The track length is negative.");
    // Keeps the walk along the input curves and the fit bounded whatever the file holds.
    if (base::Status bounds = SplineBoundsProblem(track); !bounds)
        return base::Status::Fail("The track cannot be solved: " + bounds.message() + ".");
    // A roll that is not a number would reach the fit as a point that is not one, far from its cause.
    for (Long i = 0; i < count; ++i)
        if (!std::isfinite(track.bezr.vertices[static_cast<std::size_t>(i)].roll))
            return base::Status::Fail("The track cannot be solved: vertex " + std::to_string(i) + " has a roll that is not a finite number.");
    return base::Status::Ok();
}

SolveResult SolveHeartline(Track& track, double track_length, const HeartlineParams& params,
                           const SolverObserver& observer) {
    SolveResult result;
    result.filter = params.filter;
    if (base::Status refusal = CheckRunInputs(track, track_length, params, true); !refusal) {
        result.status = refusal;
        return result;
    }

    const int segments = params.segments;
    const int precision = params.precision;
    const int n = segments * precision;
    const std::span<const BezierVertex> vertices(track.bezr.vertices.data(),
                                                 static_cast<std::size_t>(track.bezr.vertex_count));

    SampleSet set(n);
    std::vector<BezierVertex> new_vertices;
    Progress progress(observer);
    progress.SetTotal(*ProgressTotal(n, segments, params.filter));

    const EnergyModel energy = ComputeEnergy(vertices, track_length, params.start_speed, params.end_speed);
    result.friction = 0.0 - energy.gradient;
    if (observer.display_gradient) observer.display_gradient(result.friction);

    const SamplingInputs sampling{vertices, track.segm.segments, track_length, energy, params.heartline, n};
    if (base::Status f = SampleTrack(sampling, set, progress); !f) {
        result.status = f;
        return result;
    }

    const int filter = DeriveFilterCounts(set, n, params.filter);
    result.filter = filter;
    const std::optional<int> total = ProgressTotal(n, segments, filter);
    if (!total) {
        result.status = base::Status::Fail("A segment asks for more smoothing passes than the 16-bit progress count can hold.");
        return result;
    }
    progress.SetTotal(*total);
    if (!PassThresholdsFit(set, n, filter)) {
        result.status = base::Status::Fail("A segment's smoothing count is too far below Filter for a 16-bit count.");
        return result;
    }
    for (int pass = 1; pass <= filter; ++pass) {
        SmoothingPass(set, n, pass, filter);
        progress.Step();
        if (progress.Cancelled()) {
            result.status = base::Status::Fail(kCancelledMessage);
            return result;
        }
    }

    const RebuildInputs rebuild{vertices, segments, precision, params.heartline};
    if (base::Status f = RebuildSpline(rebuild, set, new_vertices, progress); !f) {
        result.status = f;
        return result;
    }
    if (!AllFinite(std::span<const BezierVertex>(new_vertices).first(static_cast<std::size_t>(segments) + 1))) {
        result.status = base::Status::Fail("The new track has a coordinate or roll that is not a finite number.");
        return result;
    }

    CommitTrack(track, std::move(new_vertices), segments);
    result.status = base::Status::Ok();
    return result;
}

}  // namespace torvix::heartline
