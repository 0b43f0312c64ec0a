// Rails and vertex rolls fitted together: the rails as a C1 cubic Hermite
// spline through the heart points moved along the down vectors, the rolls by
// least squares through the reading the simulator applies (a frame carried
// along the rails with a twist laid on it); then the rails again along the
// down vectors those rolls actually give, and so on for a few rounds.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "geometry/hermite.h"
#include "refined/refined_internal.h"

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::refined {

namespace {

constexpr double kTwoPi = 2 * kPi;
constexpr double kMaxTwistStep = kPi - 1e-3;  // twist change over one curve; a reader wraps anything beyond pi
constexpr double kRollNoise = 1e-9;           // radians: a vertex roll this small is 0
constexpr double kEndWeight = 1e4;  // the rails begin and end where the path does, moved by the heartline
// Horizontal share of a vertex tangent (sine of 5 degrees) below which its
// roll is written as a twist on the carried frame: against world up it would
// be ill-defined there.
constexpr double kSteepVertex = 0.0871557427476582;

double Nearest(double angle, double to) { return angle - kTwoPi * std::round((angle - to) / kTwoPi); }

// A symmetric positive definite band matrix (lower half, `band` diagonals
// below the main one) factored in place by Cholesky.
class BandSystem {
public:
    BandSystem(int n, int band) : n_(n), band_(band), a_(static_cast<std::size_t>(n) * (band + 1), 0.0) {}
    double& at(int row, int col) { return a_[static_cast<std::size_t>(row) * (band_ + 1) + (row - col)]; }
    double at(int row, int col) const { return a_[static_cast<std::size_t>(row) * (band_ + 1) + (row - col)]; }
    void Add(int row, int col, double v) {
        if (row < col) std::swap(row, col);
        at(row, col) += v;
    }
    void Factor() {
        for (int i = 0; i < n_; ++i) {
            for (int j = std::max(0, i - band_); j <= i; ++j) {
                double sum = at(i, j);
                for (int k = std::max(0, i - band_); k < j; ++k) sum -= at(i, k) * at(j, k);
                if (i == j) at(i, i) = std::sqrt(std::max(sum, 1e-300));
                else at(i, j) = sum / at(j, j);
            }
        }
    }
    void Solve(std::vector<double>& b) const {
        for (int i = 0; i < n_; ++i) {
            double sum = b[i];
            for (int k = std::max(0, i - band_); k < i; ++k) sum -= at(i, k) * b[k];
            b[i] = sum / at(i, i);
        }
        for (int i = n_ - 1; i >= 0; --i) {
            double sum = b[i];
            for (int k = i + 1; k <= std::min(n_ - 1, i + band_); ++k) sum -= at(k, i) * b[k];
            b[i] = sum / at(i, i);
        }
    }

private:
    int n_, band_;
    std::vector<double> a_;
};

// The rails' least squares over C1 cubic Hermite nodes (per vertex a
// position and a tangent, per coordinate; node 2v + a), with the rails'
// bending within each curve matched to the bending of the targets (second
// differences on the grid): riders feel a heart line bent off the path, not a
// millimetre of offset. It depends only on where the grid points sit on the
// output curves: factored once for every fit.
struct RailsSystem {
    BandSystem matrix{0, 0};
    std::vector<HermiteBasis> basis;           // per grid point
    std::vector<double> weight;                // per grid point
    std::vector<std::array<double, 4>> bend;   // second difference of the basis, per grid point
    std::vector<char> bends;                   // whether the point has one within its curve
    double bend_weight = 0;
};

RailsSystem FactorRails(const Grid& grid, int segments, const RefinedTuning& tuning) {
    const auto& g = grid.points;
    const std::size_t n = g.size();
    RailsSystem out;
    out.matrix = BandSystem(2 * (segments + 1), 3);
    out.basis.resize(n);
    out.weight.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const int c = g[i].out_curve;
        out.basis[i] = HermiteAt(g[i].out_u);
        out.weight[i] = i == 0 || i + 1 == n ? kEndWeight : 1.0;
        for (int a = 0; a < 4; ++a)
            for (int b = 0; b <= a; ++b)
                out.matrix.Add(2 * c + a, 2 * c + b, out.weight[i] * out.basis[i].h[a] * out.basis[i].h[b]);
    }
    const double grid_step = (g[n - 1].s - g[0].s) / double(n - 1);
    out.bend_weight = tuning.bend_weight / std::pow(grid_step, 4);
    out.bend.resize(n);
    out.bends.assign(n, 0);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const int c = g[i].out_curve;
        if (g[i - 1].out_curve != c || g[i + 1].out_curve != c || g[i].out_u <= 0 || g[i + 1].out_u < g[i].out_u)
            continue;
        out.bends[i] = 1;
        for (int a = 0; a < 4; ++a)
            out.bend[i][a] = out.basis[i + 1].h[a] - 2 * out.basis[i].h[a] + out.basis[i - 1].h[a];
        for (int a = 0; a < 4; ++a)
            for (int b = 0; b <= a; ++b)
                out.matrix.Add(2 * c + a, 2 * c + b, out.bend_weight * out.bend[i][a] * out.bend[i][b]);
    }
    for (int i = 0; i < 2 * (segments + 1); ++i) out.matrix.at(i, i) += 1e-12;
    out.matrix.Factor();
    return out;
}

using Coords = std::array<std::vector<double>, 3>;

// Rails through the heart points moved by the heartline along the down
// vectors, bent as the drawn path plus the heartline offset's bending.
void SolveRails(const RailsSystem& sys, const FitInputs& in, const std::vector<DVec3>& path_bending,
                const std::vector<DVec3>& down, Coords& coord) {
    const auto& g = in.grid.points;
    const std::size_t n = g.size();
    for (auto& v : coord) v.assign(static_cast<std::size_t>(2 * (in.segments + 1)), 0.0);
    auto add = [&coord](int node, double w, DVec3 q) {
        coord[0][node] += w * q.x;
        coord[1][node] += w * q.y;
        coord[2][node] += w * q.z;
    };
    for (std::size_t i = 0; i < n; ++i) {
        const int c = g[i].out_curve;
        const DVec3 target = g[i].p + in.heartline * down[i];
        for (int a = 0; a < 4; ++a) add(2 * c + a, sys.weight[i] * sys.basis[i].h[a], target);
        if (!sys.bends[i]) continue;
        const DVec3 bending = path_bending[i] + in.heartline * (down[i + 1] - 2 * down[i] + down[i - 1]);
        for (int a = 0; a < 4; ++a) add(2 * c + a, sys.bend_weight * sys.bend[i][a], bending);
    }
    for (auto& v : coord) sys.matrix.Solve(v);
}

// Per vertex its position and the offset of its control points: a third of the Hermite tangent.
DVec3 NodePosition(const Coords& coord, int v) { return {coord[0][2 * v], coord[1][2 * v], coord[2][2 * v]}; }
DVec3 NodeOffset(const Coords& coord, int v) {
    return {coord[0][2 * v + 1] / 3, coord[1][2 * v + 1] / 3, coord[2][2 * v + 1] / 3};
}

// The Bezier curves of Hermite nodes, as the track stores them.
void CurvesOf(const Coords& coord, int segments, std::vector<CubicBezier>& curves) {
    curves.resize(static_cast<std::size_t>(segments));
    for (int c = 0; c < segments; ++c) {
        const DVec3 p0 = NodePosition(coord, c), p1 = NodePosition(coord, c + 1);
        curves[c] = {{p0, p0 + NodeOffset(coord, c), p1 - NodeOffset(coord, c + 1), p1}};
    }
}

struct Twists {
    std::vector<double> theta;                  // per vertex, against the carried frame
    std::vector<std::array<double, 4>> weight;  // per grid point, of vertices c - 1 .. c + 2
};

// The vertex twists by least squares to the wanted down vectors, kept smooth
// from curve to curve where the grid says little.
void SolveTwists(const FitInputs& in, const RailsReading& reading, const std::vector<char>& flags, Twists& out) {
    const auto& g = in.grid.points;
    const std::size_t n = g.size();
    const int vertices = in.segments + 1;
    BandSystem system(vertices, 3);
    out.weight.resize(n);
    std::vector<double>& rhs = out.theta;
    rhs.assign(static_cast<std::size_t>(vertices), 0.0);
    double last = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int c = g[i].out_curve;
        out.weight[i] = VertexTwistWeights(reading, flags, c, g[i].out_u);
        const DVec3 t = reading.tangent[i];
        const DVec3 want = in.wanted_down[i] - Dot(in.wanted_down[i], t) * t;
        const double psi = Nearest(railframe::AngleAbout(reading.carried[i], t, want), last);
        last = psi;
        for (int a = 0; a < 4; ++a) {
            const int ra = c - 1 + a;
            if (ra < 0 || ra >= vertices) continue;
            rhs[ra] += out.weight[i][a] * psi;
            for (int b = 0; b <= a; ++b) {
                const int rb = c - 1 + b;
                if (rb >= 0 && rb < vertices) system.Add(ra, rb, out.weight[i][a] * out.weight[i][b]);
            }
        }
    }
    const double smooth = 1e-3 * in.grid.per_curve;
    for (int c = 1; c + 1 < vertices; ++c) {
        const int idx[3] = {c - 1, c, c + 1};
        const double k[3] = {1, -2, 1};
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b <= a; ++b) system.Add(idx[a], idx[b], smooth * k[a] * k[b]);
    }
    for (int i = 0; i < vertices; ++i) system.at(i, i) += 1e-12;
    system.Factor();
    system.Solve(rhs);
    for (int c = 1; c < vertices; ++c)
        out.theta[c] = std::clamp(out.theta[c], out.theta[c - 1] - kMaxTwistStep, out.theta[c - 1] + kMaxTwistStep);
}

double TwistAt(const std::array<double, 4>& weight, const std::vector<double>& theta, int c) {
    double twist = 0;
    for (int a = 0; a < 4; ++a) {
        const int v = c - 1 + a;
        if (v >= 0 && v < static_cast<int>(theta.size())) twist += weight[a] * theta[v];
    }
    return twist;
}

struct Misfit {
    std::vector<DVec3> down;    // what the twists give on the rails
    std::vector<double> local;  // the misfit's share at every grid point
    double total = 0;
};

// The lateral force a round's track would add: from the hearts bending off
// the path, and from down vectors off the wanted ones.
void MeasureMisfit(const FitInputs& in, const RailsReading& reading, const Twists& twists, Misfit& out,
                   std::vector<DVec3>& heart_error) {
    const auto& g = in.grid.points;
    const std::size_t n = g.size();
    out.down.resize(n);
    out.local.assign(n, 0.0);
    out.total = 0;
    heart_error.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double twist = TwistAt(twists.weight[i], twists.theta, g[i].out_curve);
        const DVec3 actual = railframe::TurnAbout(reading.carried[i], reading.tangent[i], twist);
        const DVec3 e = reading.point[i] - in.heartline * actual - g[i].p;
        heart_error[i] = e - Dot(e, g[i].tangent) * g[i].tangent;
        const DVec3 off = actual - in.wanted_down[i];
        out.local[i] = Dot(g[i].force_perp, g[i].force_perp) * Dot(off, off);
        out.total += out.local[i];
        out.down[i] = actual;
    }
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double ds = (g[i + 1].s - g[i - 1].s) / 2;
        if (!(ds > 0)) continue;
        const DVec3 bend_error = (1 / (ds * ds)) * (heart_error[i + 1] - 2 * heart_error[i] + heart_error[i - 1]);
        const double scale = g[i].speed * g[i].speed / kGravity;
        out.local[i] += scale * scale * Dot(bend_error, bend_error);
        out.total += scale * scale * Dot(bend_error, bend_error);
    }
}

// The track's vertices for the rails and twists: each roll as the simulator
// reads it back, against the frame carried to the vertex along the curve before.
std::vector<BezierVertex> WriteVertices(const Coords& coord, const RailsReading& reading,
                                        const std::vector<double>& theta, const std::vector<char>& flags) {
    const int segments = static_cast<int>(reading.curves.size());
    std::vector<BezierVertex> out(static_cast<std::size_t>(segments) + 2);
    for (int c = 0; c <= segments; ++c) {
        BezierVertex& v = out[c];
        const DVec3 p = NodePosition(coord, c), m = NodeOffset(coord, c);
        v.position = ToVector3(p);
        v.control_next = ToVector3(p + m);
        v.control_prev = ToVector3(p - m);
        double roll = theta[0];
        if (c > 0) {
            const railframe::TransportNode& end = reading.frames[c - 1].nodes.back();
            const DVec3 t = end.tangent;
            if (std::hypot(t.x, t.z) < kSteepVertex) {
                // Near vertical: the twist since the vertex before, on the frame carried to here.
                v.relative_roll = true;
                roll = theta[c] - theta[c - 1];
            } else {
                const DVec3 zero = railframe::ZeroRollDownAt(reading.curves[c - 1], 1);
                roll = railframe::AngleAbout(zero, t, railframe::TurnAbout(end.down, t, theta[c]));
            }
        }
        roll = std::remainder(roll, kTwoPi);
        if (std::abs(roll) < kRollNoise) roll = 0;
        v.roll = static_cast<float>(roll);
        v.roll_flag = flags[c] && c > 0 && c < segments;
    }
    return out;
}

// A Gaussian of `width` metres along the grid over the inner points (the ends stay out).
std::vector<DVec3> SmoothAlong(const decltype(Grid::points)& g, const std::vector<DVec3>& v, double width) {
    const std::size_t n = v.size();
    std::vector<DVec3> out(v);
    std::size_t lo = 1;
    for (std::size_t i = 1; i + 1 < n; ++i) {
        while (lo < i && g[lo].s < g[i].s - 3 * width) ++lo;
        DVec3 sum{};
        double wsum = 0;
        for (std::size_t j = lo; j + 1 < n && g[j].s <= g[i].s + 3 * width; ++j) {
            const double d = (g[j].s - g[i].s) / width;
            const double w = std::exp(-0.5 * d * d);
            sum = sum + w * v[j];
            wsum += w;
        }
        out[i] = (1 / wsum) * sum;
    }
    return out;
}


struct Fit {
    std::vector<BezierVertex> vertices;
    double misfit = std::numeric_limits<double>::infinity();
    std::vector<double> local;  // the misfit's share at every grid point
};

// The rails of a fit's first round: along the wanted down vectors, whatever
// the rate flags, so every fit starts from the same ones.
struct FirstRails {
    Coords coord;
    RailsReading reading;
};

// The arrays every round of every fit fills, kept between them so that the
// six rounds of a run take their memory once (a grid runs to thousands of points).
struct RoundWork {
    Coords solved;
    RailsReading read;
    Twists twists;
    Misfit misfit;
    std::vector<DVec3> heart_error;
    std::vector<DVec3> down;  // what the round before gave
};

// One fit with the given rate flags per vertex: rails and twists refitted in
// turn, the rails along the down vectors the twists actually give. A round can
// make things worse: the best one is kept.
Fit FitWithFlags(const FitInputs& in, const RailsSystem& rails, const std::vector<DVec3>& path_bending,
                 const FirstRails& first, const std::vector<char>& flags, RoundWork& work) {
    Fit best;
    for (int round = 0; round < in.tuning.rounds; ++round) {
        if (round > 0) {
            SolveRails(rails, in, path_bending, work.down, work.solved);
            CurvesOf(work.solved, in.segments, work.read.curves);
            ReadRailsAlong(in.grid, work.read);
        }
        const Coords& coord = round > 0 ? work.solved : first.coord;
        const RailsReading& reading = round > 0 ? work.read : first.reading;
        SolveTwists(in, reading, flags, work.twists);
        MeasureMisfit(in, reading, work.twists, work.misfit, work.heart_error);
        // (A misfit that is not a number still leaves vertices, which the run then refuses.)
        if (work.misfit.total < best.misfit || best.vertices.empty() || std::isnan(best.misfit)) {
            best.misfit = work.misfit.total;
            best.vertices = WriteVertices(coord, reading, work.twists.theta, flags);
            best.local = work.misfit.local;
        }
        std::swap(work.down, work.misfit.down);
        if (in.round_done) in.round_done();
    }
    return best;
}

// The drawn path's bending at each grid point, as the rails should follow
// it, with ripples shorter than the smoothing width taken out: a drawn path
// can wiggle between its vertices.
std::vector<DVec3> PathBending(const Grid& grid, const RefinedTuning& tuning) {
    const auto& g = grid.points;
    std::vector<DVec3> bending(g.size());
    for (std::size_t i = 1; i + 1 < g.size(); ++i) bending[i] = g[i + 1].p - 2 * g[i].p + g[i - 1].p;
    if (tuning.bend_smoothing > 0) bending = SmoothAlong(g, bending, tuning.bend_smoothing);
    return bending;
}

}  // namespace

RailsReading ReadRails(std::vector<CubicBezier> curves, const Grid& grid) {
    RailsReading out;
    out.curves = std::move(curves);
    ReadRailsAlong(grid, out);
    return out;
}

void ReadRailsAlong(const Grid& grid, RailsReading& out) {
    out.frames.clear();
    for (railframe::CarriedCurve& c : railframe::CarryAlongCurves(out.curves)) out.frames.push_back(std::move(c.frame));
    const std::size_t n = grid.points.size();
    out.point.resize(n);
    out.tangent.resize(n);
    out.carried.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const GridPoint& g = grid.points[i];
        const CubicBezier& c = out.curves[static_cast<std::size_t>(g.out_curve)];
        out.point[i] = c.Point(railframe::InsideStop(c, g.out_u));
        out.tangent[i] = railframe::CurveTangent(c, g.out_u);
        out.carried[i] = out.frames[static_cast<std::size_t>(g.out_curve)].At(g.out_u, out.point[i], out.tangent[i]);
    }
}

std::array<double, 4> VertexTwistWeights(const RailsReading& reading, const std::vector<char>& flags, int c,
                                         double u) {
    const railframe::TwistWeights f = railframe::TwistBasis(u);
    const int segments = static_cast<int>(reading.curves.size());
    // The rate at each end vertex: its shares of the changes of the curves meeting there.
    railframe::RateShares in, out;
    if (c > 0 && flags[c]) in = railframe::VertexRateShares(reading.frames[c - 1].length, reading.frames[c].length);
    if (c + 1 < segments && flags[c + 1])
        out = railframe::VertexRateShares(reading.frames[c].length, reading.frames[c + 1].length);
    const double start = f.start_rate.v, end = f.end_rate.v, change = f.change.v;
    return {-start * in.before, 1 + start * (in.before - in.after) - end * out.before - change,
            start * in.after + end * (out.before - out.after) + change, end * out.after};
}

DVec3 ReadDown(const RailsReading& reading, const Grid& grid, std::size_t i, const std::vector<char>& flags,
               const std::vector<double>& theta) {
    const int c = grid.points[i].out_curve;
    const std::array<double, 4> weight = VertexTwistWeights(reading, flags, c, grid.points[i].out_u);
    return railframe::TurnAbout(reading.carried[i], reading.tangent[i], TwistAt(weight, theta, c));
}

std::vector<BezierVertex> FitRailsAndRolls(const FitInputs& in) {
    // A vertex's rate flag lets the twist run on through it (good for long,
    // steady rolls such as helices and loops); without it the twist eases
    // into the vertex, which rails can follow more closely. Fit with every
    // flag clear and with every flag set, then with each vertex taking what
    // fitted better around it, and keep the best of the three.
    const std::size_t vertices = static_cast<std::size_t>(in.segments) + 1;
    const RailsSystem rails = FactorRails(in.grid, in.segments, in.tuning);
    const std::vector<DVec3> path_bending = PathBending(in.grid, in.tuning);
    FirstRails first;
    SolveRails(rails, in, path_bending, in.wanted_down, first.coord);
    CurvesOf(first.coord, in.segments, first.reading.curves);
    ReadRailsAlong(in.grid, first.reading);
    RoundWork work;
    Fit eased = FitWithFlags(in, rails, path_bending, first, std::vector<char>(vertices, 0), work);
    Fit flagged = FitWithFlags(in, rails, path_bending, first, std::vector<char>(vertices, 1), work);
    std::vector<double> around_eased(vertices, 0.0), around_flagged(vertices, 0.0);
    for (std::size_t i = 0; i < in.grid.points.size(); ++i) {
        const int c = in.grid.points[i].out_curve;
        for (int v : {c, c + 1}) {
            around_eased[v] += eased.local[i];
            around_flagged[v] += flagged.local[i];
        }
    }
    std::vector<char> mixed_flags(vertices, 0);
    for (std::size_t v = 0; v < vertices; ++v) mixed_flags[v] = around_flagged[v] < around_eased[v];
    Fit mixed = FitWithFlags(in, rails, path_bending, first, mixed_flags, work);
    if (eased.misfit < mixed.misfit && eased.misfit <= flagged.misfit) return std::move(eased.vertices);
    if (flagged.misfit < mixed.misfit && flagged.misfit < eased.misfit) return std::move(flagged.vertices);
    return std::move(mixed.vertices);
}

}  // namespace torvix::refined
