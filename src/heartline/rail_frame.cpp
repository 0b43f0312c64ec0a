#include "heartline/rail_frame.h"

#include <cmath>

namespace torvix::heartline {

namespace {


// Closest distance to a vertical tangent at which the zero-roll frame is still used as it stands.
constexpr double kVerticalLimit = 1e-9;
constexpr double kVerticalNudge = 1e-7;

JetVec Constant(double x, double y, double z) { return {{x, 0, 0}, {y, 0, 0}, {z, 0, 0}}; }

}  // namespace

std::vector<RailCurve> PrepareRails(std::span<const BezierVertex> vertices) {
    std::vector<RailCurve> rails;
    if (vertices.size() < 2) return rails;
    RollWalk walk(vertices);
    rails.resize(vertices.size() - 1);
    for (std::size_t i = 0; i + 1 < vertices.size(); ++i) {
        RailCurve& c = rails[i];
        const Vector3* pts[4] = {&vertices[i].position, &vertices[i].control_next, &vertices[i + 1].control_prev,
                                 &vertices[i + 1].position};
        for (int k = 0; k < 4; ++k) {
            c.p[k][0] = pts[k]->x;
            c.p[k][1] = pts[k]->y;
            c.p[k][2] = pts[k]->z;
        }
        c.roll = walk.BeginCurve(static_cast<int>(i));
        walk.EndCurve();
    }
    return rails;
}

Jet RollAt(const CurveRoll& c, double u_value) {
    const Jet u{u_value, 1, 0};
    const Jet one_minus_u = (-1.0 * u) + 1.0;
    const double start = c.start_smooth ? 2.0 : 0.0;
    const double end = c.end_smooth ? -2.0 : 0.0;
    Jet r = Jet{c.roll_prev, 0, 0} + (c.d1 / 2) * ((-1.0 * Cos(kPi * u)) + 1.0) +
            (start * c.s_in / 27) * Sin(kPi * (one_minus_u * one_minus_u)) +
            (end * c.s_out / 27) * Sin(kPi * (u * u));
    // The solver wraps once; only the value moves, the rate stays.
    r.v = WrapAngle(r.v);
    return r;
}

RailPoint EvaluateRail(const RailCurve& curve, double heartline, double t) {
    // The frame is undefined where the tangent is exactly vertical: take it a hair inside the curve.
    auto horizontal = [&curve](double tt) {
        const double u = 1 - tt;
        double d[3];
        for (int k = 0; k < 3; ++k)
            d[k] = 3 * u * u * (curve.p[1][k] - curve.p[0][k]) + 6 * u * tt * (curve.p[2][k] - curve.p[1][k]) +
                   3 * tt * tt * (curve.p[3][k] - curve.p[2][k]);
        const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        return len == 0 ? 0.0 : std::sqrt(d[0] * d[0] + d[2] * d[2]) / len;
    };
    if (horizontal(t) < kVerticalLimit) t = t < 0.5 ? t + kVerticalNudge : t - kVerticalNudge;

    const double u = 1 - t;
    JetVec b, b1;
    Jet* bc[3] = {&b.x, &b.y, &b.z};
    Jet* b1c[3] = {&b1.x, &b1.y, &b1.z};
    RailPoint out;
    for (int k = 0; k < 3; ++k) {
        const double p0 = curve.p[0][k], p1 = curve.p[1][k], p2 = curve.p[2][k], p3 = curve.p[3][k];
        const double pos = u * u * u * p0 + 3 * t * u * u * p1 + 3 * t * t * u * p2 + t * t * t * p3;
        const double d1 = 3 * u * u * (p1 - p0) + 6 * u * t * (p2 - p1) + 3 * t * t * (p3 - p2);
        const double d2 = 6 * u * (p2 - 2 * p1 + p0) + 6 * t * (p3 - 2 * p2 + p1);
        const double d3 = 6 * (p3 - 3 * p2 + 3 * p1 - p0);
        *bc[k] = {pos, d1, d2};
        *b1c[k] = {d1, d2, d3};
        out.rails[k] = pos;
    }

    const JetVec g = Constant(0, -1, 0);
    const JetVec tangent = Unit(b1);
    const JetVec zero_roll_down = Unit(Cross(tangent, Unit(Cross(g, tangent))));
    const JetVec x = Unit(Cross(tangent, zero_roll_down));
    out.roll = RollAt(curve.roll, t);
    Jet sine, cosine;
    SinCos(out.roll, sine, cosine);
    const JetVec down = Unit((-1.0 * sine) * x + cosine * zero_roll_down);
    const JetVec left = Cross(tangent, down);
    out.heart = b - heartline * down;

    const Jet* tc[3] = {&tangent.x, &tangent.y, &tangent.z};
    const Jet* dc[3] = {&down.x, &down.y, &down.z};
    const Jet* lc[3] = {&left.x, &left.y, &left.z};
    for (int k = 0; k < 3; ++k) {
        out.tangent[k] = tc[k]->v;
        out.down[k] = dc[k]->v;
        out.left[k] = lc[k]->v;
    }
    return out;
}

}  // namespace torvix::heartline
