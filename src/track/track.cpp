#include "track/track.h"

#include <cmath>

using namespace torvix::geometry;

namespace torvix::track {

namespace {

bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

void ResetTrack(Track& track) { track = Track{}; }

bool AllFinite(std::span<const BezierVertex> vertices) { return NotFiniteReason(vertices).ok(); }

base::Status NotFiniteReason(std::span<const BezierVertex> vertices) {
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const BezierVertex& v = vertices[i];
        if (!Finite(v.position) || !Finite(v.control_prev) || !Finite(v.control_next))
            return base::Status::Fail("Vertex " + std::to_string(i) + " has a coordinate that is not a finite number.");
        if (!std::isfinite(v.roll))
            return base::Status::Fail("Vertex " + std::to_string(i) + " has a roll that is not a finite number.");
    }
    return base::Status::Ok();
}

}  // namespace torvix::track
