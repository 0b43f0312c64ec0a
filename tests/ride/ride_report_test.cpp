#include "ride/ride_report.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/track_builders.h"
#include "railframe/rail_frame.h"

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::ride {
namespace {


Vector3 V(double x, double y, double z) { return {float(x), float(y), float(z)}; }

// A horizontal circle whose heart line, `heartline` above rails banked by
// `roll`, has radius `heart_radius`; turning left when `left`.
Track BankedCircle(double heart_radius, double roll, double heartline, bool left) {
    const double rails_radius = heart_radius + heartline * std::sin(roll);
    Track t = test::CircleTrack(rails_radius, 8);
    for (BezierVertex& v : t.bezr.vertices) {
        v.roll = static_cast<float>(left ? roll : -roll);
        if (!left) {
            // Mirror z: the same circle run clockwise.
            for (Vector3* p : {&v.position, &v.control_prev, &v.control_next}) p->z = -p->z;
        }
    }
    return t;
}

// One cubic that is exactly the ballistic path of a train crossing the apex at vx.
Track BallisticCrest(double vx, double half_width) {
    const double apex = 9.81 * half_width * half_width / (2 * vx * vx);
    const double q[3] = {0, 2 * apex, 0};  // control point of the quadratic form
    Track t;
    t.bezr.vertex_count = 2;
    BezierVertex a, b;
    a.position = V(-half_width, 0, 0);
    b.position = V(half_width, 0, 0);
    a.control_next = V(-half_width + 2.0 / 3 * (q[0] + half_width), 2.0 / 3 * q[1], 0);
    b.control_prev = V(half_width + 2.0 / 3 * (q[0] - half_width), 2.0 / 3 * q[1], 0);
    a.control_prev = V(-2 * half_width, -q[1], 0);
    b.control_next = V(2 * half_width, -q[1], 0);
    t.bezr.vertices = {a, b};
    t.segm.segment_count = 1;
    t.segm.segments.resize(1);
    return t;
}

TEST(RideReport, LevelStraightRidesAtOneGAndConstantSpeed) {
    const Track track = test::StraightTrack(4, 10, 2.0);
    const RideReport r = MeasureRide(track, {1.0, 20, 20, 0.5});
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    EXPECT_EQ(r.samples.size(), 81u);
    EXPECT_NEAR(r.summary.length, 40, 1e-9);
    EXPECT_NEAR(r.summary.duration, 2.0, 1e-9);
    for (const RideSample& s : r.samples) {
        EXPECT_NEAR(s.vertical, 1.0, 1e-9);
        EXPECT_NEAR(s.lateral, 0.0, 1e-9);
        EXPECT_NEAR(s.speed, 20.0, 1e-9);
        EXPECT_NEAR(s.y, 3.0, 1e-6);  // hearts one metre above the rails
    }
    EXPECT_EQ(r.vertex_s.size(), 5u);
    EXPECT_NEAR(r.vertex_s[2], 20, 1e-9);
    EXPECT_EQ(r.summary.airtime, 0);
    EXPECT_FALSE(r.summary.valley.has_value());
}

TEST(RideReport, CirclesUnbankedAndBanked) {
    const double v = 20, radius = 50, lean = v * v / (9.81 * radius);
    {
        const RideReport r = MeasureRide(BankedCircle(radius, 0, 1.0, true), {1.0, v, v, 0.5});
        ASSERT_TRUE(r.status.ok()) << r.status.message();
        for (const RideSample& s : r.samples) {
            EXPECT_NEAR(s.lateral, 0.8155, 0.003);
            EXPECT_NEAR(s.vertical, 1.0, 1e-6);
            EXPECT_NEAR(s.speed, v, 1e-6);
        }
    }
    const double banked_vertical = std::sqrt(1 + lean * lean);
    for (bool left : {true, false}) {
        const RideReport r = MeasureRide(BankedCircle(radius, std::atan(lean), 1.0, left), {1.0, v, v, 0.5});
        ASSERT_TRUE(r.status.ok()) << r.status.message();
        EXPECT_LT(r.summary.lateral_max, 0.005) << (left ? "left" : "right");
        EXPECT_NEAR(r.summary.vertical_min, banked_vertical, 0.005);
        EXPECT_NEAR(r.summary.vertical_max, banked_vertical, 0.005);
        EXPECT_LT(std::abs(r.summary.bank_error_max), 0.3);
    }
}

TEST(RideReport, LateralSignFollowsTheTurn) {
    // Unbanked, the seat pushes the riders toward the centre: to their left in a left turn.
    const RideReport left = MeasureRide(BankedCircle(50, 0, 1.0, true), {1.0, 20, 20, 0.5});
    const RideReport right = MeasureRide(BankedCircle(50, 0, 1.0, false), {1.0, 20, 20, 0.5});
    ASSERT_TRUE(left.status.ok() && right.status.ok());
    EXPECT_GT(left.samples[10].lateral, 0.7);
    EXPECT_LT(right.samples[10].lateral, -0.7);
}

TEST(RideReport, BallisticCrestFloats) {
    const double vx = 15, half = 20;
    const double vy = 9.81 * half / vx;
    const double entry = std::sqrt(vx * vx + vy * vy);
    const RideReport r = MeasureRide(BallisticCrest(vx, half), {0.0, entry, entry, 0.25});
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    for (const RideSample& s : r.samples) EXPECT_NEAR(s.vertical, 0.0, 0.02) << "at " << s.s;
    EXPECT_NEAR(r.summary.speed_min, vx, 0.01);
    EXPECT_GT(r.summary.length, 2 * half);
}

TEST(RideReport, RollFollowsTheSolversInterpolation) {
    railframe::CurveRoll c;
    c.roll_prev = 0.3;
    c.d1 = 0.27;
    c.s_in = 0.5;
    c.s_out = -0.4;
    for (bool start : {false, true}) {
        for (bool end : {false, true}) {
            c.start_smooth = start;
            c.end_smooth = end;
            for (double u : {0.0, 0.1, 0.5, 0.77, 1.0}) {
                EXPECT_DOUBLE_EQ(railframe::RollAt(c, u).v, railframe::DesignerRoll(c, u));
                const double h = 1e-6;
                if (u > h && u < 1 - h) {
                    const double rate = (railframe::DesignerRoll(c, u + h) - railframe::DesignerRoll(c, u - h)) / (2 * h);
                    EXPECT_NEAR(railframe::RollAt(c, u).d, rate, 1e-6);
                }
            }
        }
    }
}

TEST(RideReport, ValleyFoundAndClearedAtTheReportedSpeed) {
    const Track hill = test::HillTrack(30);
    const RideReport slow = MeasureRide(hill, {1.0, 15, 15, 0.5});
    ASSERT_FALSE(slow.status.ok());
    ASSERT_TRUE(slow.summary.valley.has_value());
    const RideValley valley = *slow.summary.valley;
    EXPECT_GT(valley.s, 40);  // on the climb, past the level run-in
    EXPECT_LT(valley.s, 80);
    EXPECT_FALSE(slow.samples.empty());
    EXPECT_LT(slow.samples.back().s, valley.s);

    const RideReport cleared = MeasureRide(hill, {1.0, valley.min_start_speed + 0.01, 15, 0.5});
    EXPECT_TRUE(cleared.status.ok()) << cleared.status.message();
    const RideReport short_of_it = MeasureRide(hill, {1.0, valley.min_start_speed - 0.05, 15, 0.5});
    EXPECT_FALSE(short_of_it.status.ok());
}

TEST(RideReport, RefusesWhatItCannotMeasure) {
    Track one = test::StraightTrack(1, 10);
    one.bezr.vertex_count = 1;
    EXPECT_FALSE(MeasureRide(one, {}).status.ok());
    EXPECT_FALSE(MeasureRide(test::StraightTrack(2, 10), {1.0, NAN, 20, 0.5}).status.ok());
    EXPECT_FALSE(MeasureRide(test::StraightTrack(2, 10), {1.0, 20, 20, 0}).status.ok());
    Track far = test::StraightTrack(2, 1e7);
    EXPECT_EQ(MeasureRide(far, {1.0, 20, 20, 0.01}).status.message(), "The track is too long for so fine a step.");
    Track broken = test::StraightTrack(2, 10);
    broken.bezr.vertices[1].control_next.y = INFINITY;
    EXPECT_FALSE(MeasureRide(broken, {}).status.ok());
    // A roll that is not a number is refused under either reading, not taken
    // as level (simulator) or as a heart line without length (designer).
    Track unrolled = test::StraightTrack(2, 10);
    unrolled.bezr.vertices[1].roll = NAN;
    using railframe::RollReading;
    for (const RollReading reading : {RollReading::kSimulator, RollReading::kDesigner}) {
        RideParams params;
        params.reading = reading;
        const RideReport report = MeasureRide(unrolled, params);
        EXPECT_FALSE(report.status.ok());
        EXPECT_EQ(report.status.message(), "Vertex 1 has a roll that is not a finite number.");
    }
}

TEST(RideReport, PeaksAreApartAndLocatedInRideOrder) {
    const RideReport r = MeasureRide(BankedCircle(50, 0, 1.0, true), {1.0, 20, 20, 0.5});
    ASSERT_TRUE(r.status.ok());
    ASSERT_EQ(r.summary.peaks.size(), 5u);
    for (std::size_t i = 0; i < r.summary.peaks.size(); ++i)
        for (std::size_t j = i + 1; j < r.summary.peaks.size(); ++j)
            EXPECT_GE(std::abs(r.summary.peaks[i].s - r.summary.peaks[j].s), kPeakSeparation);
    std::vector<Vector3> points;
    for (const RideSample& s : r.samples) points.push_back(V(s.x, s.y, s.z));
    const std::vector<double> at = LocateAlong(r, points);
    for (std::size_t i = 0; i < at.size(); ++i) EXPECT_NEAR(at[i], r.samples[i].s, 1e-9);
}

}  // namespace
}  // namespace torvix::ride

namespace torvix::ride {
namespace {

TEST(RideReport, HeartDeviationFromTheDesignedPath) {
    const RideReport r = MeasureRide(test::StraightTrack(4, 10, 0.0), {1.0, 20, 20, 0.5});
    ASSERT_TRUE(r.status.ok());
    EXPECT_NEAR(HeartDeviationMax(r, test::StraightTrack(8, 5, 1.0)), 0.0, 1e-6);
    EXPECT_NEAR(HeartDeviationMax(r, test::StraightTrack(4, 10, 0.75)), 0.25, 1e-6);
    // A path that ends early: the hearts past its end are measured to its last point.
    EXPECT_NEAR(HeartDeviationMax(r, test::StraightTrack(3, 10, 1.0)), 10.0, 1e-6);
    Track none = test::StraightTrack(1, 10);
    none.bezr.vertex_count = 1;
    EXPECT_LT(HeartDeviationMax(r, none), 0);
}

}  // namespace
}  // namespace torvix::ride
