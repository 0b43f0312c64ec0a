// The cubic Hermite basis on [0, 1]: the weights of the start value, start
// slope, end value and end slope, with their derivatives along u.
#pragma once

#include <algorithm>
#include <cmath>

namespace torvix::geometry {

struct HermiteBasis {
    double h[4];    // weights
    double dh[4];   // first derivatives
    double ddh[4];  // second derivatives
};

inline HermiteBasis HermiteAt(double u) {
    const double u2 = u * u, u3 = u2 * u;
    return {{2 * u3 - 3 * u2 + 1, u3 - 2 * u2 + u, -2 * u3 + 3 * u2, u3 - u2},
            {6 * u2 - 6 * u, 3 * u2 - 4 * u + 1, -6 * u2 + 6 * u, 3 * u2 - 2 * u},
            {12 * u - 6, 6 * u - 4, 6 - 12 * u, 6 * u - 2}};
}

// Where in [0, 1] the rising cubic Hermite from (v0, slope m0) to (v1, slope
// m1) reaches `target`, by Newton kept inside a bisection bracket. Starts
// from the straight line between the ends.
inline double SolveHermite(double v0, double m0, double v1, double m1, double target) {
    const double span = v1 - v0;
    if (span <= 0) return 0;
    double lo = 0, hi = 1, x = std::clamp((target - v0) / span, 0.0, 1.0);
    for (int it = 0; it < 40; ++it) {
        const HermiteBasis b = HermiteAt(x);
        const double f = b.h[0] * v0 + b.h[1] * m0 + b.h[2] * v1 + b.h[3] * m1 - target;
        if (std::abs(f) < 1e-10) break;
        if (f < 0) lo = x; else hi = x;
        const double d = b.dh[0] * v0 + b.dh[1] * m0 + b.dh[2] * v1 + b.dh[3] * m1;
        double next = d > 0 ? x - f / d : (lo + hi) / 2;
        if (!(next > lo && next < hi)) next = (lo + hi) / 2;
        x = next;
    }
    return x;
}

}  // namespace torvix::geometry
