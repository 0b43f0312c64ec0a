#include "ride/ride_alignment.h"

#include <algorithm>

#include "track/track.h"

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::ride {

std::vector<double> DrawnVertexDistances(const RideReport& report, const Track& drawn) {
    std::vector<Vector3> points;
    const auto count = static_cast<std::size_t>(std::max<Long>(0, drawn.bezr.vertex_count));
    for (std::size_t i = 0; i < count && i < drawn.bezr.vertices.size(); ++i)
        points.push_back(drawn.bezr.vertices[i].position);
    return LocateAlong(report, points);
}

int CurveAt(std::span<const double> vertex_s, double s) {
    const int curves = static_cast<int>(vertex_s.size()) - 1;
    if (curves < 1) return 0;
    const auto it = std::upper_bound(vertex_s.begin(), vertex_s.end(), s);
    const int k = static_cast<int>(it - vertex_s.begin()) - 1;
    return std::clamp(k, 0, curves - 1);
}

double MapDistance(std::span<const double> from, std::span<const double> to, double s) {
    if (from.size() != to.size() || from.size() < 2) return s;
    if (s <= from.front()) return to.front() + (s - from.front());
    if (s >= from.back()) return to.back() + (s - from.back());
    const auto it = std::upper_bound(from.begin(), from.end(), s);
    const std::size_t k = static_cast<std::size_t>(it - from.begin()) - 1;
    const double span = from[k + 1] - from[k];
    if (!(span > 1e-9)) return to[k];
    return to[k] + (s - from[k]) / span * (to[k + 1] - to[k]);
}

}  // namespace torvix::ride
