// The simulator's frame along rails: a down vector carried from point to
// point without twisting about the tangent (double reflection), the twist
// laid on it between two vertices, and the twist's rate through a vertex.
// The rails model reads a track with these, and the refined fit models that
// reading with the same ones, so what one fits the other measures.
#pragma once

#include <span>
#include <vector>

#include "geometry/cubic_bezier.h"
#include "geometry/dvec3.h"
#include "railframe/jet.h"

namespace torvix::railframe {

// Horizontal share of a tangent below which it counts as vertical, and the
// step of parameter taken inside a curve where its frame is undefined.
inline constexpr double kVerticalLimit = 1e-9;
inline constexpr double kVerticalNudge = 1e-7;

// The zero-roll down vector of a unit tangent: perpendicular to it, in its
// plane with world up, pointing down. Zero where the tangent is vertical.
geometry::DVec3 ZeroRollDown(geometry::DVec3 tangent);

// The track file's roll convention: the down vector `angle` radians about the
// unit tangent from the reference down vector `r` (perpendicular to it), and
// the signed angle about the tangent from `r` to `d`.
geometry::DVec3 TurnAbout(geometry::DVec3 r, geometry::DVec3 tangent, double angle);
double AngleAbout(geometry::DVec3 r, geometry::DVec3 tangent, geometry::DVec3 d);

// `down` turned with the tangent from `from` to `to` (both unit) the least
// way: no twist about either. Zero where nothing perpendicular to `to` is left.
geometry::DVec3 TurnWithTangent(geometry::DVec3 down, geometry::DVec3 from, geometry::DVec3 to);

// One step of the carried frame: `down`, perpendicular to unit tangent t0 at
// x0, carried to x1 with unit tangent t1 by reflecting it across the chord
// and then onto the new tangent. Without a chord (a kink at a vertex, or a
// point within a micrometre of the last, whose chord points anywhere) it turns
// with the tangent the least way. The result is unit and perpendicular to t1.
geometry::DVec3 Carry(geometry::DVec3 down, geometry::DVec3 x0, geometry::DVec3 t0, geometry::DVec3 x1,
                      geometry::DVec3 t1);

// Where the curve stops at t (a control point on its vertex), the parameter a
// hair inside, where it has a direction; elsewhere t.
double InsideStop(const geometry::CubicBezier& curve, double t);

// The unit tangent at t; where the curve stops (a control point on its
// vertex) the direction it leaves in, taken a hair inside.
geometry::DVec3 CurveTangent(const geometry::CubicBezier& curve, double t);

// The zero-roll down vector at t of a curve, taken a hair inside where the tangent is vertical.
geometry::DVec3 ZeroRollDownAt(const geometry::CubicBezier& curve, double t);

struct TransportNode {
    geometry::DVec3 point;
    geometry::DVec3 tangent;  // unit
    geometry::DVec3 down;     // unit, perpendicular to the tangent
};

// The down vector carried without twist along one curve, on a grid fine
// enough for the curve's turn, and the rails' arc length.
struct CarriedFrame {
    std::vector<TransportNode> nodes;  // at t = k / (size - 1)
    double length = 0;                 // metres

    // The carried down vector at t, where the curve is at `point` with unit
    // `tangent`: one step from the grid node before t.
    geometry::DVec3 At(double t, geometry::DVec3 point, geometry::DVec3 tangent) const;
};

CarriedFrame CarryAlong(const geometry::CubicBezier& curve, geometry::DVec3 start_down);

// The frame carried without twist along consecutive curves, from the
// zero-roll down vector at the start of the first (any normal where that is
// vertical); at each joint it turns with the tangent the least way. After a
// curve that carried nothing (all four points on one spot) the next starts
// afresh from its own zero-roll down vector, and says so.
struct CarriedCurve {
    CarriedFrame frame;
    bool restarted = false;
};
std::vector<CarriedCurve> CarryAlongCurves(std::span<const geometry::CubicBezier> curves);

// Weights of a curve's start rate, end rate and twist change (rates per unit
// of curve parameter) in its twist at parameter u, each with its first and
// second derivative along u: the twist runs from 0 with a quadratic rate.
struct TwistWeights {
    Jet start_rate, end_rate, change;
};
TwistWeights TwistBasis(double u);

// Through a vertex whose roll_flag is set, the twist rate is the mean of the
// changes of the two curves meeting there, weighted by their lengths: the
// share of each. Curves without length give no rate.
struct RateShares {
    double before = 0, after = 0;
};
RateShares VertexRateShares(double length_before, double length_after);

}  // namespace torvix::railframe
