// A vector of three doubles for the methods that work beside the literal
// solver (the rails model, the ride report, the refined fit), where nothing is
// stored as float between steps.
#pragma once

#include <cmath>

namespace torvix {

struct DVec3 {
    double x = 0, y = 0, z = 0;
};

inline DVec3 operator+(DVec3 a, DVec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline DVec3 operator-(DVec3 a, DVec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline DVec3 operator-(DVec3 a) { return {-a.x, -a.y, -a.z}; }
inline DVec3 operator*(double k, DVec3 a) { return {k * a.x, k * a.y, k * a.z}; }
inline double Dot(DVec3 a, DVec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline DVec3 Cross(DVec3 a, DVec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double Norm(DVec3 a) { return std::sqrt(Dot(a, a)); }
// The zero vector stays zero.
inline DVec3 Unit(DVec3 a) {
    const double n = Norm(a);
    return n > 0 ? (1 / n) * a : DVec3{};
}

}  // namespace torvix
