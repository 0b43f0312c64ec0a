#include "heartline/track_length.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace torvix {
namespace {

// A polyline of straight curves with control points at the chord's thirds.
Track StraightTrack(const std::vector<Vector3>& points) {
    Track t;
    for (std::size_t i = 0; i < points.size(); ++i) {
        BezierVertex v;
        v.position = points[i];
        const Vector3 next = i + 1 < points.size() ? points[i + 1] : points[i];
        const Vector3 prev = i > 0 ? points[i - 1] : points[i];
        v.control_next = VecAdd(points[i], VecScale(VecSub(next, points[i]), 1.0 / 3));
        v.control_prev = VecAdd(points[i], VecScale(VecSub(prev, points[i]), 1.0 / 3));
        t.bezr.vertices.push_back(v);
    }
    t.bezr.vertex_count = static_cast<Long>(points.size());
    return t;
}

TEST(TrackLength, StraightCurve) {
    Track t = StraightTrack({{0, 0, 0}, {0, 0, 0}});
    t.bezr.vertices[0].control_next = {3, 0, 0};
    t.bezr.vertices[1].position = {10, 0, 0};
    t.bezr.vertices[1].control_prev = {7, 0, 0};
    double stored = -5;
    EXPECT_NEAR(TrackLength(t, true, stored), 10.0, 1e-5);
    EXPECT_NEAR(stored, 10.0, 1e-5);
}

TEST(TrackLength, WithoutRecomputeReturnsTheStoredValue) {
    Track t = StraightTrack({{0, 0, 0}, {10, 0, 0}});
    double stored = 123.5;
    EXPECT_EQ(TrackLength(t, false, stored), 123.5);
    EXPECT_EQ(stored, 123.5);
    TrackLength(t, true, stored);
    t.bezr.vertices[1].position = {50, 0, 0};
    EXPECT_NEAR(TrackLength(t, false, stored), 10.0, 1e-5);
}

TEST(TrackLength, CurveShorterThanOneStep) {
    double stored = 0;
    // In the middle: the next curve's first step starts where the last step ended,
    // so the 3 cm rise is spanned by one slanted step (0.05 m instead of 0.07 m).
    const Track middle = StraightTrack({{0, 0, 0}, {0, 0.03f, 0}, {10, 0.03f, 0}});
    EXPECT_NEAR(TrackLength(middle, true, stored), 10.01, 1e-4);
    // At the end it is not counted.
    const Track end = StraightTrack({{0, 0, 0}, {10, 0, 0}, {10, 0.03f, 0}});
    EXPECT_NEAR(TrackLength(end, true, stored), 10.0, 1e-5);
}

TEST(TrackLength, NoCurves) {
    double stored = 7;
    EXPECT_EQ(TrackLength(StraightTrack({{4, 5, 6}}), true, stored), 0.0);
    EXPECT_EQ(stored, 0.0);
    stored = 7;
    EXPECT_EQ(TrackLength(Track{}, true, stored), 0.0);
    // A count larger than the vertices held reads only what is there.
    Track t = StraightTrack({{0, 0, 0}, {2, 0, 0}});
    t.bezr.vertex_count = 9;
    EXPECT_NEAR(TrackLength(t, true, stored), 2.0, 1e-5);
}

TEST(TrackLength, LongCurveDoesNotWrapTheStepCount) {
    // 1500 m needs 37500 steps, beyond a 16-bit count.
    double stored = 0;
    EXPECT_NEAR(TrackLength(StraightTrack({{0, 0, 0}, {1500, 0, 0}}), true, stored), 1500.0, 1e-2);
}

TEST(TrackLength, QuarterCircle) {
    const float k = static_cast<float>(20 * 4.0 / 3 * (std::sqrt(2.0) - 1));
    Track t = StraightTrack({{0, 0, 0}, {20, 0, 20}});
    t.bezr.vertices[0].control_next = {k, 0, 0};
    t.bezr.vertices[1].control_prev = {20, 0, 20 - k};
    double stored = 0;
    EXPECT_NEAR(TrackLength(t, true, stored), 20 * std::acos(-1.0) / 2, 0.02);
}

TEST(VecAngle, KnownAngles) {
    const double pi = 4 * std::atan(1.0);
    EXPECT_EQ(VecAngle({1, 0, 0}, {1, 0, 0}), 0.0);
    EXPECT_NEAR(VecAngle({1, 0, 0}, {0, 1, 0}), pi / 2, 1e-15);
    EXPECT_EQ(VecAngle({1, 0, 0}, {-1, 0, 0}), pi);
    EXPECT_NEAR(VecAngle({1, 0, 0}, {1, 1, 0}), pi / 4, 1e-15);
    EXPECT_EQ(VecAngle({0, 0, 0}, {1, 2, 3}), 0.0);
    EXPECT_EQ(VecAngle({1, 2, 3}, {0, 0, 0}), 0.0);
}

TEST(VecAngle, OppositeUpToFloatRounding) {
    const Vector3 a{-2.25079894f, -3.43132257f, -0.453922272f};
    const Vector3 b = VecScale(a, -0.7);
    const double c = VecDot(a, b) / (VecLength(b) * VecLength(a));
    ASSERT_LT(c, -1.0);  // the case under test: rounding pushed the cosine past -1
    EXPECT_EQ(VecAngle(a, b), 4 * std::atan(1.0));
    EXPECT_NEAR(VecAngle(a, VecScale(a, 3)), 0.0, 1e-6);
}

TEST(VecAngle, ArcCosMatchesTheLibrary) {
    for (double x : {-0.999, -0.5, 0.0, 0.3, 0.999}) EXPECT_NEAR(ArcCos(x), std::acos(x), 1e-14);
}

}  // namespace
}  // namespace torvix
