// A cubic Bezier curve in double, with its derivatives along the parameter.
// The literal solver keeps its own float evaluators in vector3.h, whose
// argument orders and roundings are part of its pinned output.
#pragma once

#include "geometry/dvec3.h"

namespace torvix::geometry {

struct CubicBezier {
    DVec3 p[4];  // P0 .. P3

    DVec3 Point(double t) const {
        const double u = 1 - t;
        return (u * u * u) * p[0] + (3 * t * u * u) * p[1] + (3 * t * t * u) * p[2] + (t * t * t) * p[3];
    }
    DVec3 D1(double t) const {
        const double u = 1 - t;
        return (3 * u * u) * (p[1] - p[0]) + (6 * u * t) * (p[2] - p[1]) + (3 * t * t) * (p[3] - p[2]);
    }
    DVec3 D2(double t) const {
        const double u = 1 - t;
        return (6 * u) * (p[2] - 2 * p[1] + p[0]) + (6 * t) * (p[3] - 2 * p[2] + p[1]);
    }
    DVec3 D3() const { return 6 * (p[3] - 3 * p[2] + 3 * p[1] - p[0]); }

    // Half the control polygon plus the chord: a little above the arc length.
    double LengthEstimate() const {
        return (Norm(p[1] - p[0]) + Norm(p[2] - p[1]) + Norm(p[3] - p[2]) + Norm(p[3] - p[0])) / 2;
    }
};

}  // namespace torvix::geometry
