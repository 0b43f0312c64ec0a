#include "heartline/track_length.h"

#include <cmath>
#include <algorithm>
#include <cstdint>

namespace torvix {

double TrackLength(const Track& track, bool recompute, double& publiclength) {
    if (recompute) {
        const auto& v = track.bezr.vertices;
        const std::int64_t count = std::min<std::int64_t>(track.bezr.vertex_count, static_cast<std::int64_t>(v.size()));
        double length = 0;
        if (count >= 2) {
            Vector3 prev = BezierPoint(v[0].position, v[0].control_next, v[1].position, v[1].control_prev, 0.0f);
            for (std::int64_t i = 0; i + 1 < count; ++i) {
                const BezierVertex& a = v[i];
                const BezierVertex& b = v[i + 1];
                const double est = (VecDistance(a.control_next, b.control_prev) + VecDistance(b.control_prev, b.position) +
                                    VecDistance(a.position, b.position) + VecDistance(a.position, a.control_next)) /
                                   2;
                // 32-bit count: a curve longer than 1310.72 m must not wrap a 16-bit step count.
                const double steps = std::floor(est * 25);
                const std::int32_t n = steps > 0 && steps < 2147483647.0 ? static_cast<std::int32_t>(steps) : 0;
                for (std::int32_t k = 1; k <= n; ++k) {
                    const float t = static_cast<float>(static_cast<double>(k) / n);
                    const Vector3 p = BezierPoint(a.position, a.control_next, b.position, b.control_prev, t);
                    length += VecDistance(prev, p);
                    prev = p;
                }
            }
        }
        publiclength = length;
    }
    return publiclength;
}

double ArcCos(double x) { return std::atan(-x / std::sqrt(1 - x * x)) + 2 * std::atan(1.0); }

double VecAngle(const Vector3& a, const Vector3& b) {
    const double m = std::sqrt(double(b.x) * b.x + double(b.y) * b.y + double(b.z) * b.z) *
                     std::sqrt(double(a.x) * a.x + double(a.y) * a.y + double(a.z) * a.z);
    if (m == 0) return 0;
    const double c = VecDot(a, b) / m;
    if (c >= 1) return 0;
    if (c <= -1) return 4 * std::atan(1.0);
    return ArcCos(c);
}

}  // namespace torvix
