#include "railframe/rail_frame.h"

#include <algorithm>
#include <cmath>

namespace torvix::railframe {

namespace {

// Closest distance to a vertical tangent at which the zero-roll frame is still used as it stands.
constexpr double kVerticalLimit = 1e-9;
constexpr double kVerticalNudge = 1e-7;
// Fine grid of the carried frame: at most this much turn of the tangent per step
// (the double reflection's error falls with the fifth power of the step).
constexpr double kTransportTurn = 0.05;
constexpr int kMinTransportSteps = 16;
constexpr int kMaxTransportSteps = 1024;

JetVec Constant(double x, double y, double z) { return {{x, 0, 0}, {y, 0, 0}, {z, 0, 0}}; }

struct D3 {
    double x = 0, y = 0, z = 0;
};
D3 operator+(D3 a, D3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
D3 operator-(D3 a, D3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
D3 operator*(double k, D3 a) { return {k * a.x, k * a.y, k * a.z}; }
double Dot(D3 a, D3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
D3 Cross(D3 a, D3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
D3 Unit(D3 a) {
    const double n = std::sqrt(Dot(a, a));
    return n > 0 ? (1 / n) * a : D3{};
}
D3 Load(const double* v) { return {v[0], v[1], v[2]}; }
void Store(D3 a, double* v) { v[0] = a.x, v[1] = a.y, v[2] = a.z; }

D3 CurvePoint(const RailCurve& c, double t) {
    const double u = 1 - t;
    D3 out;
    double* o[3] = {&out.x, &out.y, &out.z};
    for (int k = 0; k < 3; ++k)
        *o[k] = u * u * u * c.p[0][k] + 3 * t * u * u * c.p[1][k] + 3 * t * t * u * c.p[2][k] + t * t * t * c.p[3][k];
    return out;
}

D3 CurveD1(const RailCurve& c, double t) {
    const double u = 1 - t;
    D3 out;
    double* o[3] = {&out.x, &out.y, &out.z};
    for (int k = 0; k < 3; ++k)
        *o[k] = 3 * u * u * (c.p[1][k] - c.p[0][k]) + 6 * u * t * (c.p[2][k] - c.p[1][k]) +
                3 * t * t * (c.p[3][k] - c.p[2][k]);
    return out;
}

// The tangent at t; where the curve stops (a control point on its vertex) the
// direction it leaves in, taken a hair inside.
D3 CurveTangent(const RailCurve& c, double t) {
    const D3 d = CurveD1(c, t);
    if (Dot(d, d) > 0) return Unit(d);
    return Unit(CurveD1(c, t < 0.5 ? t + kVerticalNudge : t - kVerticalNudge));
}

// The zero-roll down vector of a tangent: perpendicular to it, in its plane
// with world up, pointing down. Zero where the tangent is vertical.
D3 ZeroRollDown(D3 tangent) {
    const D3 g{0, -1, 0};
    if (std::hypot(tangent.x, tangent.z) < kVerticalLimit) return {};
    return Unit(Cross(tangent, Unit(Cross(g, tangent))));
}

// The zero-roll down vector at t of a curve, taken a hair inside where the tangent is vertical.
D3 ZeroRollDownAt(const RailCurve& c, double t) {
    const D3 z = ZeroRollDown(CurveTangent(c, t));
    if (Dot(z, z) > 0) return z;
    return ZeroRollDown(CurveTangent(c, t < 0.5 ? t + kVerticalNudge : t - kVerticalNudge));
}

// Down vector `angle` about the tangent from reference `r` (the track file's roll convention).
D3 Turn(D3 r, D3 tangent, double angle) {
    return Unit(std::cos(angle) * r - std::sin(angle) * Unit(Cross(tangent, r)));
}

// Signed angle about the tangent from reference `r` to `d`.
double AngleFrom(D3 r, D3 tangent, D3 d) { return std::atan2(-Dot(d, Cross(tangent, r)), Dot(d, r)); }

// Carries `down` from (x0, t0) to (x1, t1) by the double reflection: the
// first across the chord, the second onto the new tangent. Without a chord
// (a kink at a vertex, or a point within rounding of the last one, whose
// chord points anywhere) it turns with the tangent the least way: reflections
// across t0 and across t0 + t1, which a lone second reflection is not.
D3 Carry(D3 down, D3 x0, D3 t0, D3 x1, D3 t1) {
    constexpr double kShortestChord = 1e-6;  // metres; rounding of park coordinates is far below
    const D3 v1 = x1 - x0;
    const double c1 = Dot(v1, v1);
    D3 r = down;
    if (c1 > kShortestChord * kShortestChord) {
        r = r - (2 / c1) * Dot(v1, r) * v1;
        const D3 tl = t0 - (2 / c1) * Dot(v1, t0) * v1;
        const D3 v2 = t1 - tl;
        const double c2 = Dot(v2, v2);
        if (c2 > 0) r = r - (2 / c2) * Dot(v2, r) * v2;
    } else {
        const double c = Dot(t0, t1);
        if (c > -1 + 1e-12) r = r - (Dot(r, t1) / (1 + c)) * (t0 + t1);
    }
    // Keep it exactly perpendicular and unit against rounding; the carried vector never degenerates.
    const D3 p = Unit(r - Dot(r, t1) * t1);
    return Dot(p, p) > 0 ? p : Unit(down - Dot(down, t1) * t1);
}

// How far the tangent can turn over the curve: the turn of its control polygon.
double PolygonTurn(const RailCurve& c) {
    double turn = 0;
    D3 prev{};
    for (int k = 0; k < 3; ++k) {
        const D3 leg = Unit(Load(c.p[k + 1]) - Load(c.p[k]));
        if (Dot(leg, leg) == 0) continue;
        if (Dot(prev, prev) > 0) turn += std::acos(std::clamp(Dot(prev, leg), -1.0, 1.0));
        prev = leg;
    }
    return turn;
}

// The carried frame along one curve from `start_down`, and the rails length.
void Transport(RailCurve& c, D3 start_down) {
    const int steps = static_cast<int>(
        std::clamp(std::ceil(PolygonTurn(c) / kTransportTurn), double(kMinTransportSteps), double(kMaxTransportSteps)));
    CurveTwist& tw = c.twist;
    tw.nodes.resize(static_cast<std::size_t>(steps) + 1);
    double length = 0, prev_speed = 0;
    D3 down = start_down;
    for (int k = 0; k <= steps; ++k) {
        const double t = static_cast<double>(k) / steps;
        const D3 x = CurvePoint(c, t);
        const D3 tg = CurveTangent(c, t);
        const double speed = std::sqrt(Dot(CurveD1(c, t), CurveD1(c, t)));
        if (k == 0) {
            down = Unit(down - Dot(down, tg) * tg);
        } else {
            const TransportNode& q = tw.nodes[static_cast<std::size_t>(k) - 1];
            down = Carry(down, Load(q.point), Load(q.tangent), x, tg);
            length += (prev_speed + speed) / (2 * steps);
        }
        prev_speed = speed;
        TransportNode& n = tw.nodes[static_cast<std::size_t>(k)];
        Store(x, n.point);
        Store(tg, n.tangent);
        Store(down, n.down);
    }
    tw.length = length;
}

// The rails' point `b` and first derivative `b1` at t, each with two
// derivatives along t, in double from the curve's control points.
void CurveJets(const RailCurve& curve, double t, JetVec& b, JetVec& b1, double (&rails)[3]) {
    const double u = 1 - t;
    Jet* bc[3] = {&b.x, &b.y, &b.z};
    Jet* b1c[3] = {&b1.x, &b1.y, &b1.z};
    for (int k = 0; k < 3; ++k) {
        const double p0 = curve.p[0][k], p1 = curve.p[1][k], p2 = curve.p[2][k], p3 = curve.p[3][k];
        const double pos = u * u * u * p0 + 3 * t * u * u * p1 + 3 * t * t * u * p2 + t * t * t * p3;
        const double d1 = 3 * u * u * (p1 - p0) + 6 * u * t * (p2 - p1) + 3 * t * t * (p3 - p2);
        const double d2 = 6 * u * (p2 - 2 * p1 + p0) + 6 * t * (p3 - 2 * p2 + p1);
        const double d3 = 6 * (p3 - 3 * p2 + 3 * p1 - p0);
        *bc[k] = {pos, d1, d2};
        *b1c[k] = {d1, d2, d3};
        rails[k] = pos;
    }
}

RailPoint EvaluateDesigner(const RailCurve& curve, double heartline, double t) {
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

    JetVec b, b1;
    RailPoint out;
    CurveJets(curve, t, b, b1, out.rails);

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

RailPoint EvaluateSimulator(const RailCurve& curve, double heartline, double t) {
    const CurveTwist& tw = curve.twist;
    const double t_frame = t;
    // Where the curve stops (a control point on its vertex) the direction it leaves in.
    {
        const D3 d = CurveD1(curve, t);
        if (Dot(d, d) == 0) t = t < 0.5 ? t + kVerticalNudge : t - kVerticalNudge;
    }
    JetVec b, b1;
    RailPoint out;
    CurveJets(curve, t, b, b1, out.rails);
    const JetVec tangent = Unit(b1);
    const D3 tg{tangent.x.v, tangent.y.v, tangent.z.v};
    const D3 tg1{tangent.x.d, tangent.y.d, tangent.z.d};
    const D3 tg2{tangent.x.dd, tangent.y.dd, tangent.z.dd};

    // The carried down vector: one double reflection from the grid node before t.
    const int steps = static_cast<int>(tw.nodes.size()) - 1;
    const int k = std::clamp(static_cast<int>(t_frame * steps), 0, steps - 1);
    const TransportNode& n = tw.nodes[static_cast<std::size_t>(k)];
    const D3 p = Carry(Load(n.down), Load(n.point), Load(n.tangent), {b.x.v, b.y.v, b.z.v}, tg);
    // dP/dt = -(P.T') T, and its derivative (P' is along T, so P'.T' = 0).
    const double pt1 = Dot(p, tg1);
    const D3 p1 = -pt1 * tg;
    const D3 p2 = -Dot(p, tg2) * tg - pt1 * tg1;
    const JetVec carried{{p.x, p1.x, p2.x}, {p.y, p1.y, p2.y}, {p.z, p1.z, p2.z}};
    const JetVec across = Cross(tangent, carried);

    const Jet twist = tw.At(t_frame);
    Jet sine, cosine;
    SinCos(twist, sine, cosine);
    const JetVec down = cosine * carried - sine * across;
    out.heart = b - heartline * down;

    const D3 dn{down.x.v, down.y.v, down.z.v};
    const D3 left = Cross(tg, dn);
    Store(tg, out.tangent);
    Store(dn, out.down);
    Store(left, out.left);
    // The bank against world up for show; the frame's turn rate is the twist's.
    D3 zero = ZeroRollDown(tg);
    if (Dot(zero, zero) == 0) zero = ZeroRollDownAt(curve, t);
    out.roll = {AngleFrom(zero, tg, dn), twist.d, twist.dd};
    return out;
}

}  // namespace

Jet RollAt(const CurveRoll& c, double u_value) {
    const Jet u{u_value, 1, 0};
    const Jet one_minus_u = (-1.0 * u) + 1.0;
    const double start = c.start_smooth ? 2.0 : 0.0;
    const double end = c.end_smooth ? -2.0 : 0.0;
    Jet r = Jet{c.roll_prev, 0, 0} + (c.d1 / 2) * ((-1.0 * Cos(kLiteralPi * u)) + 1.0) +
            (start * c.s_in / 27) * Sin(kLiteralPi * (one_minus_u * one_minus_u)) +
            (end * c.s_out / 27) * Sin(kLiteralPi * (u * u));
    // The solver wraps once; only the value moves, the rate stays.
    r.v = WrapAngle(r.v);
    return r;
}

const char* ReadingName(RollReading reading) {
    return reading == RollReading::kSimulator ? "simulator" : "designer";
}

std::optional<RollReading> ParseReading(std::string_view name) {
    if (name == "simulator") return RollReading::kSimulator;
    if (name == "designer") return RollReading::kDesigner;
    return std::nullopt;
}

Jet CurveTwist::At(double t) const {
    // Rate c + b t + a t^2 with the end rates given and the change as its integral.
    const double c = start_rate;
    const double b = 6 * change - 4 * start_rate - 2 * end_rate;
    const double a = 3 * start_rate + 3 * end_rate - 6 * change;
    return {t * (c + t * (b / 2 + t * a / 3)), c + t * (b + t * a), b + 2 * a * t};
}

std::vector<RailCurve> PrepareRails(std::span<const BezierVertex> vertices, RollReading reading, bool closed) {
    std::vector<RailCurve> rails;
    if (vertices.size() < 2) return rails;
    closed = closed && reading == RollReading::kSimulator;
    const std::size_t n = vertices.size();
    RollWalk walk(vertices);
    rails.resize(closed ? n : n - 1);
    for (std::size_t i = 0; i < rails.size(); ++i) {
        RailCurve& c = rails[i];
        const BezierVertex& to = vertices[(i + 1) % n];
        const Vector3* pts[4] = {&vertices[i].position, &vertices[i].control_next, &to.control_prev, &to.position};
        for (int k = 0; k < 4; ++k) {
            c.p[k][0] = pts[k]->x;
            c.p[k][1] = pts[k]->y;
            c.p[k][2] = pts[k]->z;
        }
        c.reading = reading;
        // The closing curve is read only through its twist.
        if (i + 1 < n) {
            c.roll = walk.BeginCurve(static_cast<int>(i));
            walk.EndCurve();
        }
    }
    if (reading == RollReading::kDesigner) return rails;

    // Carry the frame curve by curve: each starts from its start vertex's down vector.
    D3 vertex_down = Turn(ZeroRollDownAt(rails[0], 0), CurveTangent(rails[0], 0), vertices[0].roll);
    D3 vertex_tangent = CurveTangent(rails[0], 0);
    for (std::size_t i = 0; i < rails.size(); ++i) {
        RailCurve& c = rails[i];
        // A kink at the vertex turns the frame with the tangent, the least way.
        const D3 tg0 = CurveTangent(c, 0);
        D3 start = Carry(vertex_down, {}, vertex_tangent, {}, tg0);
        // After a curve without direction (all four points on one spot) nothing
        // was carried: start afresh from this vertex's own roll.
        if (Dot(start, start) == 0) start = Turn(ZeroRollDownAt(c, 0), tg0, vertices[i].roll);
        Transport(c, start);
        const TransportNode& end = c.twist.nodes.back();
        const D3 tg1 = Load(end.tangent), carried = Load(end.down);
        // The closing curve reaches the first vertex's own roll again, whatever its relative flag.
        const bool closing = i + 1 == n;
        const BezierVertex& v = vertices[(i + 1) % n];
        if (v.relative_roll && !closing) {
            c.twist.change = v.roll;
        } else {
            const D3 wanted = Turn(ZeroRollDownAt(c, 1), tg1, v.roll);
            c.twist.change = AngleFrom(carried, tg1, wanted);
            if (c.twist.change <= -kLiteralPi) c.twist.change = -c.twist.change;  // (-pi, pi]
        }
        vertex_down = Turn(carried, tg1, c.twist.change);
        vertex_tangent = tg1;
    }
    // Rates through the vertices: continuous where the vertex asks for it, else 0.
    // On a closed circuit the first vertex joins the closing curve to the first curve.
    auto join = [&rails](std::size_t a_index, std::size_t b_index, bool continuous) {
        CurveTwist& a = rails[a_index].twist;
        CurveTwist& b = rails[b_index].twist;
        const double lengths = a.length + b.length;
        if (continuous && lengths > 0) a.end_rate = (a.length * a.change + b.length * b.change) / lengths;
        b.start_rate = a.end_rate;
    };
    for (std::size_t i = 0; i + 1 < rails.size(); ++i) join(i, i + 1, vertices[i + 1].roll_flag);
    if (closed) join(rails.size() - 1, 0, vertices[0].roll_flag);
    return rails;
}

double RollSwing(const RailCurve& c) {
    constexpr double kHalfTurn = kLiteralPi;
    if (c.reading == RollReading::kDesigner)
        return kHalfTurn + std::abs(c.roll.d1) + std::abs(c.roll.s_in) + std::abs(c.roll.s_out);
    return kHalfTurn + std::abs(c.twist.change) + std::abs(c.twist.start_rate) + std::abs(c.twist.end_rate);
}

RailPoint EvaluateRail(const RailCurve& curve, double heartline, double t) {
    return curve.reading == RollReading::kSimulator ? EvaluateSimulator(curve, heartline, t)
                                                    : EvaluateDesigner(curve, heartline, t);
}

}  // namespace torvix::railframe
