// The new spline: the samples moved by the heartline height along their down
// vectors, cut into runs of Precision + 1 points, one fitted curve per run and
// a roll at every vertex that reproduces the down vector there.
#include <cmath>

#include "heartline/solver_phases_internal.h"
#include "geometry/vec_angle.h"

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::heartline {

namespace {

// Sample q moved by the heartline height along its down vector.
Vector3 Moved(const SampleSet& set, int q, double heartline) {
    return VecAdd(VecScale(set.down[q], heartline), set.point[q]);
}

}  // namespace

double VertexRoll(const Vector3& down, const Vector3& zero_roll_down, const Vector3& tangent) {
    double rho = VecAngle(down, zero_roll_down);
    if (VecDot(VecCross(down, zero_roll_down), tangent) < 0) rho = -rho;
    return rho;
}

namespace {

// `fit` is called like FitSegments and returns a FitResult or a reference to one.
template <typename Fit>
base::Status Rebuild(const RebuildInputs& in, SampleSet& set, Fit&& fit, std::vector<BezierVertex>& out,
                Progress& progress) {
    const int segments = in.segments;
    const int precision = in.precision;
    const int n = segments * precision;
    const BezierVertex& first = in.vertices.front();
    const BezierVertex& last = in.vertices.back();

    out.assign(static_cast<std::size_t>(segments) + 2, BezierVertex{});
    std::vector<Vector3> fit_points(static_cast<std::size_t>(precision) + 2);

    Vector3 start_tangent = VecNormalize(VecSub(first.position, first.control_prev));
    FittedSegment curve;
    for (int c = 0; c < segments; ++c) {
        const int b = precision * c;
        for (int m = 0; m <= precision; ++m) {
            fit_points[m] = Moved(set, b + m, in.heartline);
            progress.Step();
            if (progress.Cancelled()) return base::Status::Fail(kCancelledMessage);
        }
        const Vector3 end_tangent =
            c == segments - 1
                ? VecNormalize(VecSub(last.position, last.control_next))
                : VecNormalize(VecSub(Moved(set, b + precision - 1, in.heartline),
                                      Moved(set, b + precision + 1, in.heartline)));

        const FitResult& result = fit(fit_points, precision + 1, start_tangent, end_tangent, 1);
        if (!result.status.ok()) return base::Status::Fail("The curve fit failed: " + result.status.message());
        if (result.segments.empty()) return base::Status::Fail("The curve fit returned no curve.");
        curve = result.segments.front();

        out[c].position = curve.start;
        out[c].control_next = curve.start_control;
        out[c + 1].control_prev = curve.end_control;

        // The roll is measured against the fitted curve's own start direction.
        const Vector3 tg = BezierTangent(curve.start, curve.start_control, curve.end, curve.end_control, 0.0f);
        set.zero_roll_down[b] = VecNormalize(VecCross(tg, VecNormalize(VecCross(kWorldDown, tg))));
        set.tangent[b] = VecNormalize(tg);
        out[c].roll = static_cast<float>(VertexRoll(set.down[b], set.zero_roll_down[b], set.tangent[b]));
        out[c].roll_flag = true;

        start_tangent = VecScale(VecNormalize(end_tangent), -1);
    }

    BezierVertex& head = out[0];
    head.control_prev = VecAdd(head.position, VecSub(head.position, head.control_next));
    BezierVertex& tail = out[segments];
    tail.position = curve.end;
    tail.control_next = VecAdd(tail.position, VecSub(tail.position, tail.control_prev));
    // The last vertex keeps the sampler's frame of the input path.
    tail.roll = static_cast<float>(VertexRoll(set.down[n], set.zero_roll_down[n], set.tangent[n]));
    tail.roll_flag = true;
    return base::Status::Ok();
}

}  // namespace

base::Status RebuildSpline(const RebuildInputs& in, SampleSet& set, const Fitter& fit,
                      std::vector<BezierVertex>& out, Progress& progress) {
    return Rebuild(in, set, fit, out, progress);
}

base::Status RebuildSpline(const RebuildInputs& in, SampleSet& set, std::vector<BezierVertex>& out,
                      Progress& progress) {
    SegmentFitter fitter;
    return Rebuild(
        in, set,
        [&fitter](std::span<const Vector3> points, int count, const Vector3& t1, const Vector3& t2,
                  int wanted) -> const FitResult& { return fitter.Fit(points, count, t1, t2, wanted); },
        out, progress);
}

void CommitTrack(Track& track, std::vector<BezierVertex> vertices, int segments, bool closed) {
    BezrChunk bezr;
    bezr.vertex_count = closed ? segments : segments + 1;
    bezr.vertices = std::move(vertices);
    track.bezr = std::move(bezr);
    track.segm.segment_count = segments;
    // Curve i keeps the attributes of old curve i; entries beyond the old range start zeroed.
    track.segm.segments.resize(static_cast<std::size_t>(segments) + 1);
    track.rasc.entry_count = 0;
    track.info.info_text = kBanner;
}

}  // namespace torvix::heartline
