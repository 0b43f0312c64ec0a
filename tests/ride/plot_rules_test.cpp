#include "ride/plot_rules.h"

#include <gtest/gtest.h>

#include <vector>

namespace torvix::ride {
namespace {

TEST(PlotRules, TickStepsAreOneTwoTwoAndAHalfOrFive) {
    EXPECT_DOUBLE_EQ(TickStep(100, 10), 10);
    EXPECT_DOUBLE_EQ(TickStep(110, 10), 20);
    EXPECT_DOUBLE_EQ(TickStep(21, 10), 2.5);   // {1, 2, 5} would jump to 5
    EXPECT_DOUBLE_EQ(TickStep(0.9, 4), 0.25);
    EXPECT_DOUBLE_EQ(TickStep(470, 5), 100);
    EXPECT_DOUBLE_EQ(TickStep(0, 5), 1) << "an empty span still gets a usable step";
}

TEST(PlotRules, RangeFollowsTheBulkAndKeepsTheFloor) {
    // 1000 values in 0 .. 1 g and one spike of 40 g: the spike runs off the
    // scale instead of flattening the rest.
    std::vector<double> values;
    for (int i = 0; i < 1000; ++i) values.push_back(i / 1000.0);
    values.push_back(40);
    const auto [lo, hi] = ValueRange(values, -1.2, 1.2);
    EXPECT_DOUBLE_EQ(lo, -1.2);
    EXPECT_LT(hi, 5);
    EXPECT_GE(hi, 1.2);

    // Nothing beyond the floor: the floor is the range.
    std::vector<double> calm{0.1, -0.2, 0.3};
    EXPECT_EQ(ValueRange(calm, -1.2, 1.2), std::make_pair(-1.2, 1.2));
}

TEST(PlotRules, SpeedAxisStartsAtZeroOthersOnWholeSteps) {
    const std::vector<PlotPanel>& panels = PlotPanels();
    ASSERT_EQ(panels.size(), 5u);
    const PlotAxis speed = ValueAxis(panels[0], 3, 27, 8);
    EXPECT_DOUBLE_EQ(speed.lo, 0);
    EXPECT_DOUBLE_EQ(speed.step, 5);
    EXPECT_DOUBLE_EQ(speed.hi, 30);
    const PlotAxis lateral = ValueAxis(panels[2], -1.2, 1.2, 4);
    EXPECT_DOUBLE_EQ(lateral.step, 1);
    EXPECT_DOUBLE_EQ(lateral.lo, -2);
    EXPECT_DOUBLE_EQ(lateral.hi, 2);
}

}  // namespace
}  // namespace torvix::ride
