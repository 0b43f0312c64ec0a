#include <gtest/gtest.h>

#include <cmath>

#include "heartline/solver.h"
#include "heartline/track_length.h"
#include "support/test_support.h"
#include "track/track_io.h"

using namespace torvix::heartline;
using namespace torvix::track;

namespace torvix {
namespace {

class DemoTrack : public ::testing::Test {
protected:
    void SetUp() override {
        const auto path = test::DemoTrackPath();
        if (path.empty()) GTEST_SKIP() << "demo track not found beside the checkout";
        ASSERT_TRUE(ReadTrackFile(path.string(), loaded_));
        length_ = TrackLength(loaded_).value();
    }
    Track loaded_;
    double length_ = 0;
};

TEST_F(DemoTrack, RunsThroughAndWritesAReadableTrack) {
    Track track = loaded_;
    HeartlineParams params;  // 60 x 6, Filter 15, Heartline 1.0
    params.start_speed = 25;
    params.end_speed = 20;
    const SolveResult result = SolveHeartline(track, length_, params);
    ASSERT_TRUE(result.status.ok()) << result.status.message();
    EXPECT_EQ(result.filter, 15);  // every segment's colours ask for speed-derived counts
    ASSERT_EQ(track.bezr.vertex_count, 61);
    for (int i = 0; i <= 60; ++i) {
        const BezierVertex& v = track.bezr.vertices[i];
        EXPECT_TRUE(std::isfinite(v.roll) && std::fabs(v.roll) <= 3.1416f) << i;
        EXPECT_TRUE(v.roll_flag) << i;
    }
    // The rails start a heartline below the first vertex of the heart path.
    EXPECT_NEAR(track.bezr.vertices[0].position.y, loaded_.bezr.vertices[0].position.y - 1.0, 0.05);
    // Everything but the spline, segments, RASC count and banner passes through.
    EXPECT_EQ(track.tera, loaded_.tera);
    EXPECT_EQ(track.fund, loaded_.fund);
    EXPECT_EQ(track.trck, loaded_.trck);

    test::TempDir dir;
    const std::string out = (dir / "demo_Torvix.nltrack").string();
    ASSERT_TRUE(WriteTrackFile(out, track));
    Track back;
    ASSERT_TRUE(ReadTrackFile(out, back));
    EXPECT_EQ(back.bezr.vertex_count, 61);
    EXPECT_EQ(back.segm.segment_count, 60);
    EXPECT_EQ(back.rasc.entry_count, 0);
    EXPECT_EQ(back.info.info_text, "--- Torvix V1.6 ---");
    for (int i = 0; i <= 60; ++i) EXPECT_EQ(back.bezr.vertices[i], track.bezr.vertices[i]) << i;
}

TEST_F(DemoTrack, DefaultSpeedsDoNotClimbTheLiftHill) {
    // 20 m/s at 1.5 m holds 21.9 m of energy height: short of the 22 m lift top.
    Track track = loaded_;
    const SolveResult result = SolveHeartline(track, length_, HeartlineParams{});
    EXPECT_FALSE(result.status.ok());
    EXPECT_EQ(result.status.message(), kValleyMessage);
    EXPECT_EQ(track, loaded_);
}

}  // namespace
}  // namespace torvix
