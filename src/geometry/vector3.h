// Vector and cubic Bezier math. Vector results are computed in double and
// stored as float; scalar results are double. Argument orders are part of
// the interface: BezierPoint/BezierTangent take (P0, P1, P3, P2) and a float t,
// the other evaluators (P0, P1, P2, P3) and a double t.
//
// Everything is inline: the solver calls these millions of times per run, and
// a call each would cost more than the arithmetic. The expressions are written
// once, here, so every caller rounds exactly alike.
#pragma once

#include <cmath>

namespace torvix::geometry {

struct Vector3 {
    float x = 0;
    float y = 0;
    float z = 0;
    bool operator==(const Vector3&) const = default;
};

namespace vector_detail {

inline Vector3 Store(double x, double y, double z) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

// w0*a + w1*b + w2*c + w3*d, in double, stored as float.
inline Vector3 Weighted(double w0, const Vector3& a, double w1, const Vector3& b, double w2, const Vector3& c,
                        double w3, const Vector3& d) {
    return Store(w0 * a.x + w1 * b.x + w2 * c.x + w3 * d.x, w0 * a.y + w1 * b.y + w2 * c.y + w3 * d.y,
                 w0 * a.z + w1 * b.z + w2 * c.z + w3 * d.z);
}

}  // namespace vector_detail

inline Vector3 VecAdd(const Vector3& a, const Vector3& b) {
    return vector_detail::Store(double(a.x) + b.x, double(a.y) + b.y, double(a.z) + b.z);
}

inline Vector3 VecSub(const Vector3& a, const Vector3& b) {
    return vector_detail::Store(double(a.x) - b.x, double(a.y) - b.y, double(a.z) - b.z);
}

inline Vector3 VecScale(const Vector3& v, double s) { return vector_detail::Store(v.x * s, v.y * s, v.z * s); }

inline double VecDot(const Vector3& a, const Vector3& b) {
    return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z;
}

inline Vector3 VecCross(const Vector3& a, const Vector3& b) {
    return vector_detail::Store(double(a.y) * b.z - double(a.z) * b.y, double(a.z) * b.x - double(a.x) * b.z,
                                double(a.x) * b.y - double(a.y) * b.x);
}

inline double VecLength(const Vector3& v) {
    return std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
}

inline Vector3 VecNormalize(const Vector3& v) {
    const double len = VecLength(v);
    if (len == 0) return {};
    return vector_detail::Store(v.x / len, v.y / len, v.z / len);
}

inline double VecDistance(const Vector3& a, const Vector3& b) {
    const double dx = double(b.x) - a.x;
    const double dy = double(b.y) - a.y;
    const double dz = double(b.z) - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double RadToDeg(double radians);

// Weights of BezierPoint at t; exposed so that a walk over fixed steps can
// compute them once per step number instead of once per curve.
struct BezierWeights {
    double w0 = 0, w1 = 0, w2 = 0, w3 = 0;
};

inline BezierWeights BezierPointWeights(float t) {
    const double s = t;
    const double u = 1 - s;
    return {u * u * u, 3 * s * u * u, 3 * s * s * u, s * s * s};
}

// BezierPoint with weights from BezierPointWeights: the same value, bit for bit.
inline Vector3 BezierPointFromWeights(const Vector3& p0, const Vector3& p1, const Vector3& p3, const Vector3& p2,
                                      const BezierWeights& w) {
    return vector_detail::Weighted(w.w0, p0, w.w1, p1, w.w2, p2, w.w3, p3);
}

inline Vector3 BezierPoint(const Vector3& p0, const Vector3& p1, const Vector3& p3, const Vector3& p2, float t) {
    return BezierPointFromWeights(p0, p1, p3, p2, BezierPointWeights(t));
}

inline Vector3 BezierTangent(const Vector3& p0, const Vector3& p1, const Vector3& p3, const Vector3& p2, float t) {
    const double s = t;
    const double u = 1 - s;
    const double w0 = u * u;
    const double w1 = 2 * s * u;
    const double w2 = s * s;
    return vector_detail::Store(
        w0 * (double(p1.x) - p0.x) + w1 * (double(p2.x) - p1.x) + w2 * (double(p3.x) - p2.x),
        w0 * (double(p1.y) - p0.y) + w1 * (double(p2.y) - p1.y) + w2 * (double(p3.y) - p2.y),
        w0 * (double(p1.z) - p0.z) + w1 * (double(p2.z) - p1.z) + w2 * (double(p3.z) - p2.z));
}

inline Vector3 BezierDerivative(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3,
                                double t) {
    const double u = 1 - t;
    return vector_detail::Weighted(-3 * u * u, p0, 3 * u * (1 - 3 * t), p1, 3 * t * (2 - 3 * t), p2, 3 * t * t, p3);
}

inline Vector3 BezierSecondDerivative(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3,
                                      double t) {
    return vector_detail::Weighted(6 - 6 * t, p0, 3 * (6 * t - 4), p1, 3 * (2 - 6 * t), p2, 6 * t, p3);
}

// Curvature from the first derivative and the cross product of the first and
// second derivative, as BezierCurvature computes it.
inline double CurvatureFrom(const Vector3& d1, const Vector3& d1_cross_d2) {
    const Vector3 origin{};
    const double d1_length = VecDistance(origin, d1);
    const double c_length = VecDistance(origin, d1_cross_d2);
    return c_length / (d1_length * d1_length * d1_length);
}

inline double BezierCurvature(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3,
                              double t) {
    const Vector3 d1 = BezierDerivative(p0, p1, p2, p3, t);
    const Vector3 d2 = BezierSecondDerivative(p0, p1, p2, p3, t);
    return CurvatureFrom(d1, VecCross(d1, d2));
}

}  // namespace torvix::geometry
