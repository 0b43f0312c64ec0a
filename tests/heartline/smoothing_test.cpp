#include <gtest/gtest.h>

#include <cmath>

#include "heartline/solver_phases_internal.h"

using namespace torvix::geometry;
using namespace torvix::heartline;

namespace torvix::heartline {
namespace {

// n + 1 samples heading along +x, all pointing straight down, all counts speed-derived.
SampleSet LevelSet(int n) {
    SampleSet set(n);
    for (int k = 0; k <= n; ++k) {
        set.tangent[k] = {1, 0, 0};
        set.down[k] = {0, -1, 0};
        set.filter_count[k] = kSpeedDerivedCount;
    }
    return set;
}

TEST(FilterCounts, ScaleWithSpeedBetweenAQuarterAndAllOfFilter) {
    SampleSet set = LevelSet(2);
    set.speed = {10, 20, 30, 0};
    set.vmin = 10;
    set.vmax = 30;
    EXPECT_EQ(DeriveFilterCounts(set, 2, 12), 12);
    EXPECT_EQ(set.filter_count[0], 3);
    EXPECT_EQ(set.filter_count[1], 8);  // round(7.5) to the even neighbour
    EXPECT_EQ(set.filter_count[2], 12);
}

TEST(FilterCounts, EqualSpeedsGiveAQuarterRoundedToEven) {
    for (auto [filter, expected] : {std::pair{10, 2}, std::pair{14, 4}, std::pair{12, 3}, std::pair{15, 4}}) {
        SampleSet set = LevelSet(3);
        set.speed.assign(5, 17.0);
        set.vmin = set.vmax = 17.0;
        EXPECT_EQ(DeriveFilterCounts(set, 3, filter), filter);
        EXPECT_DOUBLE_EQ(set.vmax, 17.001);
        for (int k = 0; k <= 3; ++k) EXPECT_EQ(set.filter_count[k], expected) << filter;
    }
}

TEST(FilterCounts, ExplicitCountsStayAndMayRaiseFilter) {
    SampleSet set = LevelSet(3);
    set.speed = {10, 30, 20, 20, 0};
    set.vmin = 10;
    set.vmax = 30;
    set.filter_count[2] = 40;
    set.filter_count[3] = 0;
    EXPECT_EQ(DeriveFilterCounts(set, 3, 12), 40);
    EXPECT_EQ(set.filter_count[0], 3);   // derived with the Filter passed in
    EXPECT_EQ(set.filter_count[1], 12);
    EXPECT_EQ(set.filter_count[2], 40);
    EXPECT_EQ(set.filter_count[3], 0);
}

TEST(FilterCounts, SurplusSampleIsNotCounted) {
    SampleSet set = LevelSet(2);
    set.speed = {10, 10, 10, 10};
    set.vmin = 10;
    set.vmax = 10;
    set.filter_count[3] = 500;
    EXPECT_EQ(DeriveFilterCounts(set, 2, 8), 8);
}

TEST(Smoothing, SampleJoinsOnlyTheLastPassesOfItsCount) {
    // A kink at sample 5; count 0 there is smoothed only in the last pass.
    SampleSet set = LevelSet(10);
    for (int k = 0; k <= 10; ++k) set.filter_count[k] = 0;
    set.down[5] = {0, 0, -1};
    const int filter = 4;
    for (int pass = 1; pass < filter; ++pass) SmoothingPass(set, 10, pass, filter);
    EXPECT_EQ(set.down[5], (Vector3{0, 0, -1}));
    SmoothingPass(set, 10, filter, filter);
    EXPECT_NEAR(set.down[5].z, -3 / std::sqrt(9.0 + 36.0), 1e-6);
    EXPECT_NEAR(set.down[4].z, -2 / std::sqrt(4.0 + 49.0), 1e-6);
}

TEST(Smoothing, PassReadsOnlyThePreviousPass) {
    SampleSet set = LevelSet(6);
    for (int k = 0; k <= 6; ++k) set.filter_count[k] = 1;
    set.down[2] = {0, 0, -1};
    SmoothingPass(set, 6, 1, 1);
    // Sample 3 sees the old kink at 2 (weight 2), not the already smoothed value.
    EXPECT_NEAR(set.down[3].z, -2 / std::sqrt(4.0 + 49.0), 1e-6);
    EXPECT_NEAR(set.down[3].y, -7 / std::sqrt(4.0 + 49.0), 1e-6);
    EXPECT_NEAR(set.down[4].z, -1 / std::sqrt(1.0 + 64.0), 1e-6);
}

TEST(Smoothing, EndsWeighTheirOwnVectorSixTimes) {
    SampleSet set = LevelSet(4);
    for (int k = 0; k <= 4; ++k) set.filter_count[k] = 1;
    set.down[0] = {0, 0, -1};
    SmoothingPass(set, 4, 1, 1);
    // Sample 0: 6 x (0,0,-1) + 2 x (0,-1,0) + 1 x (0,-1,0).
    EXPECT_NEAR(set.down[0].z, -6 / std::sqrt(36.0 + 9.0), 1e-6);
}

TEST(Smoothing, ResultIsMadePerpendicularToTheTangent) {
    SampleSet set = LevelSet(2);
    for (int k = 0; k <= 2; ++k) set.filter_count[k] = 1;
    set.tangent[1] = VecNormalize(Vector3{1, 1, 0});
    SmoothingPass(set, 2, 1, 1);
    EXPECT_NEAR(VecDot(set.down[1], set.tangent[1]), 0, 1e-7);
    EXPECT_NEAR(VecLength(set.down[1]), 1, 1e-7);
    EXPECT_EQ(set.down[0], (Vector3{0, -1, 0}));
}

TEST(Smoothing, NegativeCountIsNeverSmoothed) {
    SampleSet set = LevelSet(4);
    for (int k = 0; k <= 4; ++k) set.filter_count[k] = -1;
    set.down[2] = {0, 0, -1};
    for (int pass = 1; pass <= 3; ++pass) SmoothingPass(set, 4, pass, 3);
    EXPECT_EQ(set.down[2], (Vector3{0, 0, -1}));
    EXPECT_EQ(set.down[1], (Vector3{0, -1, 0}));
}

TEST(Smoothing, PassThresholdStaysWithinSixteenBits) {
    SampleSet set = LevelSet(3);
    for (int k = 0; k <= 3; ++k) set.filter_count[k] = 2;
    EXPECT_TRUE(PassThresholdsFit(set, 3, 15));
    set.filter_count[2] = -32752;  // 15 - (-32752) = 32767 still fits
    EXPECT_TRUE(PassThresholdsFit(set, 3, 15));
    set.filter_count[2] = -32753;
    EXPECT_FALSE(PassThresholdsFit(set, 3, 15));
    EXPECT_TRUE(PassThresholdsFit(set, 3, 0));  // no pass runs, nothing is compared
    set.filter_count[4] = -32768;              // the surplus sample is never compared
    set.filter_count[2] = 0;
    EXPECT_TRUE(PassThresholdsFit(set, 3, 15));
}

}  // namespace
}  // namespace torvix::heartline
