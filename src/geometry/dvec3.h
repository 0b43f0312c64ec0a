// A vector of three doubles for the methods that work beside the literal
// solver (the rails model, the ride report, the refined fit, the element
// export), where nothing is stored as float between steps.
#pragma once

#include <cmath>

#include "geometry/vector3.h"

namespace torvix::geometry {

struct DVec3 {
    double x = 0, y = 0, z = 0;
    bool operator==(const DVec3&) const = default;
};

inline DVec3 operator+(DVec3 a, DVec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline DVec3 operator-(DVec3 a, DVec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline DVec3 operator-(DVec3 a) { return {-a.x, -a.y, -a.z}; }
inline DVec3 operator*(double k, DVec3 a) { return {k * a.x, k * a.y, k * a.z}; }
inline DVec3& operator+=(DVec3& a, DVec3 b) { return a = a + b; }
inline double Dot(DVec3 a, DVec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline DVec3 Cross(DVec3 a, DVec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double Norm(DVec3 a) { return std::sqrt(Dot(a, a)); }
// The zero vector stays zero.
inline DVec3 Unit(DVec3 a) {
    const double n = Norm(a);
    return n > 0 ? (1 / n) * a : DVec3{};
}

// Some unit vector perpendicular to unit `t`.
inline DVec3 AnyNormal(DVec3 t) {
    const DVec3 axis = std::abs(t.x) < 0.6 ? DVec3{1, 0, 0} : DVec3{0, 0, 1};
    return Unit(axis - Dot(axis, t) * t);
}

inline DVec3 ToDVec3(const Vector3& v) { return {v.x, v.y, v.z}; }
// Rounded to float, as a track stores it.
inline Vector3 ToVector3(DVec3 v) { return {float(v.x), float(v.y), float(v.z)}; }

}  // namespace torvix::geometry
