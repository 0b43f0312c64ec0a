// A track as NoLimits 2 builds it from an element: the curve its vertices
// define (pieces), nodes about 4 per metre, a frame carried from node to node
// without twisting, and the roll points' banks spread along it by a spline in
// arc length. The export checks its output with it, and `ride` reads an
// element through it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "geometry/cubic_bezier.h"
#include "geometry/dvec3.h"
#include "nl2/element.h"
#include "railframe/rail_frame.h"
#include "ride/ride_line.h"

namespace torvix::nl2 {

// One piece of the element's curve.
using CurvePiece = geometry::CubicBezier;

// The pieces the vertices define: split at strict vertices (and always at
// both ends); consecutive strict vertices a..b make one straight from a to b;
// a run of k spans between splits is a line (k = 1), a quadratic (2), a cubic
// Bezier (3), or a clamped uniform cubic B-spline of k - 2 pieces.
std::vector<CurvePiece> BuildPieces(const std::vector<ElementVertex>& vertices);

// A frame along the track: x left, y up, z forward, as NoLimits 2 has it.
struct Frame {
    geometry::DVec3 point;
    geometry::DVec3 forward;
    geometry::DVec3 up;
    geometry::DVec3 left;
};

// Minimal spacing of roll points; a closer one is ignored.
inline constexpr double kRollPointMinSpacing = 0.14;

class ElementTrack final : public ride::RideLine {
public:
    // Fails with a message when the curve has no length or a roll point's vectors are zero.
    static base::Result<ElementTrack> Build(const Element& element);
    // Banks the same curve by other roll points (in increasing coord); fails as Build.
    base::Status SetRolls(const std::vector<RollPoint>& rolls);
    // Builds this track afresh from `element`, keeping its storage; fails as Build.
    base::Status Assign(const Element& element);

    std::size_t Pieces() const override { return pieces_.size(); }
    // The heart point is the curve's; rails are not known to an element and are left at it.
    railframe::RailPoint At(std::size_t piece, double t) const override;
    double LengthEstimate(std::size_t piece) const override;

    const std::vector<CurvePiece>& pieces() const { return pieces_; }
    double length() const { return length_; }
    // Arc length from the start to parameter t of `piece`, as NoLimits 2 maps it
    // (64 chords per piece, linear within each).
    double ArcLength(std::size_t piece, double t) const;
    // The piece and parameter at arc length s (clamped to the curve).
    std::pair<std::size_t, double> Locate(double s) const;
    // The banked frame at parameter t of `piece`; forward is the curve's own tangent there.
    Frame FrameAt(std::size_t piece, double t) const;
    // The same at arc length s.
    Frame FrameAtDistance(double s) const {
        const auto [piece, t] = Locate(s);
        return FrameAt(piece, t);
    }
    // The roll added to the carried frame at arc length s, with its rate per metre (radians).
    double Twist(double s, double* rate = nullptr) const;

private:
    struct Node {
        double s = 0;
        geometry::DVec3 point;
        geometry::DVec3 tangent;
        geometry::DVec3 up;
    };
    // The carried frame, untwisted, at parameter t of `piece`.
    Frame CarriedAt(std::size_t piece, double t) const;

    std::vector<CurvePiece> pieces_;
    std::vector<double> tables_;  // per piece, cumulative chord length at t = k / 64 (65 values)
    std::vector<double> piece_start_;
    double length_ = 0;
    std::vector<Node> nodes_;
    // The twist spline: knots, values and second derivatives.
    std::vector<double> knot_s_, knot_theta_, knot_m_;
};

}  // namespace torvix::nl2
