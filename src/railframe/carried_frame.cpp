#include "railframe/carried_frame.h"

#include <algorithm>
#include <cmath>

#include "geometry/hermite.h"

using namespace torvix::geometry;

namespace torvix::railframe {

namespace {

// Fine grid of the carried frame: at most this much turn of the tangent per step
// (the double reflection's error falls with the fifth power of the step).
constexpr double kTransportTurn = 0.05;
constexpr int kMinTransportSteps = 16;
constexpr int kMaxTransportSteps = 1024;

// How far the tangent can turn over the curve: the turn of its control polygon.
double PolygonTurn(const CubicBezier& c) {
    double turn = 0;
    DVec3 prev{};
    for (int k = 0; k < 3; ++k) {
        const DVec3 leg = Unit(c.p[k + 1] - c.p[k]);
        if (Dot(leg, leg) == 0) continue;
        if (Dot(prev, prev) > 0) turn += std::acos(std::clamp(Dot(prev, leg), -1.0, 1.0));
        prev = leg;
    }
    return turn;
}

// A fresh start at t of a curve: its zero-roll down vector, or any normal where the tangent stays vertical.
DVec3 FreshDown(const CubicBezier& c, double t) {
    const DVec3 zero = ZeroRollDownAt(c, t);
    return Dot(zero, zero) > 0 ? zero : AnyNormal(CurveTangent(c, t));
}

}  // namespace

DVec3 ZeroRollDown(DVec3 tangent) {
    const DVec3 g{0, -1, 0};
    if (std::hypot(tangent.x, tangent.z) < kVerticalLimit) return {};
    return Unit(Cross(tangent, Unit(Cross(g, tangent))));
}

DVec3 TurnAbout(DVec3 r, DVec3 tangent, double angle) {
    return Unit(std::cos(angle) * r - std::sin(angle) * Unit(Cross(tangent, r)));
}

double AngleAbout(DVec3 r, DVec3 tangent, DVec3 d) { return std::atan2(-Dot(d, Cross(tangent, r)), Dot(d, r)); }

DVec3 TurnWithTangent(DVec3 down, DVec3 from, DVec3 to) {
    const double c = Dot(from, to);
    DVec3 r = down;
    if (c > -1 + 1e-12) r = r - (Dot(r, to) / (1 + c)) * (from + to);
    return Unit(r - Dot(r, to) * to);
}

DVec3 Carry(DVec3 down, DVec3 x0, DVec3 t0, DVec3 x1, DVec3 t1) {
    constexpr double kShortestChord = 1e-6;  // metres; rounding of park coordinates is far below
    const DVec3 v1 = x1 - x0;
    const double c1 = Dot(v1, v1);
    DVec3 p;
    if (c1 > kShortestChord * kShortestChord) {
        DVec3 r = down - (2 / c1) * Dot(v1, down) * v1;
        const DVec3 tl = t0 - (2 / c1) * Dot(v1, t0) * v1;
        const DVec3 v2 = t1 - tl;
        const double c2 = Dot(v2, v2);
        if (c2 > 0) r = r - (2 / c2) * Dot(v2, r) * v2;
        // Kept exactly perpendicular and unit against rounding.
        p = Unit(r - Dot(r, t1) * t1);
    } else {
        p = TurnWithTangent(down, t0, t1);
    }
    // The carried vector never degenerates.
    return Dot(p, p) > 0 ? p : Unit(down - Dot(down, t1) * t1);
}

double InsideStop(const CubicBezier& c, double t) {
    const DVec3 d = c.D1(t);
    return Dot(d, d) > 0 ? t : t < 0.5 ? t + kVerticalNudge : t - kVerticalNudge;
}

DVec3 CurveTangent(const CubicBezier& c, double t) { return Unit(c.D1(InsideStop(c, t))); }

DVec3 ZeroRollDownAt(const CubicBezier& c, double t) {
    const DVec3 z = ZeroRollDown(CurveTangent(c, t));
    if (Dot(z, z) > 0) return z;
    return ZeroRollDown(CurveTangent(c, t < 0.5 ? t + kVerticalNudge : t - kVerticalNudge));
}

DVec3 CarriedFrame::At(double t, DVec3 point, DVec3 tangent) const {
    const int steps = static_cast<int>(nodes.size()) - 1;
    const int k = std::clamp(static_cast<int>(t * steps), 0, steps - 1);
    const TransportNode& n = nodes[static_cast<std::size_t>(k)];
    return Carry(n.down, n.point, n.tangent, point, tangent);
}

CarriedFrame CarryAlong(const CubicBezier& c, DVec3 start_down) {
    const int steps = static_cast<int>(
        std::clamp(std::ceil(PolygonTurn(c) / kTransportTurn), double(kMinTransportSteps), double(kMaxTransportSteps)));
    CarriedFrame out;
    out.nodes.resize(static_cast<std::size_t>(steps) + 1);
    double length = 0, prev_speed = 0;
    DVec3 down = start_down;
    for (int k = 0; k <= steps; ++k) {
        const double t = static_cast<double>(k) / steps;
        const DVec3 x = c.Point(t);
        const DVec3 tg = CurveTangent(c, t);
        const double speed = Norm(c.D1(t));
        if (k == 0) {
            down = Unit(down - Dot(down, tg) * tg);
        } else {
            const TransportNode& q = out.nodes[static_cast<std::size_t>(k) - 1];
            down = Carry(down, q.point, q.tangent, x, tg);
            length += (prev_speed + speed) / (2 * steps);
        }
        prev_speed = speed;
        out.nodes[static_cast<std::size_t>(k)] = {x, tg, down};
    }
    out.length = length;
    return out;
}

std::vector<CarriedCurve> CarryAlongCurves(std::span<const CubicBezier> curves) {
    std::vector<CarriedCurve> out(curves.size());
    if (curves.empty()) return out;
    DVec3 end_down = FreshDown(curves[0], 0);
    DVec3 end_tangent = CurveTangent(curves[0], 0);
    for (std::size_t i = 0; i < curves.size(); ++i) {
        const CubicBezier& c = curves[i];
        // A kink at the vertex turns the frame with the tangent, the least way.
        const DVec3 tg0 = CurveTangent(c, 0);
        DVec3 start = Carry(end_down, {}, end_tangent, {}, tg0);
        if (Dot(start, start) == 0) {
            start = FreshDown(c, 0);
            out[i].restarted = true;
        }
        out[i].frame = CarryAlong(c, start);
        end_down = out[i].frame.nodes.back().down;
        end_tangent = out[i].frame.nodes.back().tangent;
    }
    return out;
}

TwistWeights TwistBasis(double u) {
    // The cubic Hermite from 0 (slope: the start rate) to the change (slope: the end rate).
    const HermiteBasis b = HermiteAt(u);
    return {{b.h[1], b.dh[1], b.ddh[1]}, {b.h[3], b.dh[3], b.ddh[3]}, {b.h[2], b.dh[2], b.ddh[2]}};
}

RateShares VertexRateShares(double length_before, double length_after) {
    const double lengths = length_before + length_after;
    if (!(lengths > 0)) return {};
    return {length_before / lengths, length_after / lengths};
}

}  // namespace torvix::railframe
