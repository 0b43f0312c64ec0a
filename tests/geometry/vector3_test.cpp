#include "geometry/vector3.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace torvix::geometry;

namespace torvix {
namespace {

const Vector3 kP0{1, 2, 3};
const Vector3 kP1{4, 6, 3};
const Vector3 kP2{9, 1, -2};
const Vector3 kP3{12, 0, 5};

TEST(VectorMath, BasicOperations) {
    EXPECT_EQ(VecCross({1, 0, 0}, {0, 1, 0}), (Vector3{0, 0, 1}));
    EXPECT_EQ(VecCross({0, 1, 0}, {1, 0, 0}), (Vector3{0, 0, -1}));
    EXPECT_EQ(VecSub({5, 5, 5}, {1, 2, 3}), (Vector3{4, 3, 2}));
    EXPECT_EQ(VecDot({1, 2, 3}, {4, -5, 6}), 12.0);
    EXPECT_EQ(VecLength({3, 0, 4}), 5.0);
    EXPECT_EQ(VecDistance({1, 1, 1}, {4, 5, 1}), 5.0);
    // Scalars stay in double; vectors round to float.
    EXPECT_EQ(VecScale({1, 0, 0}, 0.1), (Vector3{0.1f, 0, 0}));
}

TEST(VectorMath, Normalize) {
    EXPECT_EQ(VecNormalize({0, 0, 0}), (Vector3{0, 0, 0}));
    EXPECT_EQ(VecNormalize({3, 0, 4}), (Vector3{0.6f, 0, 0.8f}));
    EXPECT_EQ(VecNormalize({0, -1e-30f, 0}), (Vector3{0, -1, 0}));
}

TEST(VectorMath, RadToDegUsesTheFifteenDigitPi) {
    EXPECT_EQ(RadToDeg(3.14159265358979), 180.0);
    EXPECT_EQ(RadToDeg(0), 0.0);
    EXPECT_GT(RadToDeg(4 * std::atan(1.0)), 180.0);
}

TEST(Bezier, EndValuesAndArgumentOrders) {
    // BezierPoint and BezierTangent take (P0, P1, P3, P2).
    EXPECT_EQ(BezierPoint(kP0, kP1, kP3, kP2, 0.0f), kP0);
    EXPECT_EQ(BezierPoint(kP0, kP1, kP3, kP2, 1.0f), kP3);
    EXPECT_EQ(BezierTangent(kP0, kP1, kP3, kP2, 0.0f), VecSub(kP1, kP0));
    EXPECT_EQ(BezierTangent(kP0, kP1, kP3, kP2, 1.0f), VecSub(kP3, kP2));
    // The others take (P0, P1, P2, P3).
    EXPECT_EQ(BezierDerivative(kP0, kP1, kP2, kP3, 0.0), VecScale(VecSub(kP1, kP0), 3));
    EXPECT_EQ(BezierDerivative(kP0, kP1, kP2, kP3, 1.0), VecScale(VecSub(kP3, kP2), 3));
    EXPECT_EQ(BezierSecondDerivative(kP0, kP1, kP2, kP3, 0.0), (Vector3{6 * (1 - 8 + 9), 6 * (2 - 12 + 1), 6 * (3 - 6 - 2)}));
    EXPECT_EQ(BezierSecondDerivative(kP0, kP1, kP2, kP3, 1.0), (Vector3{6 * (4 - 18 + 12), 6 * (6 - 2 + 0), 6 * (3 + 4 + 5)}));
}

TEST(Bezier, MidpointAndTangentAgreeWithDerivative) {
    // B(1/2) = (P0 + 3P1 + 3P2 + P3) / 8.
    const Vector3 mid = BezierPoint(kP0, kP1, kP3, kP2, 0.5f);
    EXPECT_FLOAT_EQ(mid.x, (1 + 12 + 27 + 12) / 8.0f);
    EXPECT_FLOAT_EQ(mid.y, (2 + 18 + 3 + 0) / 8.0f);
    EXPECT_FLOAT_EQ(mid.z, (3 + 9 - 6 + 5) / 8.0f);
    for (float t : {0.25f, 0.5f, 0.8f}) {
        const Vector3 tan3 = VecScale(BezierTangent(kP0, kP1, kP3, kP2, t), 3);
        const Vector3 der = BezierDerivative(kP0, kP1, kP2, kP3, t);
        EXPECT_NEAR(tan3.x, der.x, 1e-5);
        EXPECT_NEAR(tan3.y, der.y, 1e-5);
        EXPECT_NEAR(tan3.z, der.z, 1e-5);
    }
}

TEST(Bezier, Curvature) {
    const Vector3 a{0, 0, 0}, b{1, 1, 1}, c{2.5f, 2.5f, 2.5f}, d{4, 4, 4};
    for (double t : {0.0, 0.3, 1.0}) EXPECT_EQ(BezierCurvature(a, b, c, d, t), 0.0);

    // Quarter circle of radius R from one cubic: curvature close to 1/R.
    const double r = 25;
    const float k = static_cast<float>(r * 4.0 / 3 * (std::sqrt(2.0) - 1));
    const Vector3 q0{0, 0, 0}, q1{k, 0, 0}, q2{25, 25 - k, 0}, q3{25, 25, 0};
    for (double t : {0.0, 0.25, 0.5, 0.75, 1.0}) EXPECT_NEAR(BezierCurvature(q0, q1, q2, q3, t), 1 / r, 0.04 / r);
}

}  // namespace
}  // namespace torvix
