// The refined banking method's stages, shared by its files and its tests.
// Everything here works in double; only the committed track holds floats.
#pragma once

#include <array>
#include <cmath>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/status.h"
#include "geometry/constants.h"
#include "geometry/cubic_bezier.h"
#include "geometry/dvec3.h"
#include "heartline/solver.h"
#include "railframe/carried_frame.h"
#include "track/bulk_allocator.h"
#include "track/track.h"

namespace torvix::refined {

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
    geometry::CubicBezier curve;
    double s0 = 0;               // arc length at its start
    std::vector<double> table;   // arc length from the start at t = k / (size - 1)
};

class ExactPath {
public:
    explicit ExactPath(std::span<const track::BezierVertex> vertices);
    double length() const { return length_; }
    int curve_count() const { return static_cast<int>(curves_.size()); }
    const PathCurve& curve(int i) const { return curves_[i]; }
    // Curve and parameter at arc length s, searched from `hint` onward.
    void Locate(double s, int& curve, double& t, int hint = 0) const;

private:
    std::vector<PathCurve> curves_;
    double length_ = 0;
};

// ---- The grid and its physics ----

struct GridPoint {
    double s = 0;      // arc length along the input path
    double time = 0;   // ride time, seconds
    int in_curve = 0;  // input curve and its parameter
    double in_t = 0;
    int out_curve = 0; // output curve and its parameter
    double out_u = 0;
    geometry::DVec3 p, tangent;
    geometry::DVec3 force_perp;     // seat force across the tangent, g
    double speed = 0;
};

struct Grid {
    // Populated in one piece: a run's grid is large, and first-touching it page
    // by page cost more than building it.
    std::vector<GridPoint, track::BulkAllocator<GridPoint>> points;
    int per_curve = 0;  // points per output curve (the grid has segments * per_curve + 1)
};

// Fills positions, physics and ride time. `gradient` is the energy height per metre of path.
// Fails with the valley message where the train cannot reach a point.
base::Status BuildGrid(const ExactPath& path, int segments, int precision, double e_start, double gradient,
                       const RefinedTuning& tuning, Grid& grid);

// A closed circuit's grid runs once round, its last point on its first.
// AroundTheLap repeats the points within `reach` seconds of that joint on its
// other side, so that what is chosen and smoothed there sees both sides, and
// says how many it put before and after the grid; TrimTheLap takes them off.
struct LapMargins {
    std::size_t before = 0, after = 0;
};
LapMargins AroundTheLap(Grid& grid, double reach);
void TrimTheLap(Grid& grid, LapMargins margins);

// ---- Banking ----

// A rotation-minimising frame along the grid: reference down R_i, perpendicular to the tangent.
std::vector<geometry::DVec3> MinimalFrame(const Grid& grid);

// Wanted banking angle against the frame per grid point, with its smoothing weight and width.
struct BankTargets {
    std::vector<double> angle;   // unwrapped along the ride
    std::vector<double> weight;
    std::vector<double> sigma;   // seconds
};

// `designer_down` is the input's own roll as the simulator reads it, per grid point.
BankTargets ChooseTargets(const Grid& grid, const std::vector<geometry::DVec3>& frame,
                          const std::vector<geometry::DVec3>& designer_down, std::span<const track::Segment> segments,
                          int filter, const RefinedTuning& tuning);

// Gaussian smoothing in ride time with the widths widened until the roll rate
// stays below the bound. Returns the smoothed angles.
std::vector<double> SmoothInTime(const Grid& grid, BankTargets& targets, const RefinedTuning& tuning);

// ---- Fitting ----

struct FitInputs {
    const Grid& grid;
    int segments = 0;
    double heartline = 0;
    const std::vector<geometry::DVec3>& wanted_down;  // per grid point
    const RefinedTuning& tuning;
    std::function<void()> round_done;       // after every round of every fit
};

// Fits rails and vertex rolls to the wanted down vectors: segments + 2 vertices (the last zero).
std::vector<track::BezierVertex> FitRailsAndRolls(const FitInputs& in);

// The fitted rails as the simulator reads them, at the grid points: the
// frame carried along the curves without twist, from the first (railframe's).
struct RailsReading {
    std::vector<geometry::CubicBezier> curves;              // one per output curve
    std::vector<railframe::CarriedFrame> frames;  // along each curve
    std::vector<geometry::DVec3> point, tangent, carried;   // per grid point
};
RailsReading ReadRails(std::vector<geometry::CubicBezier> curves, const Grid& grid);
// The same into a reading whose curves are set, reusing its arrays.
void ReadRailsAlong(const Grid& grid, RailsReading& reading);

// Weights of the twists of vertices c - 1 .. c + 2 (against the carried
// frame) in the twist at u on curve c: the twist basis with the rate of each
// flagged vertex (none at either end), as the simulator lays it.
std::array<double, 4> VertexTwistWeights(const RailsReading& reading, const std::vector<char>& flags, int c,
                                         double u);

// The down vector at grid point i that vertex twists `theta` give.
geometry::DVec3 ReadDown(const RailsReading& reading, const Grid& grid, std::size_t i, const std::vector<char>& flags,
               const std::vector<double>& theta);

// The whole refined run with its tuning spelled out (SolveHeartlineRefined uses the defaults).
heartline::SolveResult SolveRefinedTuned(track::Track& track, double track_length,
                                         const heartline::HeartlineParams& params,
                                         const heartline::SolverObserver& observer, const RefinedTuning& tuning);

}  // namespace torvix::refined
