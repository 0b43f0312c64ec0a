// The input path held in double: arc-length tables per curve, exact location
// of any distance, and the grid the refined method works on with the forces
// riders feel at each of its points.
#include <algorithm>
#include <cmath>

#include "railframe/rail_frame.h"
#include "refined/refined_internal.h"

using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::track;

namespace torvix::refined {

namespace {

constexpr double kTableStep = 0.25;  // metres of curve between arc-length table entries
constexpr double kGaussX[5] = {-0.9061798459386640, -0.5384693101056831, 0.0, 0.5384693101056831,
                               0.9061798459386640};
constexpr double kGaussW[5] = {0.2369268850561891, 0.4786286704993665, 0.5688888888888889, 0.4786286704993665,
                               0.2369268850561891};

double SpeedAt(const PathCurve& c, double t) { return Norm(c.curve.D1(t)); }

double ArcBetween(const PathCurve& c, double a, double b) {
    const double half = (b - a) / 2, mid = (a + b) / 2;
    double sum = 0;
    for (int k = 0; k < 5; ++k) sum += kGaussW[k] * SpeedAt(c, mid + half * kGaussX[k]);
    return sum * half;
}

}  // namespace

ExactPath::ExactPath(std::span<const BezierVertex> vertices) {
    for (std::size_t i = 0; i + 1 < vertices.size(); ++i) {
        PathCurve c;
        c.curve = railframe::CurveBetween(vertices[i], vertices[i + 1]);
        const double est = c.curve.LengthEstimate();
        const int n = static_cast<int>(std::clamp(std::ceil(est / kTableStep), 4.0, 200000.0));
        c.table.resize(static_cast<std::size_t>(n) + 1);
        c.table[0] = 0;
        for (int k = 1; k <= n; ++k)
            c.table[k] = c.table[k - 1] + ArcBetween(c, double(k - 1) / n, double(k) / n);
        c.s0 = length_;
        length_ += c.table.back();
        curves_.push_back(std::move(c));
    }
}

void ExactPath::Locate(double s, int& curve, double& t, int hint) const {
    int i = std::clamp(hint, 0, curve_count() - 1);
    while (i + 1 < curve_count() && curves_[i + 1].s0 <= s) ++i;
    while (i > 0 && curves_[i].s0 > s) --i;
    const PathCurve& c = curves_[i];
    const double local = std::clamp(s - c.s0, 0.0, c.table.back());
    const int n = static_cast<int>(c.table.size()) - 1;
    const int k = std::clamp(static_cast<int>(std::upper_bound(c.table.begin(), c.table.end(), local) -
                                              c.table.begin()) - 1, 0, n - 1);
    double lo = double(k) / n, hi = double(k + 1) / n;
    const double span = c.table[k + 1] - c.table[k];
    double x = span > 0 ? lo + (hi - lo) * (local - c.table[k]) / span : lo;
    for (int it = 0; it < 30; ++it) {
        const double f = c.table[k] + ArcBetween(c, double(k) / n, x) - local;
        if (std::abs(f) < 1e-11) break;
        if (f < 0) lo = x; else hi = x;
        const double d = SpeedAt(c, x);
        double next = d > 0 ? x - f / d : (lo + hi) / 2;
        if (!(next > lo && next < hi)) next = (lo + hi) / 2;
        x = next;
    }
    curve = i;
    t = x;
}

namespace {

// Position, tangent, speed and the seat force across the tangent at `g.in_t`
// of curve `c`, where the energy height is `energy`; false where the train
// cannot get there.
bool SetPhysics(GridPoint& g, const PathCurve& c, double energy) {
    g.p = c.curve.Point(g.in_t);
    const DVec3 d1 = c.curve.D1(g.in_t);
    const DVec3 d2 = c.curve.D2(g.in_t);
    const double speed2 = Dot(d1, d1);
    g.tangent = Unit(d1);
    const double head = energy - g.p.y;
    if (!(head >= 0)) return false;
    g.speed = std::sqrt(2 * kGravity * head);
    DVec3 force{0, 1, 0};
    if (speed2 > 0) {
        const DVec3 curvature = (1 / speed2) * (d2 - Dot(d2, g.tangent) * g.tangent);
        force = force + (g.speed * g.speed / kGravity) * curvature;
    }
    g.force_perp = force - Dot(force, g.tangent) * g.tangent;
    return true;
}

// Ride time from the point before, at constant acceleration.
void SetTime(GridPoint& g, const GridPoint& before) {
    const double v = before.speed + g.speed;
    g.time = before.time + (v > 0 ? 2 * (g.s - before.s) / v : 0);
}

}  // namespace

base::Status BuildGrid(const ExactPath& path, int segments, int precision, double e_start, double gradient,
                       const RefinedTuning& tuning, Grid& grid) {
    const double length = path.length();
    const double curve_length = length / segments;
    const int per = std::max({precision, tuning.min_points_per_curve,
                              static_cast<int>(std::ceil(curve_length / tuning.grid_step))});
    grid.per_curve = per;
    const int count = segments * per + 1;
    // Room for a closed circuit's margins (AroundTheLap: a few seconds of
    // ride on each side), so that they fit without moving the grid.
    grid.points.reserve(static_cast<std::size_t>(count) + static_cast<std::size_t>(count) / 4);
    grid.points.assign(static_cast<std::size_t>(count), GridPoint{});
    int hint = 0;
    for (int i = 0; i < count; ++i) {
        GridPoint& g = grid.points[i];
        g.out_curve = std::min(i / per, segments - 1);
        g.out_u = double(i - g.out_curve * per) / per;
        g.s = i == count - 1 ? length : (double(g.out_curve) + double(i - g.out_curve * per) / per) * curve_length;
        path.Locate(g.s, g.in_curve, g.in_t, hint);
        hint = g.in_curve;
        if (!SetPhysics(g, path.curve(g.in_curve), e_start + gradient * g.s)) return base::Status::Fail(kValleyMessage);
        if (i > 0) SetTime(g, grid.points[i - 1]);
    }
    return base::Status::Ok();
}

LapMargins AroundTheLap(Grid& grid, double reach) {
    auto& g = grid.points;
    const GridPoint end = g.back();
    // The lap's first and last points are one place: each side takes the other's inner points.
    std::vector<GridPoint> before, after;
    for (std::size_t i = 1; i + 1 < g.size(); ++i) {
        if (g[i].time >= end.time - reach) {
            before.push_back(g[i]);
            before.back().s -= end.s, before.back().time -= end.time;
        }
        if (g[i].time <= reach) {
            after.push_back(g[i]);
            after.back().s += end.s, after.back().time += end.time;
        }
    }
    // BuildGrid left room, so the grid grows in place instead of being copied.
    g.insert(g.begin(), before.begin(), before.end());
    g.insert(g.end(), after.begin(), after.end());
    return {before.size(), after.size()};
}

void TrimTheLap(Grid& grid, LapMargins margins) {
    auto& g = grid.points;
    g.erase(g.end() - static_cast<std::ptrdiff_t>(margins.after), g.end());
    g.erase(g.begin(), g.begin() + static_cast<std::ptrdiff_t>(margins.before));
}

}  // namespace torvix::refined
