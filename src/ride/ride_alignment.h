// How rides of one drawn track line up: where the drawn track's vertices lie
// along a ride's heart line, which of its curves a distance falls on, and one
// ride's distances carried onto another's, matched at those vertices. The
// window draws a comparison run this way, curve by curve over the first run.
#pragma once

#include <span>
#include <vector>

#include "ride/ride_report.h"

namespace torvix::ride {

// Heart-line distance along `report` of every vertex of `drawn`, whose spline
// is the path the designer drew, in ride order.
std::vector<double> DrawnVertexDistances(const RideReport& report, const track::Track& drawn);

// The drawn curve at heart-line distance `s`: k where vertex k is at or
// before `s` and vertex k + 1 after it, held to the first and last curve; 0
// for fewer than two vertices.
int CurveAt(std::span<const double> vertex_s, double s);

// Distance `s` along one ride carried onto another: linear between the
// vertices matched in `from` and `to`, shifted with the nearest end beyond
// them. `s` unchanged when the lists differ in length or hold fewer than two.
double MapDistance(std::span<const double> from, std::span<const double> to, double s);

}  // namespace torvix::ride
