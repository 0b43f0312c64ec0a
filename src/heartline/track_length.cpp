#include "heartline/track_length.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "geometry/vector3.h"
#include "track/track.h"

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::heartline {

namespace {

std::int64_t CurveCount(const Track& track) {
    const std::int64_t count =
        std::min<std::int64_t>(track.bezr.vertex_count, static_cast<std::int64_t>(track.bezr.vertices.size()));
    return count >= 2 ? count - 1 : 0;
}

// Mean of the chord and the control-polygon length.
double EstimatedLength(const BezierVertex& a, const BezierVertex& b) {
    return (VecDistance(a.control_next, b.control_prev) + VecDistance(b.control_prev, b.position) +
            VecDistance(a.position, b.position) + VecDistance(a.position, a.control_next)) /
           2;
}

bool InBounds(const Vector3& p) {
    // Written so that a coordinate that is not a number fails too.
    return std::fabs(p.x) <= kMaxCoordinate && std::fabs(p.y) <= kMaxCoordinate && std::fabs(p.z) <= kMaxCoordinate;
}

std::string PointText(const Vector3& p) {
    char text[96];
    std::snprintf(text, sizeof text, "(%g, %g, %g)", double(p.x), double(p.y), double(p.z));
    return text;
}

}  // namespace

base::Status SplineBoundsProblem(const Track& track) {
    const std::int64_t curves = CurveCount(track);
    const auto& v = track.bezr.vertices;
    for (std::int64_t i = 0; i < (curves > 0 ? curves + 1 : 0); ++i) {
        const BezierVertex& x = v[static_cast<std::size_t>(i)];
        for (const Vector3* p : {&x.position, &x.control_prev, &x.control_next}) {
            if (!InBounds(*p)) {
                return base::Status::Fail("vertex " + std::to_string(i) + " has a point at " + PointText(*p) +
                                          ", beyond 100 km from the origin or not a number; no park reaches that far");
            }
        }
    }
    double total = 0;
    for (std::int64_t i = 0; i < curves; ++i) {
        total += EstimatedLength(v[static_cast<std::size_t>(i)], v[static_cast<std::size_t>(i + 1)]);
        if (total > kMaxSplineLength) {
            return base::Status::Fail("the spline is longer than 100 km by curve " + std::to_string(i) +
                                      "; no ride is that long");
        }
    }
    return base::Status::Ok();
}

base::Result<double> TrackLength(const Track& track) {
    if (base::Status bounds = SplineBoundsProblem(track); !bounds) return bounds;
    const std::int64_t curves = CurveCount(track);
    if (curves == 0) return 0.0;
    const auto& v = track.bezr.vertices;
    double length = 0;
    Vector3 prev = BezierPoint(v[0].position, v[0].control_next, v[1].position, v[1].control_prev, 0.0f);
    for (std::int64_t i = 0; i < curves; ++i) {
        const BezierVertex& a = v[static_cast<std::size_t>(i)];
        const BezierVertex& b = v[static_cast<std::size_t>(i + 1)];
        // 32-bit count: a curve longer than 1310.72 m must not wrap a 16-bit
        // step count; the bounds keep it far below 2^31.
        const auto n = static_cast<std::int32_t>(std::floor(EstimatedLength(a, b) * 25));
        for (std::int32_t k = 1; k <= n; ++k) {
            const float t = static_cast<float>(static_cast<double>(k) / n);
            const Vector3 p = BezierPoint(a.position, a.control_next, b.position, b.control_prev, t);
            length += VecDistance(prev, p);
            prev = p;
        }
    }
    return length;
}

}  // namespace torvix::heartline
