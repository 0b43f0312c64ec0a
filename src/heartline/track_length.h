// Arc length of a track's spline and the angle between two vectors.
#pragma once

#include "geometry/vector3.h"
#include "track/track.h"

namespace torvix {

// With recompute, measures the spline of `track` at 25 steps per metre of
// estimated curve length and stores the result in `publiclength`; either way
// returns `publiclength`. The caller owns `publiclength` (the length as loaded).
double TrackLength(const Track& track, bool recompute, double& publiclength);

// Unsigned angle between a and b in [0, pi]; 0 when either is the zero vector.
double VecAngle(const Vector3& a, const Vector3& b);

// Arc cosine built from the arc tangent; defined for -1 < x < 1.
double ArcCos(double x);

}  // namespace torvix
