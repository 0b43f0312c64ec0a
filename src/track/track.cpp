#include "track/track.h"

#include <cmath>

namespace torvix {

namespace {

bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

void ResetTrack(Track& track) { track = Track{}; }

bool AllFinite(std::span<const BezierVertex> vertices) {
    for (const BezierVertex& v : vertices) {
        if (!Finite(v.position) || !Finite(v.control_prev) || !Finite(v.control_next) || !std::isfinite(v.roll))
            return false;
    }
    return true;
}

}  // namespace torvix
