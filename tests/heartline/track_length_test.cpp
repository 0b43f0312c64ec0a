#include "heartline/track_length.h"

#include "geometry/vec_angle.h"
#include "track/track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::track;

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

double Length(const Track& t) {
    const base::Result<double> r = TrackLength(t);
    EXPECT_TRUE(r.ok()) << r.error();
    return *r;
}

TEST(TrackLength, StraightCurve) {
    Track t = StraightTrack({{0, 0, 0}, {0, 0, 0}});
    t.bezr.vertices[0].control_next = {3, 0, 0};
    t.bezr.vertices[1].position = {10, 0, 0};
    t.bezr.vertices[1].control_prev = {7, 0, 0};
    EXPECT_NEAR(Length(t), 10.0, 1e-5);
}

TEST(TrackLength, CurveShorterThanOneStep) {
    // In the middle: the next curve's first step starts where the last step ended,
    // so the 3 cm rise is spanned by one slanted step (0.05 m instead of 0.07 m).
    EXPECT_NEAR(Length(StraightTrack({{0, 0, 0}, {0, 0.03f, 0}, {10, 0.03f, 0}})), 10.01, 1e-4);
    // At the end it is not counted.
    EXPECT_NEAR(Length(StraightTrack({{0, 0, 0}, {10, 0, 0}, {10, 0.03f, 0}})), 10.0, 1e-5);
}

TEST(TrackLength, NoCurves) {
    EXPECT_EQ(Length(StraightTrack({{4, 5, 6}})), 0.0);
    EXPECT_EQ(Length(Track{}), 0.0);
    // A count larger than the vertices held reads only what is there.
    Track t = StraightTrack({{0, 0, 0}, {2, 0, 0}});
    t.bezr.vertex_count = 9;
    EXPECT_NEAR(Length(t), 2.0, 1e-5);
}

TEST(TrackLength, LongCurveDoesNotWrapTheStepCount) {
    // 1500 m needs 37500 steps, beyond a 16-bit count.
    EXPECT_NEAR(Length(StraightTrack({{0, 0, 0}, {1500, 0, 0}})), 1500.0, 1e-2);
}

TEST(TrackLength, QuarterCircle) {
    const float k = static_cast<float>(20 * 4.0 / 3 * (std::sqrt(2.0) - 1));
    Track t = StraightTrack({{0, 0, 0}, {20, 0, 20}});
    t.bezr.vertices[0].control_next = {k, 0, 0};
    t.bezr.vertices[1].control_prev = {20, 0, 20 - k};
    EXPECT_NEAR(Length(t), 20 * std::acos(-1.0) / 2, 0.02);
}

TEST(TrackLength, SplinesNoParkHoldsAreErrorsNotLengths) {
    // Points 10^5..10^8 m away once took seconds per curve, and at 10^8 m
    // measured 0; a control point that is not a number measured nothing.
    for (float far : {1.5e5f, 1e7f, 1e8f}) {
        const base::Result<double> r = TrackLength(StraightTrack({{0, 0, 0}, {far, 0, 0}, {0, 0, 0}}));
        EXPECT_FALSE(r.ok()) << far;
        EXPECT_NE(r.error().find(" has a point at ("), std::string::npos) << r.error();
        EXPECT_NE(r.error().find("beyond 100 km"), std::string::npos) << r.error();
    }
    Track nan = StraightTrack({{0, 0, 0}, {10, 0, 0}});
    nan.bezr.vertices[0].control_next.y = std::nanf("");
    EXPECT_FALSE(TrackLength(nan).ok());
    // Just inside the bound is measured.
    EXPECT_NEAR(Length(StraightTrack({{0, 0, 0}, {1000, 0, 0}, {1000, 0, 99000}})), 100000.0, 1.0);
    // More than 100 km of curves in all, each of them near the origin.
    std::vector<Vector3> zigzag;
    for (int i = 0; i < 80; ++i) zigzag.push_back({i % 2 == 0 ? 0.0f : 1500.0f, 0, 0});
    const base::Result<double> r = TrackLength(StraightTrack(zigzag));
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.error().find("longer than 100 km by curve 66"), std::string::npos) << r.error();
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
