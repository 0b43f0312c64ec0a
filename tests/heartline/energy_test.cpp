#include <gtest/gtest.h>

#include <clocale>

#include "texts/display_texts.h"
#include "heartline/solver_phases_internal.h"
#include "support/track_builders.h"

using namespace torvix::heartline;
using namespace torvix::texts;
using namespace torvix::track;

namespace torvix::heartline {
namespace {

TEST(Energy, LevelTrackLosingSpeedShowsItsFriction) {
    const Track track = test::StraightTrack(5, 100);
    const EnergyModel e = ComputeEnergy(track.bezr.vertices, 500, 20, 17);
    EXPECT_NEAR(e.e_start - e.e_end, (400.0 - 289.0) / 19.62, 1e-12);
    EXPECT_EQ(FormatFriction(-e.gradient), "0.011315");
}

TEST(Energy, EqualSpeedsAtEqualHeightsGiveNoLoss) {
    const Track track = test::StraightTrack(3, 50, 12.5);
    const EnergyModel e = ComputeEnergy(track.bezr.vertices, 150, 20, 20);
    EXPECT_EQ(e.gradient, 0.0);
    EXPECT_EQ(e.e_start, e.e_end);
    EXPECT_EQ(FormatFriction(0.0 - e.gradient), "0.000000");
}

TEST(Energy, HeightsEnterTheEnergyLevels) {
    Track track = test::StraightTrack(2, 50);
    track.bezr.vertices[0].position.y = 10;
    const EnergyModel e = ComputeEnergy(track.bezr.vertices, 100, 0, 0);
    EXPECT_DOUBLE_EQ(e.e_start, 10);
    EXPECT_DOUBLE_EQ(e.e_end, 0);
    EXPECT_DOUBLE_EQ(e.gradient, -0.1);
}

TEST(GradientText, SixDecimalsAndAPointWhateverTheLocale) {
    EXPECT_EQ(FormatFriction(0.5), "0.500000");
    EXPECT_EQ(FormatFriction(-0.0123456), "-0.012346");
    EXPECT_EQ(FormatFriction(123.4), "123.400000");
    EXPECT_EQ(FormatFriction(-0.0000001), "0.000000");
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(FormatFriction(0.25), "0.250000");
    std::setlocale(LC_NUMERIC, "C");
}

TEST(ProgressTotal, SixteenBitArithmetic) {
    EXPECT_EQ(ProgressTotal(360, 60, 15), 2 * 360 + 60 + 15 + 3);
    EXPECT_EQ(ProgressTotal(16000, 100, 664), 32767);
    EXPECT_FALSE(ProgressTotal(16000, 100, 665).has_value());
    EXPECT_FALSE(ProgressTotal(16384, 1, -30000).has_value());  // 2N alone overflows
    EXPECT_EQ(ProgressTotal(10, 1, -5), 19);
}

}  // namespace
}  // namespace torvix::heartline
