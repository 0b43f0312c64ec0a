#include "ride/attitude.h"

#include "railframe/carried_frame.h"

using namespace torvix::geometry;

namespace torvix::ride {

namespace {

// A bank this close to a right angle from the natural attitude is not yet turned over.
constexpr double kRightAngleSlack = 1e-6;

bool Steep(DVec3 tangent) { return std::abs(tangent.y) > kSteepSine; }

}  // namespace

std::vector<DVec3> NaturalDown(std::span<const DVec3> tangents) {
    std::vector<DVec3> out(tangents.size());
    if (tangents.empty()) return out;
    DVec3 down = railframe::ZeroRollDown(tangents[0]);
    if (Norm(down) == 0) down = AnyNormal(tangents[0]);
    out[0] = down;
    for (std::size_t i = 1; i < tangents.size(); ++i) {
        const DVec3 t = tangents[i];
        down = railframe::TurnWithTangent(down, tangents[i - 1], t);
        if (Norm(down) == 0) down = AnyNormal(t);
        if (!Steep(t)) {
            const DVec3 upright = railframe::ZeroRollDown(t);
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
