#include "track/track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace torvix::track;

namespace torvix {
namespace {

TEST(TrackModel, NonFiniteVerticesAreCaught) {
    std::vector<BezierVertex> v(3);
    EXPECT_TRUE(AllFinite(v));
    v[1].control_prev.z = std::nanf("");
    EXPECT_FALSE(AllFinite(v));
    v[1].control_prev.z = 0;
    v[2].roll = INFINITY;
    EXPECT_FALSE(AllFinite(v));
    v[2].roll = 0;
    v[0].position.x = -INFINITY;
    EXPECT_FALSE(AllFinite(v));
}

}  // namespace
}  // namespace torvix
