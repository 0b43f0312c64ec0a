#include "geometry/fit_segments.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "geometry/fit_segments_internal.h"

using namespace torvix::geometry;

namespace torvix {
namespace {

using namespace detail;

void ExpectNear(const Vector3& a, const Vector3& b, double tol) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

// n points on a circle of radius r in the x-z plane, from angle 0 to `sweep`.
std::vector<Vector3> ArcPoints(int n, double r, double sweep) {
    std::vector<Vector3> d;
    for (int i = 0; i < n; ++i) {
        const double a = sweep * i / (n - 1);
        d.push_back({static_cast<float>(r * std::sin(a)), 0.0f, static_cast<float>(r - r * std::cos(a))});
    }
    return d;
}

Vector3 ArcStartTangent() { return {1, 0, 0}; }
Vector3 ArcEndTangent(double sweep) {
    return {static_cast<float>(-std::cos(sweep)), 0.0f, static_cast<float>(-std::sin(sweep))};
}

TEST(FitSegments, CollinearPointsGiveSegmentOnTheLine) {
    const std::vector<Vector3> d = {{0, 0, 0}, {1, 0, 0}, {2.5f, 0, 0}, {4, 0, 0}, {6, 0, 0}};
    const FitResult r = FitSegments(d, 5, {1, 0, 0}, {-1, 0, 0}, 1);
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    ASSERT_EQ(r.segment_count, 1);
    const FittedSegment& s = r.segments[0];
    EXPECT_EQ(s.start, d[0]);
    EXPECT_EQ(s.end, d[4]);
    for (const Vector3& c : {s.start_control, s.end_control}) {
        EXPECT_EQ(c.y, 0);
        EXPECT_EQ(c.z, 0);
        EXPECT_GT(c.x, 0);
        EXPECT_LT(c.x, 6);
    }
}

TEST(FitSegments, TwoPointsGetOneThirdChordArms) {
    const std::vector<Vector3> d = {{1, 2, 3}, {4, 2, 7}};  // chord 5
    const FitResult r = FitSegments(d, 2, {0, 1, 0}, {0, 0, -1}, 4);
    ASSERT_TRUE(r.status.ok());
    ASSERT_EQ(r.segment_count, 1);
    const FittedSegment& s = r.segments[0];
    EXPECT_EQ(s.start, d[0]);
    EXPECT_EQ(s.end, d[1]);
    ExpectNear(s.start_control, {1, static_cast<float>(2 + 5.0 / 3), 3}, 1e-6);
    ExpectNear(s.end_control, {4, 2, static_cast<float>(7 - 5.0 / 3)}, 1e-6);
}

TEST(FitSegments, SinglePointGivesDegenerateSegment) {
    const std::vector<Vector3> d = {{5, -1, 2}};
    const FitResult r = FitSegments(d, 1, {1, 0, 0}, {-1, 0, 0}, 1);
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    ASSERT_EQ(r.segment_count, 1);
    const FittedSegment& s = r.segments[0];
    EXPECT_EQ(s.start, d[0]);
    EXPECT_EQ(s.start_control, d[0]);
    EXPECT_EQ(s.end_control, d[0]);
    EXPECT_EQ(s.end, d[0]);
}

TEST(FitSegments, ArcIsFittedClosely) {
    const double sweep = 1.2;
    const std::vector<Vector3> d = ArcPoints(9, 20, sweep);
    const FitResult r = FitSegments(d, 9, ArcStartTangent(), ArcEndTangent(sweep), 1);
    ASSERT_TRUE(r.status.ok());
    ASSERT_EQ(r.segment_count, 1);
    // Every sample lies close to the fitted curve.
    const FittedSegment& s = r.segments[0];
    for (const Vector3& p : d) {
        double best = 1e9;
        for (int k = 0; k <= 2000; ++k) best = std::min(best, VecDistance(EvaluateFittedSegment(s, k / 2000.0), p));
        EXPECT_LT(best, 0.01);
    }
    // Arms along the tangents, near the circle's 4/3 tan(sweep/4) rule.
    const double arm = 4.0 / 3 * std::tan(sweep / 4) * 20;
    EXPECT_NEAR(VecDistance(s.start, s.start_control), arm, 0.05);
    EXPECT_NEAR(VecDistance(s.end, s.end_control), arm, 0.05);
}

TEST(FitSegments, SegmentCountFollowsDepthAndPointCount) {
    const double sweep = 2.0;
    // 7 points: split at 7/2 = 3.5, which goes to 4.
    {
        const std::vector<Vector3> d = ArcPoints(7, 10, sweep);
        const FitResult r = FitSegments(d, 7, ArcStartTangent(), ArcEndTangent(sweep), 2);
        ASSERT_TRUE(r.status.ok());
        ASSERT_EQ(r.segment_count, 2);
        ASSERT_EQ(r.segments.size(), 2u);
        EXPECT_EQ(r.segments[0].start, d[0]);
        EXPECT_EQ(r.segments[0].end, d[4]);
        EXPECT_EQ(r.segments[1].start, d[4]);
        EXPECT_EQ(r.segments[1].end, d[6]);
        // The halves meet with opposite arms along one split tangent.
        const Vector3 tc = SplitTangent(d, 4);
        ExpectNear(VecNormalize(VecSub(r.segments[0].end_control, d[4])), tc, 1e-6);
        ExpectNear(VecNormalize(VecSub(r.segments[1].start_control, d[4])), VecScale(tc, -1), 1e-6);
    }
    // 5 points: 2.5 goes to 2.
    {
        const std::vector<Vector3> d = ArcPoints(5, 10, sweep);
        const FitResult r = FitSegments(d, 5, ArcStartTangent(), ArcEndTangent(sweep), 2);
        ASSERT_EQ(r.segment_count, 2);
        EXPECT_EQ(r.segments[0].end, d[2]);
        EXPECT_EQ(r.segments[1].start, d[2]);
    }
    // 3 points cannot be split.
    {
        const std::vector<Vector3> d = ArcPoints(3, 10, sweep);
        EXPECT_EQ(FitSegments(d, 3, ArcStartTangent(), ArcEndTangent(sweep), 2).segment_count, 1);
    }
    const std::vector<Vector3> d9 = ArcPoints(9, 10, sweep);
    // Not a power of two: one segment.
    EXPECT_EQ(FitSegments(d9, 9, ArcStartTangent(), ArcEndTangent(sweep), 3).segment_count, 1);
    EXPECT_EQ(FitSegments(d9, 9, ArcStartTangent(), ArcEndTangent(sweep), 1).segment_count, 1);
    // 9 -> split at 4 (4.5 to even), halves of 5 points split again.
    const FitResult four = FitSegments(d9, 9, ArcStartTangent(), ArcEndTangent(sweep), 4);
    ASSERT_EQ(four.segment_count, 4);
    EXPECT_EQ(four.segments[0].end, d9[2]);
    EXPECT_EQ(four.segments[1].end, d9[4]);
    EXPECT_EQ(four.segments[2].end, d9[6]);
    EXPECT_EQ(four.segments[3].end, d9[8]);
    // Depth is capped by the points available, not by the wish.
    EXPECT_EQ(FitSegments(d9, 9, ArcStartTangent(), ArcEndTangent(sweep), 64).segment_count, 4);
}

TEST(FitSegments, ZeroTangentFallsBackToOneThirdChord) {
    const std::vector<Vector3> d = {{0, 0, 0}, {1, 1, 0}, {2, 1.5f, 0}, {3, 0, 0}};
    const Vector3 t2{-1, 0, 0};
    const FitResult r = FitSegments(d, 4, {0, 0, 0}, t2, 1);
    ASSERT_TRUE(r.status.ok());
    ASSERT_EQ(r.segment_count, 1);
    EXPECT_EQ(r.segments[0].start_control, d[0]);
    EXPECT_EQ(r.segments[0].end_control, (Vector3{2, 0, 0}));  // chord 3, a third along t2
}

TEST(FitSegments, WorseSecondPassStillStands) {
    // A zig-zag whose first Newton pass improves the fit and whose second does not.
    const std::vector<Vector3> d = {{-0.4f, 10, 0}, {4, 9, 0}, {4, -8, 0}, {8.2f, 10, 0}, {10.6f, -6, 0}};
    const int last = 4;
    const Vector3 t1 = VecNormalize(VecSub(d[1], d[0]));
    const Vector3 t2 = VecNormalize(VecSub(d[3], d[4]));
    const std::vector<double> u = ParameterizeByChordLength(d, 0, last);
    const FittedSegment s0 = SolveControlArms(d, 0, last, u, t1, t2);
    const double e0 = MaxFitDistance(d, 0, last, s0, u);
    const std::vector<double> u1 = ReparameterizeNewton(d, 0, last, u, s0);
    const FittedSegment s1 = SolveControlArms(d, 0, last, u1, t1, t2);
    const double e1 = MaxFitDistance(d, 0, last, s1, u1);
    // The second pass steps from the chord-length parameters again, not from u1.
    const std::vector<double> u2 = ReparameterizeNewton(d, 0, last, u, s1);
    const FittedSegment s2 = SolveControlArms(d, 0, last, u2, t1, t2);
    const double e2 = MaxFitDistance(d, 0, last, s2, u2);
    ASSERT_LT(e1, e0);
    ASSERT_GT(e2, e1);

    const FitResult r = FitSegments(d, 5, t1, t2, 1);
    ASSERT_TRUE(r.status.ok());
    ASSERT_EQ(r.segment_count, 1);
    EXPECT_EQ(r.segments[0].start_control, s2.start_control);
    EXPECT_EQ(r.segments[0].end_control, s2.end_control);
    EXPECT_NE(r.segments[0].start_control, s1.start_control);
}

TEST(FitSegments, CoincidingPointsAreAFailure) {
    const std::vector<Vector3> same(4, Vector3{1, 2, 3});
    const FitResult r = FitSegments(same, 4, {1, 0, 0}, {-1, 0, 0}, 1);
    EXPECT_FALSE(r.status.ok());
    EXPECT_FALSE(r.status.message().empty());

    // Only the second half of a split coincides.
    const std::vector<Vector3> d = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {2, 0, 0}, {2, 0, 0}};
    EXPECT_FALSE(FitSegments(d, 5, {1, 0, 0}, {-1, 0, 0}, 2).status.ok());

    // Two coinciding points still make a (degenerate) segment.
    EXPECT_TRUE(FitSegments(same, 2, {1, 0, 0}, {-1, 0, 0}, 1).status.ok());
}

TEST(FitSegments, BadInputIsRefused) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<Vector3> d = {{0, 0, 0}, {1, 1, 0}, {2, 0, 0}};
    EXPECT_FALSE(FitSegments(d, 0, {1, 0, 0}, {-1, 0, 0}, 1).status.ok());
    EXPECT_FALSE(FitSegments(d, 4, {1, 0, 0}, {-1, 0, 0}, 1).status.ok());
    EXPECT_FALSE(FitSegments(d, 3, {nan, 0, 0}, {-1, 0, 0}, 1).status.ok());
    d[1].y = inf;
    EXPECT_FALSE(FitSegments(d, 3, {1, 0, 0}, {-1, 0, 0}, 1).status.ok());
    // Overflow inside the fit surfaces as a failure, not as a NaN segment.
    const std::vector<Vector3> huge = {{0, 0, 0}, {3e38f, 3e38f, 0}, {-3e38f, 3e38f, 0}};
    const FitResult r = FitSegments(huge, 3, {1, 0, 0}, {-1, 0, 0}, 1);
    EXPECT_FALSE(r.status.ok());
    EXPECT_FALSE(r.status.message().empty());
}

TEST(FitSegmentsSteps, ChordLengthParameters) {
    const std::vector<Vector3> d = {{9, 9, 9}, {0, 0, 0}, {3, 0, 0}, {3, 4, 0}, {9, 9, 9}};
    const std::vector<double> u = ParameterizeByChordLength(d, 1, 3);
    ASSERT_EQ(u.size(), 3u);
    EXPECT_EQ(u[0], 0);
    EXPECT_DOUBLE_EQ(u[1], 3.0 / 7);
    EXPECT_EQ(u[2], 1);
}

TEST(FitSegmentsSteps, NewtonStepMovesTowardsTheClosestPoint) {
    // Straight segment along x from 0 to 3 with evenly spaced controls: B(t) = (3t, 0, 0).
    const FittedSegment s{{0, 0, 0}, {1, 0, 0}, {3, 0, 0}, {2, 0, 0}};
    EXPECT_NEAR(NewtonParameterStep(s, {1.5f, 1, 0}, 0.3), 0.5, 1e-7);
    // Not clamped to [0, 1].
    EXPECT_NEAR(NewtonParameterStep(s, {4.5f, 0, 0}, 0.5), 1.5, 1e-7);
    // A fully degenerate segment leaves the parameter alone.
    const FittedSegment p{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}};
    EXPECT_EQ(NewtonParameterStep(p, {1, 1, 1}, 0.25), 0.25);
}

TEST(FitSegmentsSteps, DeCasteljauMatchesBernstein) {
    const FittedSegment s{{0, 0, 0}, {1, 2, 0}, {4, 0, 1}, {3, 2, 0}};
    const Vector3 v[4] = {s.start, s.start_control, s.end_control, s.end};
    for (double t : {0.0, 0.2, 0.5, 0.9, 1.0}) ExpectNear(EvaluateDeCasteljau(3, v, t), EvaluateFittedSegment(s, t), 1e-6);
    EXPECT_DOUBLE_EQ(BernsteinB0(0.25) + BernsteinB1(0.25) + BernsteinB2(0.25) + BernsteinB3(0.25), 1.0);
    EXPECT_DOUBLE_EQ(BernsteinB1(0.5), 0.375);
}

}  // namespace
}  // namespace torvix
