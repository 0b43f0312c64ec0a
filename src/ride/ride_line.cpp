#include "ride/ride_line.h"

#include <cmath>

namespace torvix::ride {

double EstimateHeartLength(const railframe::RailCurve& c, double heartline) {
    auto dist = [&c](int a, int b) {
        const double d[3] = {c.p[b][0] - c.p[a][0], c.p[b][1] - c.p[a][1], c.p[b][2] - c.p[a][2]};
        return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    };
    const double rails = (dist(0, 1) + dist(1, 2) + dist(2, 3) + dist(0, 3)) / 2;
    const double swing = std::abs(heartline) * railframe::RollSwing(c);
    return rails + swing;
}

TrackLine::TrackLine(std::span<const BezierVertex> vertices, railframe::RollReading reading, bool closed,
                     double heartline)
    : rails_(railframe::PrepareRails(vertices, reading, closed)), heartline_(heartline),
      speed_pieces_(vertices.size() < 2 ? 0 : vertices.size() - 1) {}

bool IsClosedCircuit(const Track& track) { return track.segm.flag; }

}  // namespace torvix::ride
