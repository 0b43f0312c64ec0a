#include "nl2/element_track.h"

#include <algorithm>
#include <cmath>

#include "geometry/constants.h"
#include "railframe/carried_frame.h"

using namespace torvix::geometry;

namespace torvix::nl2 {

namespace {

constexpr int kTableSteps = 64;
constexpr double kNodesPerMetre = 4;
constexpr int kMaxNodeSteps = 1024;
constexpr double kNodeSkip = 1.0 / (1 << 22);
constexpr double kStrictGap = 1.0 / 512;
constexpr double kMaxLength = 1e5;

DVec3 Vertex(const ElementVertex& v) { return {v.x, v.y, v.z}; }

// v turned by `angle` about unit axis k (right hand).
DVec3 Rotate(DVec3 v, DVec3 k, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    return c * v + s * Cross(k, v) + ((1 - c) * Dot(k, v)) * k;
}

double Wrap(double a) {
    a = std::remainder(a, 2 * kPi);
    return a <= -kPi ? a + 2 * kPi : a;
}

CurvePiece Cubic(DVec3 a, DVec3 b, DVec3 c, DVec3 d) { return {{a, b, c, d}}; }

DVec3 TangentOf(const CurvePiece& c, double t) {
    DVec3 d = c.D1(t);
    // A control point on its end: the direction the piece leaves in.
    if (Dot(d, d) == 0) d = c.D1(t < 0.5 ? t + 1e-7 : t - 1e-7);
    if (Dot(d, d) == 0) d = c.p[3] - c.p[0];
    return Unit(d);
}

// The pieces of a clamped uniform cubic B-spline over `points` (k + 1 >= 5 of them), as Bezier curves.
void AppendBSpline(const std::vector<DVec3>& points, std::vector<CurvePiece>& out) {
    const int k = static_cast<int>(points.size()) - 1;
    std::vector<double> knots(static_cast<std::size_t>(k) + 5);
    for (int i = 0; i < k + 5; ++i) knots[i] = std::clamp(i - 3, 0, k - 2);
    // The blossom f(u1, u2, u3) on the span [knots[l], knots[l + 1]], by de Boor's scheme.
    auto blossom = [&](int l, double u1, double u2, double u3) {
        DVec3 d[4];
        for (int i = 0; i < 4; ++i) d[i] = points[static_cast<std::size_t>(l - 3 + i)];
        const double u[3] = {u1, u2, u3};
        for (int r = 1; r <= 3; ++r) {
            for (int i = l; i >= l - 3 + r; --i) {
                const double lo = knots[i], hi = knots[i + 4 - r];
                const double alpha = (u[r - 1] - lo) / (hi - lo);
                d[i - (l - 3)] = (1 - alpha) * d[i - 1 - (l - 3)] + alpha * d[i - (l - 3)];
            }
        }
        return d[3];
    };
    for (int j = 0; j <= k - 3; ++j) {
        const int l = j + 3;
        const double a = j, b = j + 1;
        out.push_back(Cubic(blossom(l, a, a, a), blossom(l, a, a, b), blossom(l, a, b, b), blossom(l, b, b, b)));
    }
}

// A clamped cubic spline through (x, y) with zero slope at both ends: its second derivatives.
std::vector<double> ClampedSpline(const std::vector<double>& x, const std::vector<double>& y) {
    const std::size_t n = x.size();
    std::vector<double> m(n, 0.0);
    if (n < 2) return m;
    std::vector<double> a(n), b(n), c(n), r(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (i == 0) {
            const double h = x[1] - x[0];
            a[i] = 0, b[i] = h / 3, c[i] = h / 6, r[i] = (y[1] - y[0]) / h;
        } else if (i + 1 == n) {
            const double h = x[i] - x[i - 1];
            a[i] = h / 6, b[i] = h / 3, c[i] = 0, r[i] = -(y[i] - y[i - 1]) / h;
        } else {
            const double h0 = x[i] - x[i - 1], h1 = x[i + 1] - x[i];
            a[i] = h0 / 6, b[i] = (h0 + h1) / 3, c[i] = h1 / 6;
            r[i] = (y[i + 1] - y[i]) / h1 - (y[i] - y[i - 1]) / h0;
        }
    }
    for (std::size_t i = 1; i < n; ++i) {
        const double w = a[i] / b[i - 1];
        b[i] -= w * c[i - 1];
        r[i] -= w * r[i - 1];
    }
    m[n - 1] = r[n - 1] / b[n - 1];
    for (std::size_t i = n - 1; i-- > 0;) m[i] = (r[i] - c[i] * m[i + 1]) / b[i];
    return m;
}

}  // namespace

std::vector<CurvePiece> BuildPieces(const std::vector<ElementVertex>& vertices) {
    std::vector<CurvePiece> out;
    const std::size_t n = vertices.size();
    if (n < 2) return out;
    std::vector<std::size_t> breaks;
    for (std::size_t i = 0; i < n; ++i)
        if (i == 0 || i + 1 == n || vertices[i].strict) breaks.push_back(i);
    for (std::size_t bi = 0; bi + 1 < breaks.size();) {
        const std::size_t a = breaks[bi];
        // Consecutive strict vertices: one straight to the last of them.
        std::size_t bj = bi + 1;
        while (bj + 1 < breaks.size() && breaks[bj + 1] == breaks[bj] + 1 && breaks[bj] == breaks[bj - 1] + 1) ++bj;
        const std::size_t b = breaks[bj];
        const DVec3 pa = Vertex(vertices[a]), pb = Vertex(vertices[b]);
        const std::size_t k = b - a;
        if (k == 1 || bj > bi + 1) {
            out.push_back(Cubic(pa, pa + (1.0 / 3) * (pb - pa), pa + (2.0 / 3) * (pb - pa), pb));
        } else if (k == 2) {
            const DVec3 q = Vertex(vertices[a + 1]);
            out.push_back(Cubic(pa, pa + (2.0 / 3) * (q - pa), pb + (2.0 / 3) * (q - pb), pb));
        } else if (k == 3) {
            out.push_back(Cubic(pa, Vertex(vertices[a + 1]), Vertex(vertices[a + 2]), pb));
        } else {
            std::vector<DVec3> points;
            for (std::size_t i = a; i <= b; ++i) points.push_back(Vertex(vertices[i]));
            AppendBSpline(points, out);
        }
        bi = bj;
    }
    return out;
}

base::Result<ElementTrack> ElementTrack::Build(const Element& element) {
    ElementTrack track;
    if (base::Status built = track.Assign(element); !built) return built;
    return track;
}

base::Status ElementTrack::Assign(const Element& element) {
    ElementTrack& track = *this;
    track.pieces_ = BuildPieces(element.vertices);
    // Piece lengths from 64 chords each.
    const std::size_t count = track.pieces_.size();
    // Room to grow: the export draws the curve again with more pieces.
    if (track.tables_.capacity() < count * (kTableSteps + 1)) track.tables_.reserve(count * (kTableSteps + 1) * 5 / 4);
    track.tables_.assign(count * (kTableSteps + 1), 0.0);
    track.piece_start_.resize(count);
    double s = 0;
    std::size_t steps_in_all = 0;
    for (std::size_t c = 0; c < count; ++c) {
        double* table = &track.tables_[c * (kTableSteps + 1)];
        DVec3 prev = track.pieces_[c].Point(0);
        for (int k = 1; k <= kTableSteps; ++k) {
            const DVec3 p = track.pieces_[c].Point(static_cast<double>(k) / kTableSteps);
            table[k] = table[k - 1] + Norm(p - prev);
            prev = p;
        }
        if (!std::isfinite(table[kTableSteps])) {
            return base::Status::Fail("the element's curve has a coordinate that is not a finite number");
        }
        track.piece_start_[c] = s;
        s += table[kTableSteps];
        steps_in_all += static_cast<std::size_t>(
            std::clamp(static_cast<int>(std::lround(kNodesPerMetre * table[kTableSteps])), 1, kMaxNodeSteps)) + 1;
    }
    track.length_ = s;
    // As for track files: no park comes near, and it bounds the nodes below.
    if (s > kMaxLength) {
        return base::Status::Fail("the element's curve is longer than 100 km");
    }
    // Nodes about 4 per metre at equal arc length within each piece.
    track.nodes_.clear();
    if (track.nodes_.capacity() < steps_in_all) track.nodes_.reserve(steps_in_all * 9 / 8);
    for (std::size_t c = 0; c < count; ++c) {
        const double* table = &track.tables_[c * (kTableSteps + 1)];
        const double len = table[kTableSteps];
        const int steps = std::clamp(static_cast<int>(std::lround(kNodesPerMetre * len)), 1, kMaxNodeSteps);
        std::size_t cell = 0;
        for (int j = 0; j <= steps; ++j) {
            const double target = len * j / steps;
            while (cell + 1 < kTableSteps && table[cell + 1] < target) ++cell;
            const double span = table[cell + 1] - table[cell];
            const double f = span > 0 ? std::clamp((target - table[cell]) / span, 0.0, 1.0) : 0.0;
            const DVec3 p = track.pieces_[c].Point((static_cast<double>(cell) + f) / kTableSteps);
            if (!track.nodes_.empty() && Norm(p - track.nodes_.back().point) < kNodeSkip) continue;
            Node node;
            node.s = track.piece_start_[c] + target;
            node.point = p;
            track.nodes_.push_back(node);
        }
    }
    if (track.nodes_.size() < 2 || !(s > 0)) {
        return base::Status::Fail("the element's curve has no length");
    }
    // Node tangents from the neighbours, and the frame carried from node to node.
    auto& nodes = track.nodes_;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const DVec3 ahead = nodes[std::min(i + 1, nodes.size() - 1)].point;
        const DVec3 behind = nodes[i == 0 ? 0 : i - 1].point;
        nodes[i].tangent = Unit(ahead - behind);
    }
    {
        const DVec3 f = nodes[0].tangent;
        DVec3 left = Unit(Cross({0, 1, 0}, f));
        if (Dot(left, left) == 0) left = Unit(Cross({0, 0, 1}, f));
        nodes[0].up = Cross(f, left);
    }
    // (A reversal has no least turn; NoLimits 2 has none either and keeps the frame.)
    for (std::size_t i = 1; i < nodes.size(); ++i)
        nodes[i].up = railframe::TurnWithTangent(nodes[i - 1].up, nodes[i - 1].tangent, nodes[i].tangent);

    return track.SetRolls(element.rolls);
}

base::Status ElementTrack::SetRolls(const std::vector<RollPoint>& rolls) {
    ElementTrack& track = *this;
    track.knot_s_.clear();
    track.knot_theta_.clear();
    // Roll points: the turn from the carried frame to each one's bank, unwrapped,
    // then spread by a spline in arc length.
    double prev_theta = 0;
    for (std::size_t k = 0; k < rolls.size(); ++k) {
        const RollPoint& r = rolls[k];
        const DVec3 up = r.up, right = r.right;
        if (Dot(up, up) == 0 || Dot(right, right) == 0) {
            return base::Status::Fail("roll point " + std::to_string(k) + " has a zero vector");
        }
        double at = std::clamp(r.coord, 0.0, 1.0) * track.length_;
        const bool last = k + 1 == rolls.size();
        if (!track.knot_s_.empty() && at - track.knot_s_.back() < kRollPointMinSpacing) {
            // The end's roll is always kept; the one before it gives way.
            if (!last || track.knot_s_.size() < 2) continue;
            track.knot_s_.pop_back();
            track.knot_theta_.pop_back();
            prev_theta = track.knot_theta_.back();
        }
        const auto [piece, t] = track.Locate(at);
        const Frame carried = track.CarriedAt(piece, t);
        const double bank = std::atan2(right.y, up.y);
        const double own = std::atan2(carried.left.y, carried.up.y);
        double theta = Wrap(bank + own);
        if (!track.knot_s_.empty()) theta = prev_theta + Wrap(theta - prev_theta);
        if (!track.knot_s_.empty() && at <= track.knot_s_.back()) at = track.knot_s_.back() + kStrictGap;
        track.knot_s_.push_back(at);
        track.knot_theta_.push_back(theta);
        if (r.strict) {
            track.knot_s_.push_back(at + kStrictGap);
            track.knot_theta_.push_back(theta);
        }
        prev_theta = theta;
    }
    track.knot_m_ = ClampedSpline(track.knot_s_, track.knot_theta_);
    return base::Status::Ok();
}

double ElementTrack::LengthEstimate(std::size_t piece) const {
    const CurvePiece& c = pieces_[piece];
    double sum = 0;
    for (int k = 0; k < 3; ++k) sum += Norm(c.p[k + 1] - c.p[k]);
    return sum;
}

double ElementTrack::ArcLength(std::size_t piece, double t) const {
    const double* table = &tables_[piece * (kTableSteps + 1)];
    const double x = std::clamp(t, 0.0, 1.0) * kTableSteps;
    const int k = std::min(static_cast<int>(x), kTableSteps - 1);
    return piece_start_[piece] + table[k] + (x - k) * (table[k + 1] - table[k]);
}

std::pair<std::size_t, double> ElementTrack::Locate(double s) const {
    s = std::clamp(s, 0.0, length_);
    const auto it = std::upper_bound(piece_start_.begin(), piece_start_.end(), s);
    const std::size_t piece = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, it - piece_start_.begin() - 1));
    const double* table = &tables_[piece * (kTableSteps + 1)];
    const double local = s - piece_start_[piece];
    const double* cell = std::upper_bound(table, table + kTableSteps + 1, local);
    const int k = std::clamp(static_cast<int>(cell - table) - 1, 0, kTableSteps - 1);
    const double span = table[k + 1] - table[k];
    const double f = span > 0 ? std::clamp((local - table[k]) / span, 0.0, 1.0) : 0.0;
    return {piece, (k + f) / kTableSteps};
}

Frame ElementTrack::CarriedAt(std::size_t piece, double t) const {
    const double s = ArcLength(piece, t);
    const auto it = std::upper_bound(nodes_.begin(), nodes_.end(), s, [](double v, const Node& n) { return v < n.s; });
    const Node& node = nodes_[static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, it - nodes_.begin() - 1))];
    const DVec3 forward = TangentOf(pieces_[piece], t);
    const DVec3 from = node.tangent;
    Frame f;
    f.point = pieces_[piece].Point(t);
    f.forward = forward;
    f.up = railframe::TurnWithTangent(node.up, from, forward);
    f.left = Cross(f.up, forward);
    return f;
}

double ElementTrack::Twist(double s, double* rate) const {
    const std::size_t n = knot_s_.size();
    if (rate) *rate = 0;
    if (n == 0) return 0;
    if (n == 1 || s <= knot_s_.front()) return knot_theta_.front();
    if (s >= knot_s_.back()) return knot_theta_.back();
    const std::size_t i =
        static_cast<std::size_t>(std::upper_bound(knot_s_.begin(), knot_s_.end(), s) - knot_s_.begin()) - 1;
    const double h = knot_s_[i + 1] - knot_s_[i];
    const double a = (knot_s_[i + 1] - s) / h, b = (s - knot_s_[i]) / h;
    const double y0 = knot_theta_[i], y1 = knot_theta_[i + 1], m0 = knot_m_[i], m1 = knot_m_[i + 1];
    if (rate) *rate = (y1 - y0) / h - (3 * a * a - 1) * h * m0 / 6 + (3 * b * b - 1) * h * m1 / 6;
    return a * y0 + b * y1 + ((a * a * a - a) * m0 + (b * b * b - b) * m1) * h * h / 6;
}

Frame ElementTrack::FrameAt(std::size_t piece, double t) const {
    Frame f = CarriedAt(piece, t);
    const DVec3 forward = f.forward;
    // Turned by -theta about forward: the bank grows by theta.
    const double theta = Twist(ArcLength(piece, t));
    f.up = Rotate(f.up, forward, -theta);
    f.left = Rotate(f.left, forward, -theta);
    return f;
}

railframe::RailPoint ElementTrack::At(std::size_t piece, double t) const {
    const CurvePiece& c = pieces_[piece];
    railframe::RailPoint out;
    const DVec3 point = c.Point(t), d1 = c.D1(t), d2 = c.D2(t);
    out.heart = {{point.x, d1.x, d2.x}, {point.y, d1.y, d2.y}, {point.z, d1.z, d2.z}};
    out.rails = point;
    const Frame f = FrameAt(piece, t);
    const DVec3 forward = f.forward, down = -f.up;
    out.tangent = forward;
    out.down = down;
    out.left = f.left;
    // The bank against world up, and the turn riders feel: only the twist's, the carried frame has none.
    DVec3 zero = railframe::ZeroRollDown(forward);
    if (Dot(zero, zero) == 0) zero = railframe::ZeroRollDown(TangentOf(c, t < 0.5 ? t + 1e-6 : t - 1e-6));
    double rate = 0;
    Twist(ArcLength(piece, t), &rate);
    const double speed = Norm(c.D1(t));
    out.roll = {std::atan2(-Dot(down, Cross(forward, zero)), Dot(down, zero)), rate * speed, 0};
    return out;
}

}  // namespace torvix::nl2
