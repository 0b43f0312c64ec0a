// The designer's roll as the solver reads it: vertex rolls carried from curve
// to curve and eased along each curve against the zero-roll frame. Shared by
// the solver's walk and the rails model, so both read a roll the same way.
#pragma once

#include <span>

#include "geometry/constants.h"
#include "track/track.h"

namespace torvix::railframe {

// One correction toward (-pi, pi]; never loops.
double WrapAngle(double x);

// Roll data of the curve being walked.
struct CurveRoll {
    double roll_prev = 0;  // absolute roll at the curve's start vertex
    double d1 = 0;         // roll change over this curve
    double s_in = 0;       // d1 + the previous curve's change
    double s_out = 0;      // d1 + the next curve's change
    bool start_smooth = false;
    bool end_smooth = false;
};

// Carries the designer's roll from curve to curve along the walk.
class RollWalk {
public:
    // `vertices` are the input track's vertex_count vertices (at least two).
    explicit RollWalk(std::span<const track::BezierVertex> vertices);
    // Prepares curve i (vertex i to vertex i + 1).
    const CurveRoll& BeginCurve(int i);
    // Hands the end vertex's absolute roll on to the next curve.
    void EndCurve();
    const CurveRoll& curve() const { return curve_; }

private:
    std::span<const track::BezierVertex> vertices_;
    double roll_prev_ = 0;
    double d_prev_ = 0;
    double roll_a_ = 0;
    int a_ = 0;
    CurveRoll curve_;
};

// Designer roll at curve parameter u in [0, 1], wrapped once.
double DesignerRoll(const CurveRoll& curve, double u);

}  // namespace torvix::railframe
