#include "geometry/vec_angle.h"

#include <cmath>

namespace torvix::geometry {

double ArcCos(double x) { return std::atan(-x / std::sqrt(1 - x * x)) + 2 * std::atan(1.0); }

double VecAngle(const Vector3& a, const Vector3& b) {
    const double m = std::sqrt(double(b.x) * b.x + double(b.y) * b.y + double(b.z) * b.z) *
                     std::sqrt(double(a.x) * a.x + double(a.y) * a.y + double(a.z) * a.z);
    if (m == 0) return 0;
    const double c = VecDot(a, b) / m;
    if (c >= 1) return 0;
    if (c <= -1) return 4 * std::atan(1.0);
    return ArcCos(c);
}

}  // namespace torvix::geometry
