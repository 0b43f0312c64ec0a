#include "railframe/rail_frame.h"

#include <algorithm>
#include <cmath>

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::railframe {

namespace {

JetVec Constant(double x, double y, double z) { return {{x, 0, 0}, {y, 0, 0}, {z, 0, 0}}; }

DVec3 Value(const JetVec& v) { return {v.x.v, v.y.v, v.z.v}; }

// The rails' point `b` and first derivative `b1` at t, each with two
// derivatives along t.
void CurveJets(const CubicBezier& c, double t, JetVec& b, JetVec& b1) {
    const DVec3 pos = c.Point(t), d1 = c.D1(t), d2 = c.D2(t), d3 = c.D3();
    b = {{pos.x, d1.x, d2.x}, {pos.y, d1.y, d2.y}, {pos.z, d1.z, d2.z}};
    b1 = {{d1.x, d2.x, d3.x}, {d1.y, d2.y, d3.y}, {d1.z, d2.z, d3.z}};
}

// Where the tangent at t is vertical (or the curve stops), a hair inside the curve.
double AwayFromVertical(const CubicBezier& c, double t) {
    const DVec3 d = c.D1(t);
    const double len = Norm(d);
    const double horizontal = len == 0 ? 0.0 : std::sqrt(d.x * d.x + d.z * d.z) / len;
    return horizontal < kVerticalLimit ? (t < 0.5 ? t + kVerticalNudge : t - kVerticalNudge) : t;
}

RailPoint EvaluateDesigner(const RailCurve& curve, double heartline, double t) {
    // The frame is undefined where the tangent is exactly vertical.
    t = AwayFromVertical(curve.bezier, t);
    JetVec b, b1;
    CurveJets(curve.bezier, t, b, b1);
    RailPoint out;
    out.rails = Value(b);

    const JetVec g = Constant(0, -1, 0);
    const JetVec tangent = Unit(b1);
    const JetVec zero_roll_down = Unit(Cross(tangent, Unit(Cross(g, tangent))));
    const JetVec x = Unit(Cross(tangent, zero_roll_down));
    out.roll = RollAt(curve.roll, t);
    Jet sine, cosine;
    SinCos(out.roll, sine, cosine);
    const JetVec down = Unit((-1.0 * sine) * x + cosine * zero_roll_down);
    out.heart = b - heartline * down;
    out.tangent = Value(tangent);
    out.down = Value(down);
    out.left = Value(Cross(tangent, down));
    return out;
}

RailPoint EvaluateSimulator(const RailCurve& curve, double heartline, double t) {
    const CurveTwist& tw = curve.twist;
    const double t_frame = t;
    // Where the curve stops (a control point on its vertex) the direction it leaves in.
    t = InsideStop(curve.bezier, t);
    JetVec b, b1;
    CurveJets(curve.bezier, t, b, b1);
    RailPoint out;
    out.rails = Value(b);
    const JetVec tangent = Unit(b1);
    const DVec3 tg = Value(tangent);
    const DVec3 tg1{tangent.x.d, tangent.y.d, tangent.z.d};
    const DVec3 tg2{tangent.x.dd, tangent.y.dd, tangent.z.dd};

    const DVec3 p = curve.carried.At(t_frame, out.rails, tg);
    // dP/dt = -(P.T') T, and its derivative (P' is along T, so P'.T' = 0).
    const double pt1 = Dot(p, tg1);
    const DVec3 p1 = -pt1 * tg;
    const DVec3 p2 = -Dot(p, tg2) * tg - pt1 * tg1;
    const JetVec carried{{p.x, p1.x, p2.x}, {p.y, p1.y, p2.y}, {p.z, p1.z, p2.z}};
    const JetVec across = Cross(tangent, carried);

    Jet twist = tw.At(t_frame);
    twist.v += tw.start;
    Jet sine, cosine;
    SinCos(twist, sine, cosine);
    const JetVec down = cosine * carried - sine * across;
    out.heart = b - heartline * down;

    out.tangent = tg;
    out.down = Value(down);
    out.left = Cross(tg, out.down);
    // The bank against world up for show; the frame's turn rate is the twist's.
    DVec3 zero = ZeroRollDown(tg);
    if (Dot(zero, zero) == 0) zero = ZeroRollDownAt(curve.bezier, t);
    out.roll = {AngleAbout(zero, tg, out.down), twist.d, twist.dd};
    return out;
}

// The curves of the vertices in ride order, with the designer's roll walked along them.
std::vector<RailCurve> CurvesOf(std::span<const BezierVertex> vertices, RollReading reading, bool closed) {
    const std::size_t n = vertices.size();
    RollWalk walk(vertices);
    std::vector<RailCurve> rails(closed ? n : n - 1);
    for (std::size_t i = 0; i < rails.size(); ++i) {
        RailCurve& c = rails[i];
        c.bezier = CurveBetween(vertices[i], vertices[(i + 1) % n]);
        c.reading = reading;
        // The closing curve is read only through its twist.
        if (i + 1 < n) {
            c.roll = walk.BeginCurve(static_cast<int>(i));
            walk.EndCurve();
        }
    }
    return rails;
}

// The twist each curve lays on the carried frame: from the twist its start
// vertex has to the one its end vertex asks for.
void SetTwists(std::vector<RailCurve>& rails, std::span<const BezierVertex> vertices,
               const std::vector<CarriedCurve>& carried) {
    const std::size_t n = vertices.size();
    double twist = 0;
    for (std::size_t i = 0; i < rails.size(); ++i) {
        RailCurve& c = rails[i];
        // The first vertex's roll, and where nothing was carried into a curve its own, start afresh.
        if (carried[i].restarted || i == 0) twist = vertices[i].roll;
        c.twist.start = twist;
        const TransportNode& end = c.carried.nodes.back();
        // The closing curve reaches the first vertex's own roll again, whatever its relative flag.
        const bool closing = i + 1 == n;
        const BezierVertex& v = vertices[(i + 1) % n];
        if (v.relative_roll && !closing) {
            c.twist.change = v.roll;
        } else {
            const DVec3 arrives = TurnAbout(end.down, end.tangent, twist);
            const DVec3 wanted = TurnAbout(ZeroRollDownAt(c.bezier, 1), end.tangent, v.roll);
            c.twist.change = AngleAbout(arrives, end.tangent, wanted);
            if (c.twist.change <= -kLiteralPi) c.twist.change = -c.twist.change;  // (-pi, pi]
        }
        twist += c.twist.change;
    }
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
    const TwistWeights w = TwistBasis(t);
    return start_rate * w.start_rate + end_rate * w.end_rate + change * w.change;
}

CubicBezier CurveBetween(const BezierVertex& from, const BezierVertex& to) {
    return {{ToDVec3(from.position), ToDVec3(from.control_next), ToDVec3(to.control_prev), ToDVec3(to.position)}};
}

std::vector<RailCurve> PrepareRails(std::span<const BezierVertex> vertices, RollReading reading, bool closed) {
    if (vertices.size() < 2) return {};
    closed = closed && reading == RollReading::kSimulator;
    std::vector<RailCurve> rails = CurvesOf(vertices, reading, closed);
    if (reading == RollReading::kDesigner) return rails;

    std::vector<CubicBezier> curves;
    for (const RailCurve& c : rails) curves.push_back(c.bezier);
    std::vector<CarriedCurve> carried = CarryAlongCurves(curves);
    for (std::size_t i = 0; i < rails.size(); ++i) rails[i].carried = std::move(carried[i].frame);
    SetTwists(rails, vertices, carried);
    // Rates through the vertices: continuous where the vertex asks for it, else 0.
    // On a closed circuit the first vertex joins the closing curve to the first curve.
    auto join = [&rails](std::size_t a_index, std::size_t b_index, bool continuous) {
        RailCurve& a = rails[a_index];
        RailCurve& b = rails[b_index];
        if (continuous) {
            const RateShares shares = VertexRateShares(a.carried.length, b.carried.length);
            a.twist.end_rate = shares.before * a.twist.change + shares.after * b.twist.change;
        }
        b.twist.start_rate = a.twist.end_rate;
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
