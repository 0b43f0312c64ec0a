#include "ride/plot_rules.h"

#include <gtest/gtest.h>

namespace torvix::ride {
namespace {

TEST(PlotRules, TickStepsAndAxes) {
    EXPECT_DOUBLE_EQ(TickStep(110, 10), 20);
    EXPECT_DOUBLE_EQ(TickStep(21, 10), 2.5);  // {1, 2, 5} would jump to 5
    EXPECT_DOUBLE_EQ(TickStep(0.9, 4), 0.25);
    const PlotAxis speed = ValueAxis(PlotPanels()[0], 3, 27, 8);  // from 0, whole steps of 5
    EXPECT_EQ(std::make_pair(speed.lo, speed.hi), std::make_pair(0.0, 30.0));
    const PlotAxis lateral = ValueAxis(PlotPanels()[2], -1.2, 1.2, 4);
    EXPECT_EQ(std::make_pair(lateral.lo, lateral.hi), std::make_pair(-2.0, 2.0));
}

TEST(PlotRules, RangeFollowsTheBulkAndKeepsTheFloor) {
    // 1000 values in 0 .. 1 g and one spike of 40 g: the spike runs off the scale.
    std::vector<double> values(1000);
    for (int i = 0; i < 1000; ++i) values[static_cast<std::size_t>(i)] = i / 1000.0;
    values.push_back(40);
    const auto [lo, hi] = ValueRange(values, -1.2, 1.2);
    EXPECT_DOUBLE_EQ(lo, -1.2);
    EXPECT_NEAR(hi, 0.995 + 2.4, 1e-12);
    std::vector<double> calm{0.1, -0.2, 0.3};
    EXPECT_EQ(ValueRange(calm, -1.2, 1.2), std::make_pair(-1.2, 1.2));
}

}  // namespace
}  // namespace torvix::ride
