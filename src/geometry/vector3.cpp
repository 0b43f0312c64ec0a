#include "geometry/vector3.h"

#include <cmath>

namespace torvix {

namespace {

Vector3 Store(double x, double y, double z) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

// w0*a + w1*b + w2*c + w3*d, in double, stored as float.
Vector3 Weighted(double w0, const Vector3& a, double w1, const Vector3& b, double w2, const Vector3& c,
                 double w3, const Vector3& d) {
    return Store(w0 * a.x + w1 * b.x + w2 * c.x + w3 * d.x, w0 * a.y + w1 * b.y + w2 * c.y + w3 * d.y,
                 w0 * a.z + w1 * b.z + w2 * c.z + w3 * d.z);
}

}  // namespace

Vector3 VecAdd(const Vector3& a, const Vector3& b) {
    return Store(double(a.x) + b.x, double(a.y) + b.y, double(a.z) + b.z);
}

Vector3 VecSub(const Vector3& a, const Vector3& b) {
    return Store(double(a.x) - b.x, double(a.y) - b.y, double(a.z) - b.z);
}

Vector3 VecScale(const Vector3& v, double s) { return Store(v.x * s, v.y * s, v.z * s); }

double VecDot(const Vector3& a, const Vector3& b) {
    return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z;
}

Vector3 VecCross(const Vector3& a, const Vector3& b) {
    return Store(double(a.y) * b.z - double(a.z) * b.y, double(a.z) * b.x - double(a.x) * b.z,
                 double(a.x) * b.y - double(a.y) * b.x);
}

double VecLength(const Vector3& v) {
    return std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
}

Vector3 VecNormalize(const Vector3& v) {
    const double len = VecLength(v);
    if (len == 0) return {};
    return Store(v.x / len, v.y / len, v.z / len);
}

double VecDistance(const Vector3& a, const Vector3& b) {
    const double dx = double(b.x) - a.x;
    const double dy = double(b.y) - a.y;
    const double dz = double(b.z) - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double RadToDeg(double radians) { return radians / 3.14159265358979 * 180; }

Vector3 BezierPoint(const Vector3& p0, const Vector3& p1, const Vector3& p3, const Vector3& p2, float t) {
    const double s = t;
    const double u = 1 - s;
    return Weighted(u * u * u, p0, 3 * s * u * u, p1, 3 * s * s * u, p2, s * s * s, p3);
}

Vector3 BezierTangent(const Vector3& p0, const Vector3& p1, const Vector3& p3, const Vector3& p2, float t) {
    const double s = t;
    const double u = 1 - s;
    const double w0 = u * u;
    const double w1 = 2 * s * u;
    const double w2 = s * s;
    return Store(w0 * (double(p1.x) - p0.x) + w1 * (double(p2.x) - p1.x) + w2 * (double(p3.x) - p2.x),
                 w0 * (double(p1.y) - p0.y) + w1 * (double(p2.y) - p1.y) + w2 * (double(p3.y) - p2.y),
                 w0 * (double(p1.z) - p0.z) + w1 * (double(p2.z) - p1.z) + w2 * (double(p3.z) - p2.z));
}

Vector3 BezierDerivative(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3, double t) {
    const double u = 1 - t;
    return Weighted(-3 * u * u, p0, 3 * u * (1 - 3 * t), p1, 3 * t * (2 - 3 * t), p2, 3 * t * t, p3);
}

Vector3 BezierSecondDerivative(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3,
                               double t) {
    return Weighted(6 - 6 * t, p0, 3 * (6 * t - 4), p1, 3 * (2 - 6 * t), p2, 6 * t, p3);
}

double BezierCurvature(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3, double t) {
    const Vector3 d1 = BezierDerivative(p0, p1, p2, p3, t);
    const Vector3 d2 = BezierSecondDerivative(p0, p1, p2, p3, t);
    const Vector3 c = VecCross(d1, d2);
    const Vector3 origin{};
    const double d1_length = VecDistance(origin, d1);
    const double c_length = VecDistance(origin, c);
    return c_length / (d1_length * d1_length * d1_length);
}

}  // namespace torvix
