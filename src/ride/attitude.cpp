#include "ride/attitude.h"

namespace torvix::ride {

namespace {

// A bank this close to a right angle from the natural attitude is not yet turned over.
constexpr double kRightAngleSlack = 1e-6;

DVec3 AnyNormal(DVec3 t) {
    const DVec3 axis = std::abs(t.x) < 0.6 ? DVec3{1, 0, 0} : DVec3{0, 0, 1};
    return Unit(axis - Dot(axis, t) * t);
}

bool Steep(DVec3 tangent) { return std::abs(tangent.y) > kSteepSine; }

}  // namespace

DVec3 ZeroRollDown(DVec3 tangent) {
    const DVec3 side = Cross(DVec3{0, -1, 0}, tangent);
    if (Norm(side) < 1e-9) return {};
    return Unit(Cross(tangent, Unit(side)));
}

DVec3 TurnWithTangent(DVec3 down, DVec3 from, DVec3 to) {
    const double c = Dot(from, to);
    DVec3 r = down;
    if (c > -1 + 1e-12) r = r - (Dot(r, to) / (1 + c)) * (from + to);
    const DVec3 p = Unit(r - Dot(r, to) * to);
    return Norm(p) > 0 ? p : AnyNormal(to);
}

std::vector<DVec3> NaturalDown(std::span<const DVec3> tangents) {
    std::vector<DVec3> out(tangents.size());
    if (tangents.empty()) return out;
    DVec3 down = ZeroRollDown(tangents[0]);
    if (Norm(down) == 0) down = AnyNormal(tangents[0]);
    out[0] = down;
    for (std::size_t i = 1; i < tangents.size(); ++i) {
        const DVec3 t = tangents[i];
        down = TurnWithTangent(down, tangents[i - 1], t);
        if (!Steep(t)) {
            const DVec3 upright = ZeroRollDown(t);
            down = Dot(down, upright) >= 0 ? upright : -upright;
        }
        out[i] = down;
    }
    return out;
}

bool ForcesCallForInversion(DVec3 natural_down, DVec3 force_across) {
    // Riders are pressed toward -force; beyond a right angle from the natural down vector means force . down > 0.
    return Dot(force_across, natural_down) > 0 && Norm(force_across) >= kCallingForce;
}

bool UnaskedRoll(DVec3 natural_down, DVec3 down, DVec3 force_across) {
    return Dot(down, natural_down) < -kRightAngleSlack && !ForcesCallForInversion(natural_down, force_across);
}

}  // namespace torvix::ride
