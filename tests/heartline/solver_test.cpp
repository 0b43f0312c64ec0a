#include <gtest/gtest.h>

#include <cmath>

#include "texts/display_texts.h"
#include "heartline/solver.h"
#include "support/track_builders.h"
#include "heartline/track_length.h"

using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::texts;
using namespace torvix::track;

namespace torvix {
namespace {

struct RunOutcome {
    SolveResult result;
    std::vector<std::string> gradients;
    std::vector<std::pair<long, long>> progress;
};

RunOutcome Solve(Track& track, const HeartlineParams& params, double length = -1) {
    if (length < 0) length = TrackLength(track).value();
    RunOutcome run;
    SolverObserver observer;
    observer.display_gradient = [&run](double friction) { run.gradients.push_back(FormatFriction(friction)); };
    observer.progress = [&run](long count, long total) { run.progress.emplace_back(count, total); };
    run.result = SolveHeartline(track, length, params, observer);
    return run;
}

using test::Params;

TEST(Solve, LevelStraightTrackMovesDownByTheHeartline) {
    Track track = test::StraightTrack(5, 100);
    const RunOutcome run = Solve(track, Params(10, 6, 12, 1.1, 20, 20));
    ASSERT_TRUE(run.result.status.ok()) << run.result.status.message();
    ASSERT_EQ(run.gradients, std::vector<std::string>{"0.000000"});
    ASSERT_EQ(track.bezr.vertex_count, 11);
    for (int i = 0; i <= 10; ++i) {
        const BezierVertex& v = track.bezr.vertices[i];
        for (const Vector3& p : {v.position, v.control_prev, v.control_next}) {
            EXPECT_EQ(p.y, -1.1f) << i;
            EXPECT_EQ(p.z, 0.0f) << i;
        }
        EXPECT_EQ(v.roll, 0.0f) << i;
        EXPECT_TRUE(v.roll_flag) << i;
        EXPECT_LT(v.control_prev.x, v.position.x) << i;
        EXPECT_GT(v.control_next.x, v.position.x) << i;
    }
    EXPECT_NEAR(track.bezr.vertices[0].position.x, 0, 1e-6);
    EXPECT_NEAR(track.bezr.vertices[5].position.x, 250, 0.1);
    EXPECT_FLOAT_EQ(track.bezr.vertices[10].position.x, 500);
}

TEST(Solve, DesignerRollComesBackAsTheVertexRoll) {
    const float quarter = float(3.14159265358979 / 2);
    Track track = test::StraightTrack(4, 50, 0, quarter, /*color_1=*/0);
    const RunOutcome run = Solve(track, Params(8, 5, 10, 1.0, 15, 15));
    ASSERT_TRUE(run.result.status.ok()) << run.result.status.message();
    for (int i = 0; i <= 8; ++i) EXPECT_NEAR(track.bezr.vertices[i].roll, quarter, 1e-5) << i;
    // Banked a quarter turn, the rails lie beside the heart line, not below it.
    EXPECT_NEAR(track.bezr.vertices[4].position.y, 0, 1e-5);
    EXPECT_NEAR(track.bezr.vertices[4].position.z, 1, 1e-5);
}

TEST(Solve, CommitsCountsBannerAndEmptiedRasc) {
    Track track = test::StraightTrack(3, 100);
    track.segm.segments[0].color_2 = 7;
    track.segm.segments[2].segment_type = 3;
    track.rasc.entry_count = 3;
    track.rasc.entries.resize(3);
    track.info.info_text = "mine";
    const Track before = track;
    const RunOutcome run = Solve(track, Params(6, 4, 15, 1.0, 20, 17));
    ASSERT_TRUE(run.result.status.ok()) << run.result.status.message();
    EXPECT_EQ(track.info.info_text, "--- Torvix V1.6 ---");
    EXPECT_EQ(track.bezr.vertex_count, 7);
    EXPECT_EQ(track.segm.segment_count, 6);
    ASSERT_EQ(track.segm.segments.size(), 7u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(track.segm.segments[i], before.segm.segments[i]);
    for (int i = 3; i <= 6; ++i) EXPECT_EQ(track.segm.segments[i], Segment{});
    EXPECT_EQ(track.rasc.entry_count, 0);
    EXPECT_EQ(track.rasc.entries, before.rasc.entries);
    EXPECT_EQ(track.trck, before.trck);
    EXPECT_EQ(track.fund, before.fund);
}

TEST(Solve, FilterComesBackRaisedOnlyByExplicitCounts) {
    Track plain = test::StraightTrack(3, 100);
    EXPECT_EQ(Solve(plain, Params(6, 4, 12, 1.0, 20, 17)).result.filter, 12);
    Track asking = test::StraightTrack(3, 100);
    asking.segm.segments[1].color_2 = 40;
    const RunOutcome run = Solve(asking, Params(6, 4, 12, 1.0, 20, 17));
    ASSERT_TRUE(run.result.status.ok());
    EXPECT_EQ(run.result.filter, 40);
}

TEST(Solve, ProgressCountsSamplesPassesAndFittingPoints) {
    Track track = test::StraightTrack(3, 100);
    const RunOutcome run = Solve(track, Params(6, 4, 12, 1.0, 20, 17));
    ASSERT_TRUE(run.result.status.ok());
    const int n = 24;
    ASSERT_FALSE(run.progress.empty());
    for (std::size_t i = 0; i < run.progress.size(); ++i) EXPECT_EQ(run.progress[i].first, long(i + 1));
    EXPECT_EQ(run.progress.front().second, 2 * n + 6 + 12 + 3);
    const long samples = long(run.progress.size()) - 12 - 6 * 5;
    EXPECT_TRUE(samples == n + 1 || samples == n + 2) << samples;
    EXPECT_EQ(run.progress.back().second, 2 * n + 6 + 12 + 3);
}

TEST(Solve, FilterZeroRunsNoPass) {
    Track track = test::StraightTrack(3, 100);
    const RunOutcome run = Solve(track, Params(6, 4, 0, 1.0, 20, 17));
    ASSERT_TRUE(run.result.status.ok());
    EXPECT_EQ(run.result.filter, 0);
    const long samples = long(run.progress.size()) - 6 * 5;
    EXPECT_TRUE(samples == 25 || samples == 26) << samples;
}

TEST(Solve, ValleyFailsAndLeavesTheTrackUnchanged) {
    Track track = test::HillTrack(30);
    const Track before = track;
    const RunOutcome run = Solve(track, Params(10, 5, 10, 1.0, 5, 5));
    EXPECT_FALSE(run.result.status.ok());
    EXPECT_EQ(run.result.status.message(), kValleyMessage);
    EXPECT_EQ(track, before);
    EXPECT_EQ(run.gradients.size(), 1u);  // shown before sampling
}

TEST(Solve, SameHillWithEnoughSpeedSucceeds) {
    Track track = test::HillTrack(30);
    const RunOutcome run = Solve(track, Params(10, 5, 10, 1.0, 28, 28));
    ASSERT_TRUE(run.result.status.ok()) << run.result.status.message();
    EXPECT_EQ(track.bezr.vertex_count, 11);
}

TEST(Solve, RefusesWhatTheDataModelCannotCarry) {
    const Track straight = test::StraightTrack(3, 100);
    Track one_vertex = straight;
    one_vertex.bezr.vertex_count = 1;
    struct Case {
        const char* name;
        Track track;
        HeartlineParams params;
        double length;
    };
    const Case cases[] = {
        {"segments 0", straight, Params(0, 6, 15, 1, 20, 17), 300},
        {"precision 0", straight, Params(60, 0, 15, 1, 20, 17), 300},
        {"N + 1 beyond 32767", straight, Params(3277, 10, 0, 1, 20, 17), 300},
        {"N + 1 = 32767 but total beyond", straight, Params(2, 16383, 0, 1, 20, 17), 300},
        {"progress total beyond", straight, Params(6, 4, 32711, 1, 20, 17), 300},
        {"filter not 16-bit", straight, Params(6, 4, 40000, 1, 20, 17), 300},
        {"one vertex", one_vertex, Params(6, 4, 15, 1, 20, 17), 300},
        {"length 0", straight, Params(6, 4, 15, 1, 20, 17), 0},
        {"speed not finite", straight, Params(6, 4, 15, 1, NAN, 17), 300},
    };
    for (const Case& c : cases) {
        Track track = c.track;
        const RunOutcome run = Solve(track, c.params, c.length);
        EXPECT_FALSE(run.result.status.ok()) << c.name;
        EXPECT_FALSE(run.result.status.message().empty()) << c.name;
        EXPECT_EQ(track, c.track) << c.name;
        EXPECT_TRUE(run.gradients.empty()) << c.name;
        EXPECT_TRUE(run.progress.empty()) << c.name;
    }
    // The largest supported total passes.
    Track track = straight;
    EXPECT_TRUE(Solve(track, Params(6, 4, 32710, 1, 20, 17)).result.status.ok());
}

TEST(Solve, WalkShortOfTheStoredLengthFailsInsteadOfFittingZeros) {
    Track track = test::StraightTrack(3, 100);
    const Track before = track;
    const RunOutcome run = Solve(track, Params(6, 4, 12, 1.0, 20, 20), 600);
    EXPECT_FALSE(run.result.status.ok());
    EXPECT_EQ(track, before);
}

TEST(Solve, ExplicitCountFarBelowFilterFails) {
    Track track = test::StraightTrack(3, 100);
    track.segm.segments[1].color_2 = -32760;
    const Track before = track;
    const RunOutcome run = Solve(track, Params(6, 4, 12, 1.0, 20, 20));
    EXPECT_FALSE(run.result.status.ok());
    EXPECT_EQ(track, before);
    Track no_passes = before;
    EXPECT_TRUE(Solve(no_passes, Params(6, 4, 0, 1.0, 20, 20)).result.status.ok());
}

TEST(Solve, CurveWithoutDirectionAtASampleFails) {
    Track track = test::StraightTrack(2, 50);
    track.bezr.vertices[0].control_next = track.bezr.vertices[0].position;  // sample 0 sits there
    const Track before = track;
    const RunOutcome run = Solve(track, Params(4, 4, 5, 1.0, 20, 20));
    EXPECT_FALSE(run.result.status.ok());
    EXPECT_EQ(track, before);
}

}  // namespace
}  // namespace torvix
