#include <gtest/gtest.h>

#include <cmath>

#include "heartline/solver_phases_internal.h"
#include "support/track_builders.h"

using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::track;

namespace torvix::heartline {
namespace {

constexpr double kDeg = 3.14159265358979 / 180;

std::vector<BezierVertex> Vertices(std::initializer_list<float> rolls) {
    std::vector<BezierVertex> v;
    for (float r : rolls) {
        BezierVertex b;
        b.roll = r;
        v.push_back(b);
    }
    return v;
}

TEST(Wrap, CorrectsOnceOnly) {
    EXPECT_DOUBLE_EQ(WrapAngle(1.0), 1.0);
    EXPECT_DOUBLE_EQ(WrapAngle(3.2), 3.2 - 6.28318530717958);
    EXPECT_DOUBLE_EQ(WrapAngle(-3.2), -3.2 + 6.28318530717958);
    EXPECT_DOUBLE_EQ(WrapAngle(10.0), 10.0 - 6.28318530717958);  // still above pi: no loop
    EXPECT_DOUBLE_EQ(WrapAngle(3.14159265358979), 3.14159265358979);
}

TEST(DesignerRoll, SmoothStartAddsTheRateTerm) {
    CurveRoll c;
    c.roll_prev = 0;
    c.d1 = 0.27;
    c.s_in = 0.27;
    c.s_out = 0.5;
    c.start_smooth = true;
    EXPECT_NEAR(DesignerRoll(c, 0.5), 0.149142, 5e-7);
    c.start_smooth = false;
    EXPECT_NEAR(DesignerRoll(c, 0.5), 0.135, 1e-12);  // pure cosine ease
}

TEST(DesignerRoll, EasesFromStartToEndWithBothRateTermsVanishingThere) {
    CurveRoll c;
    c.roll_prev = 0.4;
    c.d1 = -0.3;
    c.s_in = 1.0;
    c.s_out = -2.0;
    c.start_smooth = c.end_smooth = true;
    EXPECT_NEAR(DesignerRoll(c, 0.0), 0.4, 1e-13);
    EXPECT_NEAR(DesignerRoll(c, 1.0), 0.1, 1e-13);
}

TEST(DesignerRoll, ResultIsWrapped) {
    CurveRoll c;
    c.roll_prev = 170 * kDeg;
    c.d1 = 20 * kDeg;
    EXPECT_NEAR(DesignerRoll(c, 1.0), -170 * kDeg, 1e-9);
}

TEST(RollWalk, ChangeThroughHalfATurnTakesTheShortWay) {
    const auto v = Vertices({float(170 * kDeg), float(-170 * kDeg), float(-170 * kDeg)});
    RollWalk walk(v);
    const CurveRoll& c = walk.BeginCurve(0);
    EXPECT_NEAR(c.d1, 20 * kDeg, 1e-6);
    EXPECT_NEAR(c.roll_prev, 170 * kDeg, 1e-6);
}

TEST(RollWalk, RelativeRollAddsToThePreviousAbsoluteRoll) {
    auto v = Vertices({1.0f, 0.5f, 0.25f});
    v[1].relative_roll = true;
    v[2].relative_roll = true;
    RollWalk walk(v);
    const CurveRoll& c0 = walk.BeginCurve(0);
    EXPECT_NEAR(c0.d1, 0.5, 1e-7);            // roll_A = 1.5
    EXPECT_NEAR(c0.s_out, 0.5 + 0.25, 1e-7);  // roll_B = 1.75
    walk.EndCurve();
    const CurveRoll& c1 = walk.BeginCurve(1);
    EXPECT_NEAR(c1.roll_prev, 1.5, 1e-7);
    EXPECT_NEAR(c1.d1, 0.25, 1e-7);
    EXPECT_NEAR(c1.s_in, 0.75, 1e-7);
}

TEST(RollWalk, RelativeRollIsWrappedWhenHandedOnAbsoluteIsNot) {
    auto v = Vertices({3.0f, 0.5f, 4.0f, 0.0f});
    v[1].relative_roll = true;  // 3.5 absolute, handed on as 3.5 - 2 pi
    RollWalk walk(v);
    walk.BeginCurve(0);
    walk.EndCurve();
    EXPECT_NEAR(walk.BeginCurve(1).roll_prev, 3.5 - 6.28318530717958, 1e-6);
    walk.EndCurve();
    EXPECT_EQ(walk.BeginCurve(2).roll_prev, 4.0);  // stored, not wrapped
}

TEST(RollWalk, FlagsAndTheLastCurveLooksBackToTheFirstVertex) {
    auto v = Vertices({0.1f, 0.2f, 0.6f});
    v[1].roll_flag = true;
    v[2].roll_flag = true;
    RollWalk walk(v);
    const CurveRoll& c0 = walk.BeginCurve(0);
    EXPECT_FALSE(c0.start_smooth);
    EXPECT_TRUE(c0.end_smooth);
    walk.EndCurve();
    const CurveRoll& c1 = walk.BeginCurve(1);
    EXPECT_TRUE(c1.start_smooth);
    EXPECT_TRUE(c1.end_smooth);
    // d2 toward vertex 0: 0.1 - 0.6.
    EXPECT_NEAR(c1.s_out, 0.4 + (0.1 - 0.6), 1e-7);
    EXPECT_NEAR(c1.s_in, 0.4 + 0.1, 1e-7);
}

TEST(RollDown, SignConvention) {
    const Vector3 tangent{1, 0, 0}, zero{0, -1, 0};
    const Vector3 quarter = RollDown(tangent, zero, 3.14159265358979 / 2);
    EXPECT_NEAR(quarter.x, 0, 1e-7);
    EXPECT_NEAR(quarter.y, 0, 1e-7);
    EXPECT_NEAR(quarter.z, 1, 1e-7);
    EXPECT_EQ(RollDown(tangent, zero, 0), zero);
    const Vector3 r = RollDown(tangent, zero, 0.3);
    EXPECT_NEAR(r.y, -std::cos(0.3), 1e-7);
    EXPECT_NEAR(r.z, std::sin(0.3), 1e-7);
    // The rebuild turns it back into the same roll.
    EXPECT_NEAR(VertexRoll(quarter, zero, tangent), 3.14159265358979 / 2, 1e-6);
    EXPECT_NEAR(VertexRoll(RollDown(tangent, zero, -1.0), zero, tangent), -1.0, 1e-6);
}

TEST(Blend, ColourModes) {
    EXPECT_EQ(WeightsForColour(0, 0.3).roll, 1);
    EXPECT_EQ(WeightsForColour(0, 0.3).force, 0);
    EXPECT_EQ(WeightsForColour(255, 0.3).roll, 0.3);
    EXPECT_EQ(WeightsForColour(255, 0.3).force, 0.7);
    EXPECT_EQ(WeightsForColour(65280, 0.3).roll, 0.7);
    EXPECT_EQ(WeightsForColour(65280, 0.3).force, 0.3);
    EXPECT_EQ(WeightsForColour(16777215, 0.3).roll, 0);
    EXPECT_EQ(WeightsForColour(1, 0.3).force, 1);
}

TEST(Blend, ProjectsAcrossTheTangentAndCancelsToZeroWhenOpposite) {
    const Vector3 tg{2, 0, 0};
    const Vector3 tilted = BlendDown(Vector3{0.6f, -0.8f, 0}, Vector3{0, -1, 0}, {0, 1}, tg);
    EXPECT_EQ(tilted, (Vector3{0, -1, 0}));
    EXPECT_EQ(BlendDown(Vector3{0, -1, 0}, Vector3{0, 1, 0}, WeightsForColour(255, 0.5), tg), Vector3{});
    const Vector3 designer{0, 0, 1};
    EXPECT_EQ(BlendDown(Vector3{0, -1, 0}, designer, WeightsForColour(0, 0.7), tg), designer);
}

TEST(FilterCount, SecondColourGivesExplicitCountsBelow2816) {
    EXPECT_EQ(FilterCountForColour(5), 5);
    EXPECT_EQ(FilterCountForColour(0), 0);
    EXPECT_EQ(FilterCountForColour(2815), 2815);
    EXPECT_EQ(FilterCountForColour(2816), 9999);
    EXPECT_EQ(FilterCountForColour(16777215), 9999);
    EXPECT_EQ(FilterCountForColour(-3), -3);
    EXPECT_FALSE(FilterCountForColour(-40000).has_value());
}

}  // namespace
}  // namespace torvix::heartline
