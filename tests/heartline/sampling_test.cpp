#include <gtest/gtest.h>

#include <cmath>

#include "heartline/solver_phases_internal.h"
#include "support/track_builders.h"
#include "geometry/vec_angle.h"
#include "heartline/track_length.h"

using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::track;

namespace torvix::heartline {
namespace {

struct Sampled {
    base::Status status;
    SampleSet set;
    long steps = 0;
};

Sampled Sample(const Track& track, int n, double start_speed, double end_speed, double heartline,
               double length_scale = 1.0) {
    double length = 0;
    length = TrackLength(track).value();
    length *= length_scale;
    const std::span<const BezierVertex> vertices(track.bezr.vertices.data(), track.bezr.vertex_count);
    const SamplingInputs in{vertices, track.segm.segments, length,
                            ComputeEnergy(vertices, length, start_speed, end_speed), heartline, n};
    Sampled out{base::Status::Ok(), SampleSet(n), 0};
    SolverObserver observer;
    Progress progress(observer);
    out.status = SampleTrack(in, out.set, progress);
    out.steps = progress.count();
    return out;
}

double Degrees(double rad) { return rad * 180 / std::acos(-1.0); }

TEST(Sampling, LevelStraightTrackAtConstantSpeed) {
    const Track track = test::StraightTrack(4, 25);
    const Sampled r = Sample(track, 40, 20, 20, 1.2);
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    ASSERT_GE(r.set.taken, 41);
    EXPECT_EQ(r.steps, r.set.taken);
    for (int k = 0; k <= 40; ++k) {
        EXPECT_EQ(r.set.down[k], (Vector3{0, -1, 0})) << k;
        EXPECT_EQ(r.set.zero_roll_down[k], (Vector3{0, -1, 0})) << k;
        EXPECT_EQ(r.set.tangent[k], (Vector3{1, 0, 0})) << k;
        // yH = -1.2 + 0 + 1.2 = p.y: the speed is the start speed everywhere.
        EXPECT_DOUBLE_EQ(r.set.speed[k], 20) << k;
        EXPECT_NEAR(r.set.point[k].x, 2.5 * k, 0.05) << k;
    }
    EXPECT_EQ(r.set.point[0], track.bezr.vertices[0].position);
    EXPECT_FLOAT_EQ(r.set.point[r.set.taken - 1].x, 100);
}

TEST(Sampling, HorizontalCircleTiltsOutwardByTheCentrifugalAngle) {
    const Track track = test::CircleTrack(50, 8);
    const Sampled r = Sample(track, 200, 20, 20, 0);
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    const double expected = Degrees(std::atan(400.0 / (9.81 * 50)));
    EXPECT_NEAR(expected, 39.2, 0.01);
    for (int k : {60, 100, 140}) {
        const Vector3& d = r.set.down[k];
        const Vector3& p = r.set.point[k];
        EXPECT_NEAR(Degrees(VecAngle(d, Vector3{0, -1, 0})), expected, 0.1) << k;
        // The horizontal part points away from the centre and the vector stays across the track.
        EXPECT_GT(d.x * p.x + d.z * p.z, 0) << k;
        EXPECT_NEAR(VecDot(d, r.set.tangent[k]), 0, 1e-6) << k;
        EXPECT_NEAR(r.set.speed[k], 20, 1e-12) << k;
    }
}

TEST(Sampling, HeartlineRaisesTheEvaluationHeightOnlyWhenBanked) {
    // Banked, the evaluation height Heartline * (1 + w.y) lies above the path, so the
    // train runs slower than the start speed.
    const Track track = test::CircleTrack(50, 8);
    const Sampled r = Sample(track, 200, 20, 20, 1.0);
    ASSERT_TRUE(r.status.ok());
    const double wy = r.set.down[100].y;  // unsmoothed, force-aligned only
    const double expected = std::sqrt(2 * 9.81 * (400 / 19.62 - (wy * 1.0 + 1.0)));
    EXPECT_NEAR(r.set.speed[100], expected, 1e-3);
    EXPECT_LT(r.set.speed[100], 20);
}

TEST(Sampling, ValleyIsAFailureNotAZeroSpeed) {
    const Sampled r = Sample(test::HillTrack(30), 50, 5, 5, 1);
    ASSERT_FALSE(r.status.ok());
    EXPECT_EQ(r.status.message(), kValleyMessage);
}

TEST(Sampling, WalkThatFallsShortFails) {
    // A stored length twice the real one leaves half the samples untaken.
    const Sampled r = Sample(test::StraightTrack(2, 50), 20, 20, 20, 1, 2.0);
    ASSERT_FALSE(r.status.ok());
    EXPECT_LE(r.set.taken, 20);
}

TEST(Sampling, WalkReachingTheStoredLengthEarlyPutsTheForcedSampleAtTheSurplusIndex) {
    // A stored length a little short of the walk: sample N is taken before the last
    // step, the forced final sample lands at N + 1.
    const Sampled r = Sample(test::StraightTrack(2, 50), 20, 20, 20, 1, 0.999);
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    EXPECT_EQ(r.set.taken, 22);
    EXPECT_LT(r.set.point[20].x, 100);
    EXPECT_FLOAT_EQ(r.set.point[21].x, 100);
    EXPECT_EQ(r.steps, 22);
}

TEST(Sampling, WalkFarBeyondTheStoredLengthFails) {
    // A stored length half the real one: samples 0 .. N cover only the first half,
    // and a sample beyond N + 1 has nowhere to go.
    const Sampled r = Sample(test::StraightTrack(2, 50), 20, 20, 20, 1, 0.5);
    ASSERT_FALSE(r.status.ok());
    EXPECT_EQ(r.set.taken, 22);
    EXPECT_NEAR(r.set.point[20].x, 50, 0.1);
}

TEST(Sampling, AtMostOneSamplePerStep) {
    // 1500 targets on one curve of 1001 steps: samples pile up behind the steps and run out.
    const Track track = test::StraightTrack(1, 10);
    const Sampled r = Sample(track, 1500, 20, 20, 1);
    ASSERT_FALSE(r.status.ok());
    EXPECT_EQ(r.set.taken, 1001);
    for (int k = 1; k < r.set.taken; ++k) ASSERT_GT(r.set.point[k].x, r.set.point[k - 1].x) << k;
}

TEST(Sampling, LastStepAlwaysYieldsASample) {
    // A stored length slightly longer than the walk: the last target is not reached but forced.
    const Track track = test::StraightTrack(3, 20);
    const Sampled r = Sample(track, 30, 20, 20, 1, 1.0005);
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    EXPECT_EQ(r.set.taken, 31);
    EXPECT_FLOAT_EQ(r.set.point[30].x, 60);
}

TEST(Relaxation, NearOppositeDirectionTurnsAQuarterInsteadOfFlipping) {
    const Vector3 p0{0, 0, 0}, p1{1, 0, 0}, p2{2, 0, 0}, p3{3, 0, 0};
    const EnergyModel energy{10, 10, 0};
    Vector3 prev_down{0, 1, 0};
    ForceSample out;
    ASSERT_TRUE(RelaxSample(p0, p1, p2, p3, 500, BezierPoint(p0, p1, p3, p2, 0.5f), 1.5, energy, 0, prev_down, out).ok());
    // First iteration: w = (0,-1,0) is pi away from (0,1,0) and becomes w x tg = (0,0,1)
    // scaled; later iterations step from there toward (0,-1,0).
    EXPECT_EQ(prev_down, out.down);
    EXPECT_LT(out.down.y, 0);
    EXPECT_GT(out.down.z, 0);
}

TEST(Relaxation, FirstIterationAtStepZeroIgnoresThePreviousDown) {
    const Vector3 p0{0, 0, 0}, p1{1, 0, 0}, p2{2, 0, 0}, p3{3, 0, 0};
    const EnergyModel energy{10, 10, 0};
    Vector3 prev_down{0, 1, 0};
    ForceSample out;
    ASSERT_TRUE(RelaxSample(p0, p1, p2, p3, 0, p0, 0, energy, 0, prev_down, out).ok());
    EXPECT_EQ(out.down, (Vector3{0, -1, 0}));
    EXPECT_DOUBLE_EQ(out.speed, std::sqrt(2 * 9.81 * 10));
}

TEST(Relaxation, VerticalTangentHasNoZeroRollDown) {
    const Track track = [] {
        Track t = test::StraightTrack(1, 30);
        for (BezierVertex& v : t.bezr.vertices) std::swap(v.position.x, v.position.y),
                                                   std::swap(v.control_prev.x, v.control_prev.y),
                                                   std::swap(v.control_next.x, v.control_next.y);
        return t;
    }();
    const Sampled r = Sample(track, 6, 30, 30, 0);
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    EXPECT_EQ(r.set.zero_roll_down[3], (Vector3{}));
}

}  // namespace
}  // namespace torvix::heartline
