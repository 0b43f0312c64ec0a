// The rails of a track as a rider meets them: each curve in double precision,
// the vertex rolls turned into a frame along it, and the frame and heart point
// at any curve parameter, with exact derivatives along the parameter.
//
// Two readings of the vertex rolls:
// - simulator: at each vertex the roll is the bank against world up (or, with
//   relative_roll, a twist added to the frame that arrives there); between
//   vertices the frame is carried along the rails without twisting (parallel
//   transport, carried_frame.h) and the twist about the tangent is interpolated
//   with a quadratic rate, continuous through a vertex whose roll_flag is set. A frame carried
//   this way stays defined through vertical tangents, so loops read as they ride.
// - designer: the roll angle eased from vertex to vertex and applied against
//   the zero-roll frame built from world up, as the solver reads the designer's
//   roll. That frame is undefined where the tangent is vertical.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "geometry/cubic_bezier.h"
#include "geometry/dvec3.h"
#include "railframe/carried_frame.h"
#include "railframe/designer_roll.h"
#include "railframe/jet.h"
#include "track/track.h"

namespace torvix::railframe {

enum class RollReading { kSimulator, kDesigner };

// "simulator" or "designer".
const char* ReadingName(RollReading reading);
std::optional<RollReading> ParseReading(std::string_view name);

// The curve from vertex `from` to vertex `to`, in double.
geometry::CubicBezier CurveBetween(const track::BezierVertex& from, const track::BezierVertex& to);

// The simulator reading of one curve: the twist laid on the carried frame.
struct CurveTwist {
    double start = 0;       // twist against the carried frame at t = 0, radians
    double change = 0;      // twist over the curve, radians
    double start_rate = 0;  // twist per unit of curve parameter at t = 0
    double end_rate = 0;    // and at t = 1

    // Twist at t with its first and second derivative along t.
    Jet At(double t) const;
};

struct RailCurve {
    geometry::CubicBezier bezier;
    RollReading reading = RollReading::kDesigner;
    CurveRoll roll;         // the roll data the solver's walk gives this curve (designer reading)
    CarriedFrame carried;   // the frame carried without twist from the first vertex (simulator reading only)
    CurveTwist twist;       // and the twist on it (simulator reading only)
};

// Every curve of the vertices (at least two), in ride order, read as `reading` says.
// A `closed` circuit under the simulator reading adds the closing curve, from
// the last vertex (its control_next) back to the first (its control_prev):
// its twist reaches the first vertex's roll again, and the rate through the
// joint follows the roll_flag of the vertices there as at any other vertex.
// The designer reading always reads the vertices as an open track.
std::vector<RailCurve> PrepareRails(std::span<const track::BezierVertex> vertices, RollReading reading,
                                    bool closed = false);

// Vertex roll interpolated at curve parameter u, as the solver's designer
// roll, with its derivatives along u (wrapped once in value only).
Jet RollAt(const CurveRoll& curve, double u);

// How far the hearts may swing about the rails over the curve, radians: half a
// turn plus a bound on the frame's turn about the tangent.
double RollSwing(const RailCurve& curve);

struct RailPoint {
    geometry::DVec3 rails;
    geometry::DVec3 tangent;  // unit
    geometry::DVec3 down;     // unit, from the hearts toward the rails
    geometry::DVec3 left;     // unit, the riders' left
    JetVec heart;            // heart point with its first and second derivative along t
    // Radians. The value is the bank against world up; the derivatives are how
    // fast the frame turns about the tangent as riders feel it (under the
    // designer reading, the interpolated roll's own derivatives).
    Jet roll;
};

// The rails frame and heart point at parameter t of `curve`, the heart lying
// `heartline` metres above the rails against the down vector. Under the
// designer reading, where the tangent is exactly vertical the frame is taken
// a hair inside the curve.
RailPoint EvaluateRail(const RailCurve& curve, double heartline, double t);

}  // namespace torvix::railframe
