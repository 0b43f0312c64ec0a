// How the designer's roll is blended with the force-aligned banking, selected
// per curve by the segment colours.
#include <cmath>

#include "heartline/solver_phases_internal.h"

using namespace torvix::geometry;
using namespace torvix::track;

namespace torvix::heartline {

Vector3 RollDown(const Vector3& tangent, const Vector3& zero_roll_down, double r) {
    const Vector3 x = VecNormalize(VecCross(tangent, zero_roll_down));
    return VecNormalize(VecAdd(VecScale(x, -std::sin(r)), VecScale(zero_roll_down, std::cos(r))));
}

BlendWeights WeightsForColour(Colour color_1, double u) {
    if (color_1 == kDesignerRollColour) return {1.0, 0.0};
    if (color_1 == kBlendToRollColour) return {u, 1 - u};
    if (color_1 == kBlendToForceColour) return {1 - u, u};
    return {0.0, 1.0};
}

std::optional<int> FilterCountForColour(Colour color_2) {
    if (color_2 >= kFirstNonCountColour) return kSpeedDerivedCount;
    if (color_2 < -32768) return std::nullopt;
    return static_cast<int>(color_2);
}

Vector3 BlendDown(const Vector3& force_down, const Vector3& roll_down, const BlendWeights& weights,
                  const Vector3& tg) {
    const Vector3 m = VecNormalize(VecAdd(VecScale(force_down, weights.force), VecScale(roll_down, weights.roll)));
    return VecNormalize(VecCross(tg, VecCross(m, tg)));
}

}  // namespace torvix::heartline
