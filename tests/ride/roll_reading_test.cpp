// The two readings of a track's vertex rolls against answers known without
// them: a level banked circle, a seat-aligned vertical loop, a uniformly
// flagged steep helix and relative rolls.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "support/ride_tracks.h"
#include "support/track_builders.h"
#include "railframe/rail_frame.h"
#include "ride/ride_report.h"

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::ride {
namespace {

using railframe::EvaluateRail;
using railframe::PrepareRails;
using railframe::RailPoint;
using railframe::RollReading;

std::span<const BezierVertex> Vertices(const Track& t) {
    return {t.bezr.vertices.data(), static_cast<std::size_t>(t.bezr.vertex_count)};
}

RideReport Ride(const Track& t, RollReading reading, double speed = 20) {
    RideParams p{1.0, speed, speed, 0.25};
    p.reading = reading;
    return MeasureRide(t, p);
}

TEST(RollReading, LevelBankedCircleReadsTheSameEitherWay) {
    Track circle = test::CircleTrack(40, 8);
    for (BezierVertex& v : circle.bezr.vertices) v.roll = 0.6f;
    const RideReport sim = Ride(circle, RollReading::kSimulator);
    const RideReport des = Ride(circle, RollReading::kDesigner);
    ASSERT_TRUE(sim.status.ok() && des.status.ok());
    ASSERT_EQ(sim.samples.size(), des.samples.size());
    for (std::size_t i = 0; i < sim.samples.size(); ++i) {
        EXPECT_NEAR(sim.samples[i].lateral, des.samples[i].lateral, 1e-4) << i;
        EXPECT_NEAR(sim.samples[i].vertical, des.samples[i].vertical, 1e-4) << i;
        EXPECT_NEAR(sim.samples[i].roll, 0.6 * 180 / ridetracks::kPi, 1e-3) << i;
        EXPECT_NEAR(sim.samples[i].roll_rate, 0, 1e-3) << i;
    }
}

TEST(RollReading, TrackStartingStraightUpCarriesAFrameFromItsFirstPoint) {
    // Straight up for 30 m, then over into the level: world up says nothing about the first curve's bank.
    const Track climb =
        ridetracks::FromNodes({{{0, 0, 0}, {0, 30, 0}}, {{0, 30, 0}, {0, 15, 0}}, {{10, 40, 0}, {15, 0, 0}}});
    const auto rails = PrepareRails(Vertices(climb), RollReading::kSimulator);
    std::optional<RailPoint> prev;
    for (const auto& curve : rails) {
        for (int k = 0; k <= 100; ++k) {
            const RailPoint p = EvaluateRail(curve, 1.0, k / 100.0);
            EXPECT_NEAR(Norm(p.down), 1, 1e-12) << k;
            EXPECT_NEAR(Dot(p.down, p.tangent), 0, 1e-12) << k;
            if (prev) {
                EXPECT_LT(Norm(p.down - prev->down), 0.05) << k;
            }
            prev = p;
        }
    }
}

TEST(RollReading, SeatAlignedLoopRidesWithoutLateralAndItsFrameIsContinuous) {
    const Track loop = ridetracks::SeatAlignedLoop();
    const RideReport sim = Ride(loop, RollReading::kSimulator, 22);
    const RideReport des = Ride(loop, RollReading::kDesigner, 22);
    ASSERT_TRUE(sim.status.ok() && des.status.ok()) << sim.status.message() << des.status.message();
    // Everything happens in one plane: nothing pushes sideways.
    EXPECT_LT(sim.summary.lateral_max, 1e-3);
    EXPECT_GT(des.summary.lateral_max, 1.0);  // the zero-roll frame turns over on the vertical sides

    // Neighbouring points 2 to 3 cm apart, vertices included, never jump.
    for (RollReading reading : {RollReading::kSimulator, RollReading::kDesigner}) {
        double largest = 0;
        std::optional<RailPoint> prev;
        for (const auto& curve : PrepareRails(Vertices(loop), reading)) {
            for (int k = 0; k <= 250; ++k) {
                const RailPoint p = EvaluateRail(curve, 1.0, k / 250.0);
                if (prev) largest = std::max(largest, Norm(p.down - prev->down));
                prev = p;
            }
        }
        if (reading == RollReading::kSimulator)
            EXPECT_LT(largest, 0.02);
        else
            EXPECT_GT(largest, 0.5);
    }
}

TEST(RollReading, UniformFlaggedHelixTwistsAtAConstantRate) {
    // A constant bank on a helix turns against a frame carried without twist
    // at sin(pitch) radians per radian of turn: 30 degrees at 45 degrees of pitch.
    const double expected = ridetracks::kPi / 6 * std::sin(ridetracks::kPi / 4);
    const Track helix = ridetracks::SteepFlaggedHelix();
    const auto rails = PrepareRails(Vertices(helix), RollReading::kSimulator);
    ASSERT_EQ(rails.size(), 12u);
    EXPECT_NEAR(EvaluateRail(rails.front(), 1.0, 0).roll.d, 0, 1e-12);  // the ride starts at rate 0
    EXPECT_NEAR(EvaluateRail(rails.back(), 1.0, 1).roll.d, 0, 1e-12);   // and ends at 0
    for (std::size_t c = 1; c + 1 < rails.size(); ++c) {
        for (double t : {0.0, 0.3, 0.5, 0.9, 1.0}) {
            const RailPoint p = EvaluateRail(rails[c], 1.0, t);
            EXPECT_NEAR(std::abs(p.roll.d), expected, 2e-3) << c << " " << t;
            EXPECT_NEAR(p.roll.v, 0.5, 1e-3) << c << " " << t;  // the bank against world up holds
        }
    }
}

TEST(RollReading, RelativeRollAddsATwistEvenOnAVerticalTangent) {
    Track straight = test::StraightTrack(3, 10);
    straight.bezr.vertices[1].relative_roll = straight.bezr.vertices[2].relative_roll = true;
    straight.bezr.vertices[1].roll = straight.bezr.vertices[2].roll = 0.4f;
    straight.bezr.vertices[3].roll = 0.8f;
    const auto rails = PrepareRails(Vertices(straight), RollReading::kSimulator);
    EXPECT_NEAR(EvaluateRail(rails[0], 1.0, 1).roll.v, 0.4, 1e-6);
    EXPECT_NEAR(EvaluateRail(rails[1], 1.0, 1).roll.v, 0.8, 1e-6);
    EXPECT_NEAR(EvaluateRail(rails[2], 1.0, 0.5).roll.v, 0.8, 1e-6);

    // A first curve of zero length, where no frame can start, does not lose it for the rest of the ride.
    Track stutter = test::StraightTrack(3, 10);
    stutter.bezr.vertices.insert(stutter.bezr.vertices.begin(), stutter.bezr.vertices[0]);
    stutter.bezr.vertices[0].control_next = stutter.bezr.vertices[1].control_prev = stutter.bezr.vertices[0].position;
    stutter.bezr.vertex_count = 5;
    const auto after = PrepareRails(Vertices(stutter), RollReading::kSimulator);
    EXPECT_NEAR(EvaluateRail(after[2], 1.0, 0.5).down.y, -1, 1e-9);

    // On the loop's vertical side the twist turns the seat out of the loop's plane by just that much.
    Track loop = ridetracks::SeatAlignedLoop();
    loop.bezr.vertices[3].roll = 0.3f;
    const auto loop_rails = PrepareRails(Vertices(loop), RollReading::kSimulator);
    const RailPoint side = EvaluateRail(loop_rails[2], 1.0, 1);
    EXPECT_NEAR(side.tangent.y, 1, 1e-6);
    EXPECT_NEAR(std::abs(side.down.z), std::sin(0.3), 1e-5);
    EXPECT_NEAR(side.down.x, std::cos(0.3), 1e-5);  // outward from the loop's centre
}


TEST(ClosedCircuit, BankedRingRidesTheClosingCurveLikeTheOthers) {
    // Heart radius 40 m banked to its seat angle at 20 m/s: no lateral force all the way round.
    const double v = 20, heart_radius = 40, bank = std::atan(v * v / (9.81 * heart_radius));
    const Track ring = test::SeatBankedCircle(heart_radius, v, 7, true);  // the closing curve is the eighth arc
    const RideReport sim = Ride(ring, RollReading::kSimulator, v);
    ASSERT_TRUE(sim.status.ok()) << sim.status.message();
    EXPECT_NEAR(sim.summary.length, 2 * ridetracks::kPi * heart_radius, 0.05);  // once round, closing curve included
    EXPECT_EQ(sim.samples.back().curve, 7);
    for (const RideSample& s : sim.samples) {
        EXPECT_NEAR(s.roll, bank * 180 / ridetracks::kPi, 0.01) << s.s;
        EXPECT_NEAR(s.roll_rate, 0, 0.01) << s.s;
        EXPECT_NEAR(s.lateral, 0, 0.01) << s.s;
    }
    // The designer reading keeps reading the vertices as an open track.
    EXPECT_NEAR(Ride(ring, RollReading::kDesigner, v).summary.length, 7 * ridetracks::kPi * heart_radius / 4, 0.05);
}

TEST(ClosedCircuit, LoopAndReturnClosesOnTheFirstVertexFrameAndJoinsItsRates) {
    Track circuit = ridetracks::LoopAndReturnCircuit();
    const std::size_t n = circuit.bezr.vertices.size();
    for (bool flagged : {false, true}) {
        circuit.bezr.vertices[0].roll_flag = flagged;
        const auto rails = PrepareRails(Vertices(circuit), RollReading::kSimulator, true);
        ASSERT_EQ(rails.size(), n);
        const auto& closing = rails.back().twist;
        EXPECT_NEAR(rails.back().carried.length, 15, 1e-4);
        EXPECT_NEAR(closing.change, -0.4, 1e-6);  // the last vertex's bank rolled out to the first's
        // The frame arrives on the first vertex's own, and the seat-aligned loop still rides in its plane.
        const RailPoint end = EvaluateRail(rails.back(), 1.0, 1), start = EvaluateRail(rails.front(), 1.0, 0);
        EXPECT_NEAR(Norm(end.down - start.down), 0, 1e-6);
        EXPECT_NEAR(EvaluateRail(rails[5], 1.0, 0).down.y, 1, 1e-6);  // upside down at the top
        // Through the joint the rate is continuous when the first vertex asks for it: the
        // length-weighted turn of the two curves (closing 15 m, -0.4 rad; run-in 30 m, none).
        const double joint = flagged ? 15 * -0.4 / 45 : 0;
        EXPECT_NEAR(closing.end_rate, joint, 1e-3);
        EXPECT_EQ(rails.front().twist.start_rate, closing.end_rate);
    }
    // Read open, the ride ends at the last vertex: the closing straight adds its 15 m (and a little
    // for the hearts swinging as it rolls); up to the last vertex nothing else changes.
    circuit.bezr.vertices[0].roll_flag = false;
    const RideReport closed = Ride(circuit, RollReading::kSimulator, 22);
    circuit.segm.flag = false;
    const RideReport open = Ride(circuit, RollReading::kSimulator, 22);
    ASSERT_TRUE(closed.status.ok() && open.status.ok()) << closed.status.message() << open.status.message();
    EXPECT_GT(closed.summary.length - open.summary.length, 15);
    EXPECT_LT(closed.summary.length - open.summary.length, 15.05);
    for (std::size_t i = 0; i + 1 < open.samples.size(); ++i) EXPECT_EQ(open.samples[i].lateral, closed.samples[i].lateral);
}

}  // namespace
}  // namespace torvix::ride
