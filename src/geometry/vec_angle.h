// The angle between two vectors and the arc cosine it is built on.
#pragma once

#include "geometry/vector3.h"

namespace torvix::geometry {

// Unsigned angle between a and b in [0, pi]; 0 when either is the zero vector.
double VecAngle(const Vector3& a, const Vector3& b);

// Arc cosine built from the arc tangent; defined for -1 < x < 1.
double ArcCos(double x);

}  // namespace torvix::geometry
