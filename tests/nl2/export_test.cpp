// The export against answers known without it: a straight, a circle banked
// to its seat angle, a loop, a closed ring.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "nl2/element.h"
#include "nl2/element_export.h"
#include "nl2/element_track.h"
#include "ride/ride_report.h"
#include "support/ride_tracks.h"
#include "support/track_builders.h"

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::nl2 {
namespace {

constexpr double kPi = 3.14159265358979323846;

ElementTrack ReadBack(const ExportResult& exported) {
    EXPECT_TRUE(exported.status.ok()) << exported.status.message();
    const base::Result<Element> e = ParseElementXml(ElementXml(exported.element));
    EXPECT_TRUE(e.ok()) << e.error();
    base::Result<ElementTrack> track = e.ok() ? ElementTrack::Build(*e) : e.status();
    EXPECT_TRUE(track.ok()) << track.error();
    return std::move(track).value();
}

// The largest distance from a sample to the element's curve, found by sliding along it.
double WorstSampleMiss(const ExportResult& exported, const ElementTrack& track) {
    double worst = 0, s = 0;
    const double step = track.length() / static_cast<double>(exported.samples.size() - 1);
    for (const auto& q : exported.samples) {
        Frame f;
        for (int it = 0; it < 6; ++it) {
            f = track.FrameAtDistance(s);
            s += Dot(q - f.point, f.forward);
        }
        f = track.FrameAtDistance(s);
        worst = std::max(worst, Norm(q - f.point));
        s += step * 0.5;
    }
    return worst;
}

TEST(ElementExport, StraightIsOneStrictPairLevelAllAlong) {
    const ExportResult e = ExportElement(test::StraightTrack(4, 10, 5.0), {1.2, 2.0});
    ASSERT_TRUE(e.status.ok()) << e.status.message();
    ASSERT_EQ(e.element.vertices.size(), 2u);
    EXPECT_EQ(e.element.vertices[0], (ElementVertex{0, 6.2, 0, true}));
    EXPECT_EQ(e.element.vertices[1], (ElementVertex{40, 6.2, 0, true}));
    ASSERT_EQ(e.element.rolls.size(), 21u);
    for (std::size_t i = 0; i < e.element.rolls.size(); ++i) {
        const RollPoint& r = e.element.rolls[i];
        EXPECT_NEAR(r.coord, i / 20.0, 1e-9);
        EXPECT_NEAR(r.up.y, 1, 1e-12);    // level
        EXPECT_NEAR(r.right.z, 1, 1e-12);  // heading +x, right is +z
    }
    EXPECT_NE(e.element.description.find("1.20 m"), std::string::npos);
}

TEST(ElementExport, CircleAtItsSeatAngleReadsBackBankedAndWithoutLateral) {
    const double r = 40, v = 20, seat = std::atan(v * v / (9.81 * r));
    const ExportResult e = ExportElement(test::SeatBankedCircle(r, v, 6, false), {1.0, 2.0});
    const ElementTrack track = ReadBack(e);
    EXPECT_LT(WorstSampleMiss(e, track), 1e-5);
    for (double s = 0; s <= track.length(); s += 0.25) {
        const Frame f = track.FrameAtDistance(s);
        EXPECT_NEAR(std::hypot(f.point.x, f.point.z), r, 0.005) << s;
        EXPECT_NEAR(std::atan2(-f.left.y, f.up.y), seat, 0.2 * kPi / 180) << s;
    }
    const ride::RideReport ride = ride::MeasureRide(track, {1.0, v, v, 0.5});
    ASSERT_TRUE(ride.status.ok()) << ride.status.message();
    EXPECT_LT(ride.summary.lateral_max, 0.02);
    EXPECT_NEAR(ride.summary.vertical_min, std::hypot(1.0, v * v / (9.81 * r)), 0.02);
}

TEST(ElementExport, LoopIsUpsideDownAtItsTop) {
    const ExportResult e = ExportElement(ridetracks::SeatAlignedLoop(), {1.0, 2.0});
    const ElementTrack track = ReadBack(e);
    EXPECT_LT(WorstSampleMiss(e, track), 1e-5);
    Frame top = track.FrameAtDistance(0);
    for (double s = 0; s <= track.length(); s += 0.05) {
        const Frame f = track.FrameAtDistance(s);
        if (f.point.y > top.point.y) top = f;
    }
    EXPECT_NEAR(top.point.y, 16 - 1, 0.01);  // hearts 1 m inside the rails' 16 m
    EXPECT_NEAR(top.up.y, -1, 1e-4);
}

TEST(ElementExport, ClosedRingClosesAndRidesWithoutLateralAllRound) {
    const double r = 40, v = 20, seat = std::atan(v * v / (9.81 * r));
    const ExportResult e = ExportElement(test::SeatBankedCircle(r, v, 7, true), {1.0, 2.0});
    EXPECT_TRUE(e.closed);
    EXPECT_NEAR(e.length, 2 * kPi * r, 0.01);  // the closing curve is the eighth arc
    const ElementVertex& a = e.element.vertices.front();
    const ElementVertex& b = e.element.vertices.back();
    EXPECT_LT(std::hypot(a.x - b.x, a.y - b.y, a.z - b.z), 1e-5);
    const ElementTrack track = ReadBack(e);
    const Frame first = track.FrameAtDistance(0), last = track.FrameAtDistance(track.length());
    EXPECT_NEAR(Norm(first.up - last.up), 0, 1e-5);
    const ride::RideReport ride = ride::MeasureRide(track, {1.0, v, v, 0.5});
    ASSERT_TRUE(ride.status.ok()) << ride.status.message();
    EXPECT_LT(ride.summary.lateral_max, 0.02);
    for (const ride::RideSample& s : ride.samples) EXPECT_NEAR(s.roll, seat * 180 / kPi, 0.2) << s.s;
}

TEST(ElementExport, RefusesWhatItCannotExport) {
    const Track straight = test::StraightTrack(2, 10);
    for (double spacing : {0.4, 10.5, std::nan("")}) EXPECT_FALSE(ExportElement(straight, {1.0, spacing}).status.ok()) << spacing;
    EXPECT_FALSE(ExportElement(straight, {std::nan(""), 2.0}).status.ok());
    Track broken = straight;
    broken.bezr.vertices[1].position.y = INFINITY;
    EXPECT_FALSE(ExportElement(broken, {}).status.ok());
    Track point = straight;
    for (BezierVertex& x : point.bezr.vertices) x.position = x.control_prev = x.control_next = {1, 2, 3};
    EXPECT_EQ(ExportElement(point, {0.0, 2.0}).status.message(), "The heart line has no length.");
}

}  // namespace
}  // namespace torvix::nl2
