// The double-precision cubic Bezier and Hermite basis against polynomials
// whose values and derivatives are known by hand.
#include <gtest/gtest.h>

#include "geometry/cubic_bezier.h"
#include "geometry/hermite.h"

using namespace torvix::geometry;

namespace torvix {
namespace {

void ExpectNear(DVec3 a, DVec3 b) {
    EXPECT_NEAR(a.x, b.x, 1e-12);
    EXPECT_NEAR(a.y, b.y, 1e-12);
    EXPECT_NEAR(a.z, b.z, 1e-12);
}

TEST(CubicBezier, DerivativesOfAKnownPolynomial) {
    // x = 3t at even speed, y = t^3, z = 3t^2 (1 - t).
    const CubicBezier c{{{0, 0, 0}, {1, 0, 0}, {2, 0, 1}, {3, 1, 0}}};
    for (double t : {0.0, 0.3, 0.5, 1.0}) {
        ExpectNear(c.Point(t), {3 * t, t * t * t, 3 * t * t * (1 - t)});
        ExpectNear(c.D1(t), {3, 3 * t * t, 6 * t - 9 * t * t});
        ExpectNear(c.D2(t), {0, 6 * t, 6 - 18 * t});
    }
    ExpectNear(c.D3(), {0, 6, -18});
    // A straight at even speed: the estimate is its length.
    EXPECT_DOUBLE_EQ((CubicBezier{{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}}.LengthEstimate()), 3);
}

TEST(Hermite, BasisReproducesACubicAndSolvesARisingOne) {
    // f(u) = u^3 - 2u + 1: f(0) = 1, f'(0) = -2, f(1) = 0, f'(1) = 1.
    for (double u : {0.0, 0.25, 0.7, 1.0}) {
        const HermiteBasis b = HermiteAt(u);
        auto apply = [](const double (&w)[4]) { return w[0] * 1 + w[1] * -2 + w[2] * 0 + w[3] * 1; };
        EXPECT_NEAR(apply(b.h), u * u * u - 2 * u + 1, 1e-14);
        EXPECT_NEAR(apply(b.dh), 3 * u * u - 2, 1e-14);
        EXPECT_NEAR(apply(b.ddh), 6 * u, 1e-14);
    }
    // s(u) = u + u^3 rises from 0 (slope 1) to 2 (slope 4): s(0.5) = 0.625.
    EXPECT_NEAR(SolveHermite(0, 1, 2, 4, 0.625), 0.5, 1e-10);
    EXPECT_EQ(SolveHermite(0, 1, 2, 4, 0), 0);
    EXPECT_EQ(SolveHermite(1, 0, 1, 0, 1), 0);  // no rise: the start
}

}  // namespace
}  // namespace torvix
