// The refined banking mode against answers known without it: rolls of a
// planar track, an airtime crest after a turn, a steady banked turn, a
// smoothing count of 0 beside 40, and a valley.
#include <gtest/gtest.h>

#include "texts/display_texts.h"

#include <cmath>

#include "support/ride_tracks.h"
#include "refined/refined_internal.h"
#include "refined/solver_modes.h"
#include "support/track_builders.h"
#include "heartline/track_length.h"
#include "ride/ride_report.h"

using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::texts;
using namespace torvix::track;

namespace torvix {
namespace {

constexpr double kDeg = 180 / ridetracks::kPi;

struct RefinedRun {
    SolveResult result;
    Track track;
    ride::RideReport report;
    std::vector<std::string> gradients;
    std::vector<std::pair<long, long>> progress;
};

RefinedRun Refine(const Track& input, int segments, int precision, double start, double end, int filter = 15) {
    RefinedRun run;
    run.track = input;
    double length = 0;
    length = TrackLength(run.track).value();
    HeartlineParams p;
    p.segments = segments;
    p.precision = precision;
    p.filter = filter;
    p.heartline = 1.0;
    p.start_speed = start;
    p.end_speed = end;
    SolverObserver observer;
    observer.display_gradient = [&run](double friction) { run.gradients.push_back(FormatFriction(friction)); };
    observer.progress = [&run](long count, long total) { run.progress.emplace_back(count, total); };
    run.result = SolveHeartlineRefined(run.track, length, p, observer);
    // Measured as the simulator reads the rolls, the reading the mode fits for.
    if (run.result.status.ok()) run.report = ride::MeasureRide(run.track, {1.0, start, end, 0.25, railframe::RollReading::kSimulator});
    return run;
}

// A level left turn of 90 degrees that runs straight on over a hill shaped
// to throw the riders up at its crest.
Track TurnIntoCrest() {
    ridetracks::FlatCourse course;
    course.Straight(20, 1).Turn(30, ridetracks::kPi / 2, 3).Straight(10, 1);
    std::vector<ridetracks::Node> nodes = course.nodes();
    const ridetracks::Node end = nodes.back();  // heading -z from here
    const double h = 12, w = 24, step = 2 * w / 8;
    for (int i = 1; i <= 8; ++i) {
        const double x = -w + i * step;
        const double y = h / 2 * (1 + std::cos(ridetracks::kPi * x / w));
        const double slope = -h / 2 * ridetracks::kPi / w * std::sin(ridetracks::kPi * x / w);
        nodes.push_back({{end.p[0], y, end.p[2] - (x + w)}, {0, slope * step, -step}});
    }
    nodes.back().d[1] = 0;
    nodes.push_back({{end.p[0], 0, end.p[2] - 2 * w - 30}, {0, 0, -30}});
    return ridetracks::FromNodes(nodes);
}

TEST(Refined, PlanarTracksKeepEveryRollExactlyZero) {
    for (auto [segments, precision] : {std::pair{60, 6}, std::pair{200, 16}}) {
        for (const Track& input : {ridetracks::AirtimeCamelback(), test::HillTrack(10), test::StraightTrack(4, 50)}) {
            const RefinedRun run = Refine(input, segments, precision, 20, 19);
            ASSERT_TRUE(run.result.status.ok()) << run.result.status.message();
            for (Long i = 0; i < run.track.bezr.vertex_count; ++i) {
                EXPECT_EQ(run.track.bezr.vertices[i].roll, 0.0f) << i;
                EXPECT_EQ(run.track.bezr.vertices[i].position.z, 0.0f) << i;
            }
            ASSERT_TRUE(run.report.status.ok()) << run.report.status.message();
            EXPECT_LT(run.report.summary.lateral_max, 1e-6);
        }
    }
    // The camelback's crest is ridden upright, floating.
    const RefinedRun run = Refine(ridetracks::AirtimeCamelback(), 60, 6, 20, 19);
    EXPECT_LT(run.report.summary.vertical_min, -0.3);
    EXPECT_GT(run.report.summary.airtime, 0.3);
}

TEST(Refined, CrestEnteredFromACurveStaysUpright) {
    const Track input = TurnIntoCrest();
    // The input as drawn throws the riders up over its crest.
    const ride::RideReport drawn = ride::MeasureRide(input, {0.0, 20, 19, 0.25});
    ASSERT_TRUE(drawn.status.ok()) << drawn.status.message();
    ASSERT_LT(drawn.summary.vertical_min, -0.3);
    for (auto [segments, precision] : {std::pair{60, 6}, std::pair{200, 16}}) {
        const RefinedRun run = Refine(input, segments, precision, 20, 19);
        ASSERT_TRUE(run.result.status.ok()) << run.result.status.message();
        ASSERT_TRUE(run.report.status.ok()) << run.report.status.message();
        bool crest_seen = false;
        for (const ride::RideSample& s : run.report.samples) {
            if (s.vertical >= 0) continue;
            crest_seen = true;
            EXPECT_LT(std::abs(s.roll), 5.0) << "floating inverted at " << s.s;
        }
        EXPECT_TRUE(crest_seen);
        // Upright all the way: the turn banks toward its inside only.
        for (const ride::RideSample& s : run.report.samples) EXPECT_LT(std::abs(s.roll), 60.0) << s.s;
    }
}

TEST(Refined, HardAirtimeIsFloatedUprightNotTurnedOver) {
    // The crest throws the riders up harder than they may float seated; the
    // riders still float it upright, as on any airtime hill.
    const RefinedRun run = Refine(ridetracks::AirtimeDrop(), 60, 6, 20, 27);
    ASSERT_TRUE(run.result.status.ok()) << run.result.status.message();
    ASSERT_TRUE(run.report.status.ok()) << run.report.status.message();
    for (Long i = 0; i < run.track.bezr.vertex_count; ++i)
        EXPECT_LE(std::abs(run.track.bezr.vertices[i].roll) * kDeg, 10.0) << i;
    EXPECT_LT(run.report.summary.vertical_min, -1.5);
    EXPECT_EQ(run.report.summary.unasked_roll, 0);
}

TEST(Refined, ClosedCircuitsStayClosedAndRideTheirJointLikeAnyVertex) {
    // A level ring drawn closed: the new track closes too, one vertex per
    // curve, banked to the seat all the way round, the joint included.
    const double speed = 15, radius = 30;
    Track ring = test::CircleTrack(radius, 8);
    ring.bezr.vertices.pop_back();  // the closing curve runs from the eighth vertex back to the first
    ring.bezr.vertex_count = 8;
    ring.segm.flag = true;
    const RefinedRun run = Refine(ring, 40, 6, speed, speed);
    ASSERT_TRUE(run.result.status.ok()) << run.result.status.message();
    EXPECT_EQ(run.track.bezr.vertex_count, 40);
    EXPECT_EQ(run.track.segm.segment_count, 40);
    ASSERT_TRUE(run.report.status.ok()) << run.report.status.message();
    EXPECT_NEAR(run.report.summary.length, 2 * ridetracks::kPi * radius, 0.05);  // once round, closing curve included
    EXPECT_LT(run.report.summary.lateral_max, 0.02);
    const double bank = std::atan(speed * speed / (9.81 * radius)) * kDeg;
    for (Long i = 0; i < run.track.bezr.vertex_count; ++i)
        EXPECT_NEAR(std::abs(run.track.bezr.vertices[i].roll) * kDeg, bank, 0.2) << i;
    // A loop and its return: the joint rides like the rest.
    const RefinedRun circuit = Refine(ridetracks::LoopAndReturnCircuit(), 200, 16, 22, 21);
    ASSERT_TRUE(circuit.result.status.ok()) << circuit.result.status.message();
    ASSERT_TRUE(circuit.report.status.ok()) << circuit.report.status.message();
    EXPECT_EQ(circuit.report.summary.unasked_roll, 0);
    // Within 5 m of the joint: a few tenths of a g and a roll no faster than anywhere.
    for (const ride::RideSample& s : circuit.report.samples) {
        if (s.s > 5 && s.s < circuit.report.summary.length - 5) continue;
        EXPECT_LT(std::abs(s.lateral), 0.5) << s.s;
        EXPECT_LE(std::abs(s.roll_rate), refined::RefinedTuning{}.roll_rate_limit) << s.s;
    }
}

TEST(Refined, SteadyTurnSettlesToTheCentrifugalBank) {
    // R = 50 m at a constant 20 m/s: bank atan(v^2 / gR) = 39.2 degrees, no lateral.
    const double expected = std::atan(400.0 / (9.81 * 50)) * kDeg;
    for (auto [segments, precision] : {std::pair{40, 6}, std::pair{120, 12}}) {
        const RefinedRun run = Refine(test::CircleTrack(50, 16), segments, precision, 20, 20);
        ASSERT_TRUE(run.result.status.ok()) << run.result.status.message();
        for (Long i = 2; i + 2 < run.track.bezr.vertex_count; ++i)
            EXPECT_NEAR(std::abs(run.track.bezr.vertices[i].roll) * kDeg, expected, 0.1) << i;
        ASSERT_TRUE(run.report.status.ok());
        EXPECT_LT(run.report.summary.lateral_max, 0.02);
        EXPECT_NEAR(run.report.summary.vertical_max, std::hypot(1.0, 400.0 / (9.81 * 50)), 0.01);
    }
}

TEST(Refined, CountOfZeroBesideFortyKeepsTheRollRateBound) {
    // A force-banked turn smoothed with count 40 ends where a designer curve
    // (roll 0) with count 0 begins: a step of about 40 degrees.
    ridetracks::FlatCourse course;
    course.Straight(40, 2).Turn(40, ridetracks::kPi / 2, 3).Straight(60, 3);
    std::vector<ridetracks::CurveColours> colours(8, {ridetracks::kWhite, 40});
    for (int i = 5; i < 8; ++i) colours[i] = {0, 0};
    const Track input = ridetracks::FromNodes(course.nodes(), colours);
    const double bound = refined::RefinedTuning{}.roll_rate_limit;
    for (auto [segments, precision] : {std::pair{60, 6}, std::pair{200, 16}}) {
        const RefinedRun run = Refine(input, segments, precision, 20, 19);
        ASSERT_TRUE(run.result.status.ok()) << run.result.status.message();
        EXPECT_EQ(run.result.filter, 40);
        ASSERT_TRUE(run.report.status.ok());
        EXPECT_LE(run.report.summary.roll_rate_max, bound);
        EXPECT_GT(run.report.summary.roll_rate_max, 20);  // the step is there to be bounded
    }
    // With no smoothing asked for anywhere, the bound alone keeps the S-bends of
    // the mixed course from snapping over.
    Track bare = ridetracks::MixedColours();
    for (Segment& s : bare.segm.segments) s.color_2 = 0;
    const RefinedRun run = Refine(bare, 60, 6, 20, 19, 0);
    ASSERT_TRUE(run.result.status.ok()) << run.result.status.message();
    EXPECT_LE(run.report.summary.roll_rate_max, bound * 1.2);
}

TEST(Refined, LoopsAndSteepTurnsRideAsTheSimulatorReadsThem) {
    // A planar loop whose drawn rolls are seat-aligned: the carried frame needs
    // no twist, so the rebuilt loop rides without lateral force.
    for (auto [segments, precision] : {std::pair{60, 6}, std::pair{200, 16}}) {
        const RefinedRun run = Refine(ridetracks::SeatAlignedLoop(), segments, precision, 22, 21);
        ASSERT_TRUE(run.result.status.ok()) << run.result.status.message();
        ASSERT_TRUE(run.report.status.ok()) << run.report.status.message();
        EXPECT_LE(run.report.summary.lateral_rms, 0.1) << segments;
        EXPECT_LE(run.report.summary.lateral_max, 1.0) << segments;
        EXPECT_GT(run.report.summary.vertical_max, 3.0);  // the loop is there
        // The carried frame stays whole wherever a sample falls, hearts on the drawn path.
        EXPECT_LT(ride::HeartDeviationMax(run.report, ridetracks::SeatAlignedLoop()), 0.05) << segments;
        // Vertices on or near the vertical sides write a twist increment; the
        // planar loop needs none.
        int relative = 0;
        for (Long i = 0; i < run.track.bezr.vertex_count; ++i) {
            const BezierVertex& v = run.track.bezr.vertices[i];
            if (!v.relative_roll) continue;
            ++relative;
            EXPECT_NEAR(v.roll, 0.0, 1e-3) << i;
            const Vector3 d{v.control_next.x - v.position.x, v.control_next.y - v.position.y, v.control_next.z - v.position.z};
            EXPECT_LT(std::hypot(d.x, d.z) / std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z), 0.1) << i;
        }
        EXPECT_GE(relative, 2);
    }
    // The designer's own roll (colour 0) is read as the simulator shows it: the
    // loop's seat-aligned rolls, relative twists on its vertical sides
    // included, give the same clean ride as force-aligned banking.
    Track designed = ridetracks::SeatAlignedLoop();
    for (Segment& s : designed.segm.segments) s.color_1 = 0;
    const RefinedRun own = Refine(designed, 200, 16, 22, 21);
    ASSERT_TRUE(own.result.status.ok()) << own.result.status.message();
    ASSERT_TRUE(own.report.status.ok()) << own.report.status.message();
    EXPECT_LE(own.report.summary.lateral_max, 0.1);
    // A loop drifting sideways and a helix descending at 45 degrees (flagged)
    // need a twist along the carried frame.
    struct Case {
        Track track;
        double speed_in, speed_out, rms, max;
    };
    for (const Case& c : {Case{ridetracks::VerticalLoop(), 22, 21, 0.3, 3.0},
                          Case{ridetracks::SteepFlaggedHelix(), 15, 15, 0.1, 1.5}}) {
        for (auto [segments, precision] : {std::pair{60, 6}, std::pair{200, 16}}) {
            const RefinedRun run = Refine(c.track, segments, precision, c.speed_in, c.speed_out);
            ASSERT_TRUE(run.result.status.ok()) << run.result.status.message();
            ASSERT_TRUE(run.report.status.ok()) << run.report.status.message();
            EXPECT_LE(run.report.summary.lateral_rms, c.rms) << segments;
            EXPECT_LE(run.report.summary.lateral_max, c.max) << segments;
        }
    }
}

TEST(Refined, RunsLikeTheLiteralSolverOutside) {
    const Track input = test::HillTrack(10);
    double length = 0;
    length = TrackLength(input).value();
    RefinedRun run = Refine(input, 12, 6, 20, 17);
    ASSERT_TRUE(run.result.status.ok()) << run.result.status.message();
    // The friction text once, before any progress, as the literal run shows it.
    Track literal = input;
    std::vector<std::string> literal_gradients;
    SolverObserver observer;
    observer.display_gradient = [&](double friction) { literal_gradients.push_back(FormatFriction(friction)); };
    HeartlineParams p;
    p.segments = 12, p.precision = 6, p.start_speed = 20, p.end_speed = 17;
    ASSERT_TRUE(SolveHeartline(literal, length, p, observer).status.ok());
    EXPECT_EQ(run.gradients, literal_gradients);
    ASSERT_FALSE(run.progress.empty());
    for (std::size_t i = 0; i < run.progress.size(); ++i) EXPECT_EQ(run.progress[i].first, long(i) + 1);
    EXPECT_EQ(run.progress.back().first, run.progress.back().second);
    // The commit: spline, segments, supports and banner as the literal commit writes them.
    EXPECT_EQ(run.track.bezr.vertex_count, 13);
    EXPECT_EQ(run.track.segm.segment_count, 12);
    EXPECT_EQ(run.track.segm.segments.size(), 13u);
    EXPECT_EQ(run.track.rasc.entry_count, 0);
    EXPECT_EQ(run.track.info.info_text, literal.info.info_text);
    EXPECT_EQ(run.track.bezr.vertices.back().position, Vector3{});
    // The ends stay where the path begins and ends, a heartline below it.
    EXPECT_NEAR(run.track.bezr.vertices[0].position.y, -1.0, 1e-3);
    EXPECT_NEAR(run.track.bezr.vertices[12].position.x, 160.0, 1e-3);
}

TEST(Refined, ValleysFailLikeTheLiteralRunAndLeaveTheTrack) {
    const Track input = test::HillTrack(25);
    double length = 0;
    length = TrackLength(input).value();
    HeartlineParams p;
    p.start_speed = 12;
    p.end_speed = 10;
    Track literal = input;
    const SolveResult literal_result = SolveHeartline(literal, length, p);
    ASSERT_FALSE(literal_result.status.ok());
    Track refined = input;
    const SolveResult result = SolveHeartlineRefined(refined, length, p);
    EXPECT_FALSE(result.status.ok());
    EXPECT_EQ(result.status.message(), literal_result.status.message());
    EXPECT_EQ(result.status.message(), kValleyMessage);
    EXPECT_TRUE(refined == input);
    // Enough speed carries it over.
    p.start_speed = 25;
    p.end_speed = 20;
    EXPECT_TRUE(SolveHeartlineRefined(refined, length, p).status.ok());
}

}  // namespace
}  // namespace torvix
