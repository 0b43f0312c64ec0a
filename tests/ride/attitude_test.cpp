// The natural attitude of a path and the measure of riders turned over where
// nothing asks for it, against answers known from the geometry and the forces.
#include "ride/attitude.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "heartline/solver.h"
#include "heartline/track_length.h"
#include "railframe/carried_frame.h"
#include "ride/ride_report.h"
#include "support/ride_tracks.h"
#include "support/track_builders.h"

using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::track;

namespace torvix::ride {
namespace {

using railframe::ZeroRollDown;

constexpr double kPi = ridetracks::kPi;

// Unit tangents in the x-y plane whose pitch runs from `from` to `to` and back to `back` (radians).
std::vector<DVec3> Pitched(double from, double to, double back, int steps) {
    std::vector<DVec3> out;
    for (int i = 0; i <= 2 * steps; ++i) {
        const double p = i <= steps ? from + (to - from) * i / steps : to + (back - to) * (i - steps) / steps;
        out.push_back({std::cos(p), std::sin(p), 0});
    }
    return out;
}

double Along(DVec3 got, DVec3 want) { return Dot(got, want); }

TEST(NaturalAttitude, LoopTopIsUpsideDownHelixAndBeyondVerticalDropAreUpright) {
    // A loop: the pitch turns a full circle; at the top (pitch pi, running
    // backwards) the riders' down vector points at the sky.
    const std::vector<DVec3> loop = NaturalDown(Pitched(0, kPi, 2 * kPi, 200));
    EXPECT_NEAR(Along(loop[0], {0, -1, 0}), 1, 1e-9);
    EXPECT_NEAR(Along(loop[200], {0, 1, 0}), 1, 1e-9);
    EXPECT_NEAR(Along(loop[400], {0, -1, 0}), 1, 1e-9);
    // The vertical sides are crossed without a twist: the down vector stays in the loop's plane.
    for (const DVec3& d : loop) EXPECT_NEAR(d.z, 0, 1e-9);
    // A drop that pitches 121 degrees down, past vertical, and pulls out.
    const std::vector<DVec3> drop = NaturalDown(Pitched(0, -121 * kPi / 180, 0, 200));
    EXPECT_NEAR(Along(drop.back(), {0, -1, 0}), 1, 1e-9);

    // A helix descending at 45 degrees is never steep: upright all the way.
    std::vector<DVec3> helix;
    for (int i = 0; i <= 360; ++i) {
        const double a = i * kPi / 90;
        helix.push_back(Unit(DVec3{-std::sin(a), -1, -std::cos(a)}));
    }
    const std::vector<DVec3> helix_down = NaturalDown(helix);
    for (std::size_t i = 0; i < helix.size(); ++i) EXPECT_NEAR(Along(helix_down[i], ZeroRollDown(helix[i])), 1, 1e-9);
}

TEST(UnaskedRoll, StraightTurnedOverCountsUnlessTheDesignerDrewIt) {
    // 60 m of level straight, every vertex rolled half a turn.
    const RideReport report = MeasureRide(test::StraightTrack(6, 10, 0, float(kPi)), {1.0, 20, 20, 0.5});
    ASSERT_TRUE(report.status.ok()) << report.status.message();
    EXPECT_NEAR(report.summary.unasked_roll, report.summary.length, 1e-9);
    ASSERT_EQ(report.summary.unasked_stretches.size(), 1u);
    EXPECT_NEAR(report.summary.unasked_stretches[0].to - report.summary.unasked_stretches[0].from,
                report.summary.length, 1e-9);
    // The same roll drawn by the designer (colour 0) is asked for.
    const Track drawn = test::StraightTrack(6, 10, 0, float(kPi), 0);
    EXPECT_EQ(MeasureRide(drawn, {1.0, 20, 20, 0.5}).summary.unasked_roll, 0);
    // Measured against a drawing that keeps the straight upright (colour 0,
    // roll 0), the same track leaves the drawn roll: a rebuilt station turned over.
    const Track upright = test::StraightTrack(6, 10, 0, 0, 0);
    const RideReport left = MeasureRide(drawn, {1.0, 20, 20, 0.5}, &upright);
    EXPECT_NEAR(left.summary.unasked_roll, left.summary.length, 1e-9);
}

// A 60-degree arc of a circle of radius 20 m in a plane tilted 60 degrees from
// horizontal, ridden over its top, each vertex banked into the seat for
// `speed` at the ends (heart line on the rails): over the top the seat lies
// beyond a right angle of upright.
Track OverbankedArc(double speed) {
    const double r = 20, tilt = kPi / 3, g = 9.81;
    const DVec3 along{1, 0, 0}, inward{0, -std::sin(tilt), std::cos(tilt)};
    const DVec3 centre = r * inward;
    const int curves = 6;
    const double step = kPi / 3 / curves;
    const double arm = 4.0 / 3 * std::tan(step / 4) * r;
    const double end_y = -r * std::sin(tilt) * (1 - std::cos(kPi / 6));
    std::vector<ridetracks::Node> nodes;
    for (int i = 0; i <= curves; ++i) {
        const double phi = -kPi / 6 + i * step;
        const DVec3 to_centre = std::cos(phi) * inward - std::sin(phi) * along;
        const DVec3 p = centre - r * to_centre;
        const DVec3 tangent = std::cos(phi) * along + std::sin(phi) * inward;
        const double v2 = speed * speed + 2 * g * (end_y - p.y);
        const DVec3 force = (v2 / (g * r)) * to_centre + DVec3{0, 1, 0};
        const DVec3 seat = -1.0 * Unit(force - Dot(force, tangent) * tangent);
        const DVec3 zero = ZeroRollDown(tangent);
        const double roll = std::atan2(-Dot(seat, Cross(tangent, zero)), Dot(seat, zero));
        nodes.push_back({{p.x, p.y, p.z}, {3 * arm * tangent.x, 3 * arm * tangent.y, 3 * arm * tangent.z}, roll});
    }
    return ridetracks::FromNodes(nodes);
}

TEST(UnaskedRoll, OverbankedTurnAtSpeedIsCalledForAndTooSlowIsNot) {
    // 20.9 m/s at the ends: twice g toward the centre over the top, so the seat
    // force points 126 degrees from upright and presses with 1.24 g.
    const Track arc = OverbankedArc(20.93);
    const RideReport fast = MeasureRide(arc, {0.0, 20.93, 20.93, 0.25});
    ASSERT_TRUE(fast.status.ok()) << fast.status.message();
    double steepest = 0;
    for (const RideSample& s : fast.samples) steepest = std::max(steepest, std::abs(s.roll));
    EXPECT_GT(steepest, 120);                  // overbanked,
    EXPECT_LT(fast.summary.lateral_max, 0.3);  // into the seat
    EXPECT_EQ(fast.summary.unasked_roll, 0);
    // The same track at 12 m/s presses riders toward upright: nothing calls for the overbank.
    const RideReport slow = MeasureRide(arc, {0.0, 12, 12, 0.25});
    ASSERT_TRUE(slow.status.ok()) << slow.status.message();
    EXPECT_GT(slow.summary.unasked_roll, 0.5 * slow.summary.length);
}

TEST(UnaskedRoll, RidesAndRunsNameAVertexWhoseRollIsNotANumber) {
    Track t = test::StraightTrack(5, 10);
    t.bezr.vertices[3].roll = NAN;
    const RideReport report = MeasureRide(t, {1.0, 20, 20, 0.5});
    EXPECT_FALSE(report.status.ok());
    EXPECT_EQ(report.status.message(), "Vertex 3 has a roll that is not a finite number.");
    const double length = TrackLength(t).value();
    const SolveResult run = SolveHeartline(t, length, test::Params(10, 6, 5, 1.0, 20, 20));
    EXPECT_FALSE(run.status.ok());
    EXPECT_NE(run.status.message().find("vertex 3 has a roll that is not a finite number"), std::string::npos) << run.status.message();
}

}  // namespace
}  // namespace torvix::ride
