// The simulator's reading of rolls as the refined fit models it: the frame
// carried along the rails by double reflection, and the twist laid on it.
#include <algorithm>
#include <cmath>

#include "refined/refined_internal.h"

namespace torvix::refined {

D3 AnyNormal(D3 t) {
    const D3 axis = std::abs(t.x) < 0.6 ? D3{1, 0, 0} : D3{0, 0, 1};
    return Unit(axis - Dot(axis, t) * t);
}

D3 DoubleReflect(D3 p0, D3 t0, D3 r, D3 p1, D3 t1) {
    const D3 v1 = p1 - p0;
    const double c1 = Dot(v1, v1);
    D3 rl = r, tl = t0;
    if (c1 > 0) {
        rl = r - (2 / c1) * Dot(v1, r) * v1;
        tl = tl - (2 / c1) * Dot(v1, tl) * v1;
    }
    const D3 v2 = t1 - tl;
    const double c2 = Dot(v2, v2);
    if (c2 > 0) rl = rl - (2 / c2) * Dot(v2, rl) * v2;
    const D3 out = Unit(rl - Dot(rl, t1) * t1);
    return Norm(out) > 0 ? out : AnyNormal(t1);
}

void TwistBasis(double u, double f[3]) {
    const double u2 = u * u, u3 = u2 * u;
    f[0] = u - 2 * u2 + u3;  // weight of the start rate
    f[1] = u3 - u2;          // weight of the end rate
    f[2] = 3 * u2 - 2 * u3;  // weight of the twist change
}

}  // namespace torvix::refined
