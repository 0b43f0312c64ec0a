// How the simulator reads a track's rolls: the down vector at each vertex is
// its roll against world up (or, with relative_roll, a twist on the frame
// carried to it), and between vertices the frame is carried along the rails
// without twisting while a twist about the tangent is laid on top, its rate
// along the curve a quadratic that lands on the next vertex.
#include <algorithm>
#include <cmath>

#include "refined/refined_internal.h"

namespace torvix::refined {

namespace {

constexpr double kTwoPi = 2 * kPi;
constexpr double kTransportStep = 0.1;  // metres of curve per double-reflection step, at most
constexpr int kMinTransportSteps = 8;

D3 AnyNormal(D3 t) {
    const D3 axis = std::abs(t.x) < 0.6 ? D3{1, 0, 0} : D3{0, 0, 1};
    return Unit(axis - Dot(axis, t) * t);
}

double WrapHalfTurn(double a) {
    a = std::remainder(a, kTwoPi);
    return a <= -kPi ? a + kTwoPi : a;
}

// Carries `r` (perpendicular to the tangent at t0) along the curve to t1.
D3 Carry(const PathCurve& c, double t0, double t1, D3 r) {
    const double span = std::abs(t1 - t0) * c.table.back();
    const int steps = std::max(1, static_cast<int>(std::ceil(span / kTransportStep)));
    D3 p = CurvePoint(c, t0), tangent = Unit(CurveD1(c, t0));
    for (int k = 1; k <= steps; ++k) {
        const double t = t0 + (t1 - t0) * k / steps;
        const D3 q = CurvePoint(c, t), tq = Unit(CurveD1(c, t));
        r = DoubleReflect(p, tangent, r, q, tq);
        p = q;
        tangent = tq;
    }
    return r;
}

}  // namespace

D3 DoubleReflect(D3 p0, D3 t0, D3 r, D3 p1, D3 t1) {
    const D3 v1 = p1 - p0;
    const double c1 = Dot(v1, v1);
    D3 rl = r, tl = t0;
    if (c1 > 0) {
        rl = r - (2 / c1) * Dot(v1, r) * v1;
        tl = tl - (2 / c1) * Dot(v1, tl) * v1;
    }
    const D3 v2 = t1 - tl;
    const double c2 = Dot(v2, v2);
    if (c2 > 0) rl = rl - (2 / c2) * Dot(v2, rl) * v2;
    const D3 out = Unit(rl - Dot(rl, t1) * t1);
    return Norm(out) > 0 ? out : AnyNormal(t1);
}

void TwistBasis(double u, double f[3]) {
    const double u2 = u * u, u3 = u2 * u;
    f[0] = u - 2 * u2 + u3;  // weight of the start rate
    f[1] = u3 - u2;          // weight of the end rate
    f[2] = 3 * u2 - 2 * u3;  // weight of the twist change
}

SimulatorReading::SimulatorReading(const ExactPath& path, std::span<const BezierVertex> vertices) : path_(path) {
    const int curves = path.curve_count();
    start_down_.resize(static_cast<std::size_t>(curves));
    change_.resize(static_cast<std::size_t>(curves));
    start_rate_.assign(static_cast<std::size_t>(curves), 0.0);
    end_rate_.assign(static_cast<std::size_t>(curves), 0.0);
    if (curves == 0) return;
    auto absolute = [](const BezierVertex& v, D3 tangent, D3 fallback) {
        const D3 zero = ZeroRollDown(tangent);
        return Norm(zero) > 0 ? DownAt(v.roll, tangent, zero) : fallback;
    };
    const D3 t0 = Unit(CurveD1(path.curve(0), 0));
    D3 down = absolute(vertices[0], t0, AnyNormal(t0));
    for (int k = 0; k < curves; ++k) {
        const PathCurve& c = path.curve(k);
        start_down_[k] = down;
        const D3 carried = Carry(c, 0, 1, down);
        const D3 t1 = Unit(CurveD1(c, 1));
        const BezierVertex& b = vertices[static_cast<std::size_t>(k) + 1];
        if (b.relative_roll) {
            change_[k] = b.roll;
            down = DownAt(b.roll, t1, carried);
        } else {
            down = absolute(b, t1, carried);
            change_[k] = WrapHalfTurn(AngleAgainst(down, t1, carried));
        }
    }
    for (int k = 0; k + 1 < curves; ++k) {
        if (!vertices[static_cast<std::size_t>(k) + 1].roll_flag) continue;
        const double a = path.curve(k).table.back(), b = path.curve(k + 1).table.back();
        end_rate_[k] = a + b > 0 ? (a * change_[k] + b * change_[k + 1]) / (a + b) : 0.0;
        start_rate_[k + 1] = end_rate_[k];
    }
}

double SimulatorReading::Twist(int curve, double t) const {
    double f[3];
    TwistBasis(t, f);
    return start_rate_[curve] * f[0] + end_rate_[curve] * f[1] + change_[curve] * f[2];
}

std::vector<D3> SimulatorReading::DownOnGrid(const Grid& grid) const {
    std::vector<D3> out(grid.points.size());
    int curve = -1;
    double t = 0;
    D3 carried{};
    for (std::size_t i = 0; i < out.size(); ++i) {
        const GridPoint& g = grid.points[i];
        if (g.in_curve != curve || g.in_t < t) {
            curve = g.in_curve;
            t = 0;
            carried = start_down_[curve];
        }
        const PathCurve& c = path_.curve(curve);
        carried = Carry(c, t, g.in_t, carried);
        t = g.in_t;
        out[i] = DownAt(Twist(curve, t), Unit(CurveD1(c, t)), carried);
    }
    return out;
}

}  // namespace torvix::refined
