#include "ride/ride_line.h"

#include <cmath>

using namespace torvix::track;

namespace torvix::ride {

double EstimateHeartLength(const railframe::RailCurve& c, double heartline) {
    const double rails = c.bezier.LengthEstimate();
    const double swing = std::abs(heartline) * railframe::RollSwing(c);
    return rails + swing;
}

TrackLine::TrackLine(std::span<const BezierVertex> vertices, railframe::RollReading reading, bool closed,
                     double heartline)
    : rails_(railframe::PrepareRails(vertices, reading, closed)), heartline_(heartline),
      speed_pieces_(vertices.size() < 2 ? 0 : vertices.size() - 1) {}

bool IsClosedCircuit(const Track& track) { return track.segm.flag; }

}  // namespace torvix::ride
