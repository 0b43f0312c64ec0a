#include "heartline/valley.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/track_builders.h"
#include "heartline/track_length.h"

using namespace torvix::heartline;
using namespace torvix::track;

namespace torvix {
namespace {

TEST(SolverValley, FoundOnTheClimbAndClearedAtTheSpeedItNames) {
    const Track hill = test::HillTrack(25);
    double length = 0;
    length = TrackLength(hill).value();
    HeartlineParams params;
    params.start_speed = 12;
    params.end_speed = 10;

    Track run = hill;
    ASSERT_FALSE(SolveHeartline(run, length, params).status.ok());
    const std::optional<SolverValley> valley = FindSolverValley(hill, length, params);
    ASSERT_TRUE(valley.has_value());
    EXPECT_GT(valley->s, 40);
    EXPECT_LT(valley->s, 80);
    EXPECT_GE(valley->curve, 1);
    EXPECT_LE(valley->curve, 2);
    EXPECT_DOUBLE_EQ(valley->min_start_speed * 10, std::round(valley->min_start_speed * 10));

    params.start_speed = valley->min_start_speed;
    run = hill;
    EXPECT_TRUE(SolveHeartline(run, length, params).status.ok());
    params.start_speed = valley->min_start_speed - 0.2;
    run = hill;
    EXPECT_FALSE(SolveHeartline(run, length, params).status.ok());
    // A run that passes has no valley to report.
    params.start_speed = valley->min_start_speed;
    EXPECT_FALSE(FindSolverValley(hill, length, params).has_value());
}

}  // namespace
}  // namespace torvix

#include <atomic>

#include "refined/solver_modes.h"

using namespace torvix::refined;

namespace torvix {
namespace {

TEST(SolverCancel, AFlagSetDuringARunStopsItAndLeavesTheTrack) {
    const Track hill = test::HillTrack(10);
    const double length = TrackLength(hill).value();
    for (SolverMode mode : {SolverMode::kLiteral, SolverMode::kRefined}) {
        std::atomic<bool> cancel{false};
        long steps = 0;
        SolverObserver observer;
        observer.cancel = &cancel;
        observer.progress = [&](long, long) {
            if (++steps == 3) cancel.store(true);
        };
        Track run = hill;
        const SolveResult result = SolveHeartlineWith(mode, run, length, HeartlineParams{}, observer);
        EXPECT_FALSE(result.status.ok()) << ModeName(mode);
        EXPECT_EQ(result.status.message(), kCancelledMessage) << ModeName(mode);
        EXPECT_EQ(steps, 3) << ModeName(mode);
        EXPECT_TRUE(run == hill) << ModeName(mode);
    }
}

}  // namespace
}  // namespace torvix
