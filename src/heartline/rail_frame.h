// The rails of a track as a rider meets them: each curve in double precision,
// the vertex rolls interpolated along it, and the frame and heart point at any
// curve parameter, with exact derivatives along the parameter.
#pragma once

#include <span>
#include <vector>

#include "heartline/solver_phases.h"
#include "heartline/jet.h"
#include "track/track.h"

namespace torvix::heartline {

struct RailCurve {
    double p[4][3] = {};          // P0 .. P3
    CurveRoll roll;    // the roll data the solver's walk gives this curve
};

// Every curve of the first `count` vertices (at least two), in ride order.
std::vector<RailCurve> PrepareRails(std::span<const BezierVertex> vertices);

// Vertex roll interpolated at curve parameter u, as the solver's designer
// roll, with its derivatives along u (wrapped once in value only).
Jet RollAt(const CurveRoll& curve, double u);

struct RailPoint {
    double rails[3] = {};
    double tangent[3] = {};  // unit
    double down[3] = {};     // unit, from the hearts toward the rails
    double left[3] = {};     // unit, the riders' left
    JetVec heart;            // heart point with its first and second derivative along t
    Jet roll;                // radians
};

// The rails frame and heart point at parameter t of `curve`, the heart lying
// `heartline` metres above the rails against the down vector. Where the
// tangent is exactly vertical the frame is taken a hair inside the curve.
RailPoint EvaluateRail(const RailCurve& curve, double heartline, double t);

}  // namespace torvix::heartline
