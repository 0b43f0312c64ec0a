#include "app/animations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace torvix::app;

namespace torvix {
namespace {

TEST(Fade, ReachesFullColourOnThe36thTickAndStops) {
    FadeState fade;
    Rgb colour;
    for (int tick = 1; tick <= 35; ++tick) {
        colour = FadeTick(fade);
        ASSERT_TRUE(fade.running) << "tick " << tick;
    }
    EXPECT_EQ(colour, (Rgb{175, 195, 215}));
    colour = FadeTick(fade);
    EXPECT_EQ(colour, (Rgb{180, 200, 220}));
    EXPECT_FALSE(fade.running);
    EXPECT_EQ(FadeTick(fade), (Rgb{180, 200, 220}));
    EXPECT_EQ(fade.fade_level, 180);
}

TEST(Fade, FirstTickColour) {
    FadeState fade;
    EXPECT_EQ(FadeTick(fade), (Rgb{5, 25, 45}));
}

TEST(SlotMachine, MovesEachTextOnePlaceAlongTheRing) {
    SlotRing ring{"slope_in", "radius_in", "tilt_in", "tilt_out", "radius_out", "slope_out"};
    RotateSlotRing(ring);
    EXPECT_EQ(ring, (SlotRing{"slope_out", "slope_in", "radius_in", "tilt_in", "tilt_out", "radius_out"}));
}

TEST(SlotMachine, SixTicksBringEveryTextHome) {
    const SlotRing start{"Torvix", "", "", "V1.6", "", ""};
    SlotRing ring = start;
    for (int tick = 1; tick <= 5; ++tick) {
        RotateSlotRing(ring);
        EXPECT_NE(ring, start) << "tick " << tick;
    }
    RotateSlotRing(ring);
    EXPECT_EQ(ring, start);
}

TEST(ProgressBar, GrowsUpFromTheFixedBottom) {
    EXPECT_EQ(ProgressBarGeometry(0, 10).height, 0);
    EXPECT_EQ(ProgressBarGeometry(0, 10).top, 4080);
    EXPECT_EQ(ProgressBarGeometry(5, 10).height, 840);
    EXPECT_EQ(ProgressBarGeometry(5, 10).top, 3240);
    EXPECT_EQ(ProgressBarGeometry(10, 10).height, 1680);
    EXPECT_EQ(ProgressBarGeometry(10, 10).top, 2400);
}

TEST(ProgressBar, RoundsDownAndStaysInTheTube) {
    EXPECT_EQ(ProgressBarGeometry(1, 3).height, 560);
    EXPECT_EQ(ProgressBarGeometry(1, 1000).height, 1);
    EXPECT_EQ(ProgressBarGeometry(1, 1681).height, 0);
    EXPECT_EQ(ProgressBarGeometry(5, 0).height, 0);
    EXPECT_EQ(ProgressBarGeometry(5, 0).top, 4080);
    EXPECT_EQ(ProgressBarGeometry(12, 10).height, 1680);
    EXPECT_EQ(ProgressBarGeometry(-3, 10).top, 4080);
}

TEST(Random, IsTheSameUniformSequenceAtEveryStart) {
    RandomSequence a;
    RandomSequence b;
    // x1 = (327680 * 1140671485 + 12820163) mod 2^24
    const std::uint64_t x1 = (327680ull * 1140671485ull + 12820163ull) % (1ull << 24);
    const float first = a.Next();
    EXPECT_EQ(first, static_cast<float>(x1) / 16777216.0f);
    EXPECT_EQ(b.Next(), first);
    for (int i = 0; i < 10000; ++i) {
        const float r = a.Next();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
        ASSERT_EQ(r, b.Next());
    }
}

// Mirrors the generator to predict the draws of a tick.
std::vector<float> Draws(int count) {
    RandomSequence random;
    std::vector<float> draws;
    for (int i = 0; i < count; ++i) draws.push_back(random.Next());
    return draws;
}

int Step(float r, double scale, double shift) { return static_cast<int>(std::floor(r * scale + shift)); }

TEST(Bubble, RisesAndWobblesByTheDrawnAmounts) {
    const std::vector<float> r = Draws(2);
    BubbleState bubble;
    RandomSequence random;
    BubbleTick(bubble, random);
    EXPECT_EQ(bubble.top, std::min(3960 - Step(r[0], 20, -5), 4000));
    EXPECT_EQ(bubble.left, std::clamp(2950 + Step(r[1], 20, -9), 2920, 3025));
    EXPECT_EQ(bubble.outline, OutlineStyle::kSolid);
}

TEST(Bubble, WallsHoldWhateverTheWobble) {
    RandomSequence random;
    for (int tick = 0; tick < 500; ++tick) {
        BubbleState left_wall{.left = 2920, .top = 4000};
        BubbleTick(left_wall, random);
        ASSERT_GE(left_wall.left, 2920);
        ASSERT_LE(left_wall.top, 4000);
        BubbleState right_wall{.left = 3025, .top = 3900};
        BubbleTick(right_wall, random);
        ASSERT_LE(right_wall.left, 3025);
    }
}

TEST(Bubble, LeftClampAppliesBeforeTheBurstShift) {
    RandomSequence random;
    BubbleState bubble{.left = 2920, .top = 3000, .width = 80, .height = 80, .outline = OutlineStyle::kDashed};
    BubbleTick(bubble, random);
    EXPECT_EQ(bubble.outline, OutlineStyle::kDotted);
    EXPECT_EQ(bubble.width, 120);
    EXPECT_EQ(bubble.height, 120);
    EXPECT_GE(bubble.left, 2900);
    EXPECT_LE(bubble.left, 3005);
}

TEST(Bubble, BurstSequenceThenANewBubble) {
    const std::vector<float> r = Draws(7);
    RandomSequence random;
    // High up and solid: the first burst step happens this tick.
    BubbleState bubble{.left = 3000, .top = 3000};
    BubbleTick(bubble, random);
    int left = std::clamp(3000 + Step(r[1], 20, -9), 2920, 3025) - 20;
    EXPECT_EQ(bubble.outline, OutlineStyle::kDashed);
    EXPECT_EQ(bubble.width, 80);
    EXPECT_EQ(bubble.left, left);

    BubbleTick(bubble, random);
    left = std::clamp(left + Step(r[3], 20, -9), 2920, 3025) - 20;
    EXPECT_EQ(bubble.outline, OutlineStyle::kDotted);
    EXPECT_EQ(bubble.width, 120);
    EXPECT_EQ(bubble.left, left);

    BubbleTick(bubble, random);
    EXPECT_EQ(bubble.outline, OutlineStyle::kSolid);
    EXPECT_EQ(bubble.top, 4000);
    EXPECT_EQ(bubble.left, 3000);
    EXPECT_EQ(bubble.width, 40);
    EXPECT_EQ(bubble.height, 40);
    EXPECT_EQ(bubble.bubble_offset, Step(r[6], 1500, -750));
    EXPECT_GE(bubble.bubble_offset, -750);
    EXPECT_LE(bubble.bubble_offset, 749);
}

TEST(Bubble, FirstBubbleBurstsAt3250) {
    RandomSequence random;
    BubbleState bubble;
    int ticks = 0;
    int top_before = 0;
    while (bubble.outline == OutlineStyle::kSolid) {
        ASSERT_LT(++ticks, 10000);
        top_before = bubble.top;
        BubbleTick(bubble, random);
    }
    EXPECT_EQ(bubble.outline, OutlineStyle::kDashed);
    EXPECT_LE(bubble.top, 3250);
    EXPECT_GT(top_before, 3250);
}

TEST(Bubble, ResetBubbleCannotBurstInTheSameTick) {
    RandomSequence random;
    for (int i = 0; i < 2000; ++i) {
        BubbleState bubble{.top = 2000, .width = 120, .height = 120, .outline = OutlineStyle::kDotted,
                           .bubble_offset = 749};
        BubbleTick(bubble, random);
        ASSERT_EQ(bubble.outline, OutlineStyle::kSolid);
        ASSERT_EQ(bubble.top, 4000);
    }
}

TEST(Bubble, ResetAfterRunKeepsSizeAndOutline) {
    BubbleState bubble{.left = 2990, .top = 3100, .width = 80, .height = 80, .outline = OutlineStyle::kDashed,
                       .bubble_offset = -12};
    ResetBubbleAfterRun(bubble);
    EXPECT_EQ(bubble.top, 4000);
    EXPECT_EQ(bubble.left, 2990);
    EXPECT_EQ(bubble.width, 80);
    EXPECT_EQ(bubble.outline, OutlineStyle::kDashed);
    EXPECT_EQ(bubble.bubble_offset, -12);
}

}  // namespace
}  // namespace torvix
