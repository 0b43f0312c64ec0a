// The refined mode's goals on the shipped sample and the shared real track,
// measured as the ride report reads a designer's ride: no roll nobody drew,
// lateral force, roll rate and the heart line where it was drawn.
#include <gtest/gtest.h>

#include "heartline/track_length.h"
#include "refined/solver_modes.h"
#include "ride/ride_report.h"
#include "support/test_support.h"
#include "track/track_io.h"

using namespace torvix::heartline;
using namespace torvix::refined;
using namespace torvix::track;

namespace torvix {
namespace {

struct Goal {
    int segments, precision;
    double rms, max, roll_rate, heart;
};

void ExpectGoals(const std::filesystem::path& path, double start, double end, std::initializer_list<Goal> goals) {
    Track drawn;
    ASSERT_TRUE(ReadTrackFile(path.string(), drawn));
    const double length = TrackLength(drawn).value();
    for (const Goal& goal : goals) {
        Track track = drawn;
        HeartlineParams p;
        p.segments = goal.segments, p.precision = goal.precision, p.filter = 15, p.heartline = 1.0;
        p.start_speed = start, p.end_speed = end;
        ASSERT_TRUE(SolveHeartlineWith(SolverMode::kRefined, track, length, p).status.ok());
        const ride::RideReport r = ride::MeasureRide(track, {1.0, start, end, 0.5}, &drawn);
        ASSERT_TRUE(r.status.ok()) << r.status.message();
        SCOPED_TRACE(path.filename().string() + " " + std::to_string(goal.segments) + "x" +
                     std::to_string(goal.precision));
        EXPECT_EQ(r.summary.unasked_roll, 0);
        EXPECT_LE(r.summary.lateral_rms, goal.rms);
        EXPECT_LE(r.summary.lateral_max, goal.max);
        EXPECT_LE(r.summary.roll_rate_max, goal.roll_rate);
        EXPECT_LE(ride::HeartDeviationMax(r, drawn), goal.heart);
    }
}

TEST(RefinedSolver, SampleRidesAsADesignerWouldSign) {
    ExpectGoals(test::SampleTrackPath(), 20, 17, {{60, 6, 0.70, 4, 200, 0.05}, {200, 16, 1.0, 7, 200, 0.05}});
}

TEST(RefinedSolver, SharedTrackRidesAsADesignerWouldSign) {
    const std::filesystem::path shared = test::DemoTrackPath();
    if (shared.empty()) GTEST_SKIP() << "the shared demo track is not beside the checkout";
    ExpectGoals(shared, 25, 20, {{120, 8, 2.4, 1e9, 250, 0.15}, {200, 16, 2.3, 1e9, 250, 0.06}});
}

}  // namespace
}  // namespace torvix
