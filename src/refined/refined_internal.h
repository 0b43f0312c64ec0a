// The refined banking method's stages, shared by its files and its tests.
// Everything here works in double; only the committed track holds floats.
#pragma once

#include <cmath>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "geometry/constants.h"
#include "geometry/dvec3.h"
#include "heartline/solver.h"
#include "track/track.h"

namespace torvix::refined {

using D3 = DVec3;

// Tuning of the method; the defaults are what the measurements in the README use.
struct RefinedTuning {
    double grid_step = 0.2;          // metres between grid points, at most
    int min_points_per_curve = 12;   // grid points per output curve, at least
    double sigma_per_count = 0.02;   // seconds of Gaussian width per smoothing count
    double sigma_fall_rate = 0.5;    // how fast the width may shrink along the ride, s per s
    double roll_rate_limit = 250;    // degrees per second
    double float_cost = 1.0;         // cost per second of floating per g
    double overbank_limit = 2.356194490192345;  // radians from the natural attitude a seat may be overbanked (135 deg)
    double weak_force = 0.3;         // g below which the force direction is bridged
    double weight_cap = 3.0;         // g: force beyond this does not weigh more in the smoothing
    double weight_power = 2.0;       // smoothing weight grows with the force to this power
    double bend_weight = 1;          // m^4: rails bending against offset in their least squares
    int rounds = 2;                  // rails / rolls refits
    double bend_smoothing = 0.6;     // metres: Gaussian width over the bending the rails are matched to
};

// ---- The input path, exactly ----

struct PathCurve {
    D3 p[4];
    double s0 = 0;               // arc length at its start
    std::vector<double> table;   // arc length from the start at t = k / (size - 1)
};

class ExactPath {
public:
    explicit ExactPath(std::span<const BezierVertex> vertices);
    double length() const { return length_; }
    int curve_count() const { return static_cast<int>(curves_.size()); }
    const PathCurve& curve(int i) const { return curves_[i]; }
    // Curve and parameter at arc length s, searched from `hint` onward.
    void Locate(double s, int& curve, double& t, int hint = 0) const;

private:
    std::vector<PathCurve> curves_;
    double length_ = 0;
};

D3 CurvePoint(const PathCurve& c, double t);
D3 CurveD1(const PathCurve& c, double t);
D3 CurveD2(const PathCurve& c, double t);

// ---- The grid and its physics ----

struct GridPoint {
    double s = 0;      // arc length along the input path
    double time = 0;   // ride time, seconds
    int in_curve = 0;  // input curve and its parameter
    double in_t = 0;
    int out_curve = 0; // output curve and its parameter
    double out_u = 0;
    D3 p, tangent;
    D3 force_perp;     // seat force across the tangent, g
    double speed = 0;
};

struct Grid {
    std::vector<GridPoint> points;
    int per_curve = 0;  // points per output curve (the grid has segments * per_curve + 1)
};

// Fills positions, physics and ride time. `gradient` is the energy height per metre of path.
// Fails with the valley message where the train cannot reach a point.
std::optional<std::string> BuildGrid(const ExactPath& path, int segments, int precision, double e_start,
                                     double gradient, const RefinedTuning& tuning, Grid& grid);

// A closed circuit's grid runs once round, its last point on its first. The
// grid with the points within `reach` seconds of that joint repeated on its
// other side, so that what is chosen and smoothed there sees both sides;
// `before` gets how many come before the grid itself.
Grid AroundTheLap(const Grid& grid, double reach, std::size_t& before);

// ---- The simulator's reading of a track's rolls ----

// Some unit vector perpendicular to unit `t`.
D3 AnyNormal(D3 t);

// One double-reflection step of a rotation-minimising frame: `r`, normal to
// tangent t0 at p0, carried to p1 with tangent t1.
D3 DoubleReflect(D3 p0, D3 t0, D3 r, D3 p1, D3 t1);

// Weights of a curve's start rate, end rate and twist change in its twist at
// parameter u (the integral of the quadratic rate).
void TwistBasis(double u, double f[3]);

// ---- Banking ----

// A rotation-minimising frame along the grid: reference down R_i, perpendicular to the tangent.
std::vector<D3> MinimalFrame(const Grid& grid);

// Angle of `d` about the tangent against reference `r` (roll convention of the track file).
inline double AngleAgainst(D3 d, D3 tangent, D3 r) {
    const D3 x = Cross(tangent, r);
    return std::atan2(-Dot(d, x), Dot(d, r));
}
inline D3 DownAt(double angle, D3 tangent, D3 r) {
    const D3 x = Cross(tangent, r);
    return Unit(-std::sin(angle) * x + std::cos(angle) * r);
}

// The zero-roll down vector of a tangent; zero where the tangent is vertical.
D3 ZeroRollDown(D3 tangent);

// Wanted banking angle against the frame per grid point, with its smoothing weight and width.
struct BankTargets {
    std::vector<double> angle;   // unwrapped along the ride
    std::vector<double> weight;
    std::vector<double> sigma;   // seconds
};

// `designer_down` is the input's own roll as the simulator reads it, per grid point.
BankTargets ChooseTargets(const Grid& grid, const std::vector<D3>& frame, const std::vector<D3>& designer_down,
                          std::span<const Segment> segments, int filter, const RefinedTuning& tuning);

// Gaussian smoothing in ride time with the widths widened until the roll rate
// stays below the bound. Returns the smoothed angles.
std::vector<double> SmoothInTime(const Grid& grid, BankTargets& targets, const RefinedTuning& tuning);

// ---- Fitting ----

// Fits rails and vertex rolls to the wanted down vectors; `out` gets segments + 2 vertices (the last zero).
void FitRailsAndRolls(const Grid& grid, int segments, double heartline, const std::vector<D3>& wanted_down,
                      const RefinedTuning& tuning, std::vector<BezierVertex>& out,
                      const std::function<void()>& round_done);

// The whole refined run with its tuning spelled out (SolveHeartlineRefined uses the defaults).
SolveResult SolveRefinedTuned(Track& track, double track_length, const HeartlineParams& params,
                              const SolverObserver& observer, const RefinedTuning& tuning);

}  // namespace torvix::refined
