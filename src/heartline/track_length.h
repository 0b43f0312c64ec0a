// Arc length of a track's spline, and the bounds a spline must keep to be
// measured or solved in bounded time.
#pragma once

#include "base/status.h"
#include "track/track_fwd.h"

namespace torvix::heartline {

// No coordinate of a spline point may lie further than this from the origin
// on any axis. No park comes near 100 km (the largest rides span a few
// hundred metres), and a Single there is already 8 mm coarse, too coarse to
// place a track; anything further is a corrupt or hostile file, whose curves
// would otherwise cost minutes of measuring.
inline constexpr double kMaxCoordinate = 100000;

// The longest spline measured: the estimates of all curves together. The
// longest rides are a few kilometres; this bounds the measuring walk (25
// points per metre) to a fraction of a second.
inline constexpr double kMaxSplineLength = 100000;

// Why the spline of `track` (its first vertex_count vertices) cannot be
// measured or solved: a coordinate that is not finite or beyond
// kMaxCoordinate, or curves longer than kMaxSplineLength in all. Ok when
// it can.
base::Status SplineBoundsProblem(const track::Track& track);

// Measures the spline at 25 steps per metre of estimated curve length, in
// metres. Fewer than two vertices measure 0; a spline outside the bounds above
// is an error, never a length. The caller keeps the result (the length as loaded).
base::Result<double> TrackLength(const track::Track& track);

}  // namespace torvix::heartline
