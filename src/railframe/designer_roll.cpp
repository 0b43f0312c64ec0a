#include "railframe/designer_roll.h"

#include <cmath>

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::railframe {

double WrapAngle(double x) {
    if (x > kLiteralPi) return x - kLiteralTwoPi;
    if (x < -kLiteralPi) return x + kLiteralTwoPi;
    return x;
}

RollWalk::RollWalk(std::span<const BezierVertex> vertices)
    : vertices_(vertices), roll_prev_(vertices.empty() ? 0.0 : double(vertices[0].roll)) {}

const CurveRoll& RollWalk::BeginCurve(int i) {
    const int count = static_cast<int>(vertices_.size());
    a_ = i + 1;
    // The last curve looks past its end to the first vertex.
    const int b = a_ + 1 == count ? 0 : a_ + 1;
    const BezierVertex& va = vertices_[a_];
    const BezierVertex& vb = vertices_[b];

    double roll_a = va.roll;
    if (va.relative_roll) roll_a = roll_a + roll_prev_;
    double roll_b = vb.roll;
    if (vb.relative_roll) roll_b = roll_b + roll_a;
    const double d1 = WrapAngle(roll_a - roll_prev_);
    const double d2 = WrapAngle(roll_b - roll_a);

    curve_.roll_prev = roll_prev_;
    curve_.d1 = d1;
    curve_.s_in = d1 + d_prev_;
    curve_.s_out = d1 + d2;
    curve_.start_smooth = vertices_[i].roll_flag;
    curve_.end_smooth = va.roll_flag;
    d_prev_ = d1;
    roll_a_ = roll_a;
    return curve_;
}

void RollWalk::EndCurve() {
    const BezierVertex& va = vertices_[a_];
    // A relative roll hands on its wrapped absolute value, an absolute one the stored value.
    roll_prev_ = va.relative_roll ? WrapAngle(roll_a_) : double(va.roll);
}

double DesignerRoll(const CurveRoll& c, double u) {
    const double start = c.start_smooth ? 2.0 : 0.0;
    const double end = c.end_smooth ? -2.0 : 0.0;
    const double r = c.roll_prev + c.d1 * (2 - (std::cos(kLiteralPi * u) + 1)) / 2 +
                     start * std::sin(kLiteralPi * ((1 - u) * (1 - u))) * c.s_in / 27 +
                     end * std::sin(kLiteralPi * (u * u)) * c.s_out / 27;
    return WrapAngle(r);
}

}  // namespace torvix::railframe
