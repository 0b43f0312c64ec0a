#include "analysis/track_ends.h"

#include <algorithm>
#include <cstdint>

#include "geometry/vector3.h"
#include "geometry/vec_angle.h"
#include "track/track.h"

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::analysis {

namespace {

const Vector3 kDown{0, -1, 0};

// Inclination of the direction of travel through `vertex`, in degrees.
double EndSlope(const BezierVertex& vertex) {
    const Vector3 v = VecSub(vertex.position, vertex.control_prev);
    const Vector3 h{v.x, 0, v.z};
    const double slope = RadToDeg(VecAngle(v, h));
    return v.y < 0 ? -slope : slope;
}

// Radius and tilt of the curve (p0, p1, p2, p3) at t (0 or 1).
void EndRadiusAndTilt(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3, double t,
                      double& radius, double& tilt) {
    const Vector3 d1 = BezierDerivative(p0, p1, p2, p3, t);
    // A control point on its own vertex leaves no direction and no curvature
    // there; such an end reads as straight rather than as 0/0.
    if (VecLength(d1) == 0) {
        radius = -1.0;
        tilt = -1.0;
        return;
    }
    const double curvature = BezierCurvature(p0, p1, p2, p3, t);
    // Written so that a curvature that is not a number also reads as straight.
    if (!(curvature >= 0.001)) {
        radius = -1.0;
        tilt = -1.0;
        return;
    }
    radius = 1 / curvature;

    const Vector3 d2 = BezierSecondDerivative(p0, p1, p2, p3, t);
    const Vector3 tangent = BezierTangent(p0, p1, p3, p2, static_cast<float>(t));
    Vector3 normal = VecNormalize(VecCross(VecCross(d1, d2), tangent));
    normal = VecNormalize(VecCross(tangent, VecCross(normal, tangent)));
    const Vector3 reference = VecNormalize(VecCross(tangent, VecNormalize(VecCross(kDown, tangent))));
    tilt = RadToDeg(VecAngle(normal, reference));
    if (VecDot(VecCross(normal, reference), tangent) < 0) tilt = -tilt;
}

}  // namespace

TrackEndMeasures AnalyzeTrackEnds(const Track& track) {
    TrackEndMeasures m;
    const auto& v = track.bezr.vertices;
    const std::int64_t n = std::min<std::int64_t>(track.bezr.vertex_count, static_cast<std::int64_t>(v.size()));
    if (n < 2) return m;

    m.slope_in = EndSlope(v[0]);
    EndRadiusAndTilt(v[0].position, v[0].control_next, v[1].control_prev, v[1].position, 0.0, m.radius_in,
                     m.tilt_in);
    const BezierVertex& a = v[n - 2];
    const BezierVertex& b = v[n - 1];
    m.slope_out = EndSlope(b);
    EndRadiusAndTilt(a.position, a.control_next, b.control_prev, b.position, 1.0, m.radius_out, m.tilt_out);
    return m;
}

}  // namespace torvix::analysis
