// Second-order jets: a value with its first and second derivative along one
// parameter, carried exactly through arithmetic. Curvature of a rolled heart
// line then comes from closed-form derivatives instead of differences of
// nearby points.
#pragma once

#include <cmath>

namespace torvix::railframe {

struct Jet {
    double v = 0;   // value
    double d = 0;   // first derivative
    double dd = 0;  // second derivative
};

inline Jet operator+(Jet a, Jet b) { return {a.v + b.v, a.d + b.d, a.dd + b.dd}; }
inline Jet operator-(Jet a, Jet b) { return {a.v - b.v, a.d - b.d, a.dd - b.dd}; }
inline Jet operator-(Jet a) { return {-a.v, -a.d, -a.dd}; }
inline Jet operator*(Jet a, Jet b) { return {a.v * b.v, a.d * b.v + a.v * b.d, a.dd * b.v + 2 * a.d * b.d + a.v * b.dd}; }
inline Jet operator*(double k, Jet a) { return {k * a.v, k * a.d, k * a.dd}; }
inline Jet operator+(Jet a, double k) { return {a.v + k, a.d, a.dd}; }

// Sine and cosine of one jet from a single evaluation of each.
inline void SinCos(Jet a, Jet& sine, Jet& cosine) {
    const double s = std::sin(a.v), c = std::cos(a.v);
    sine = {s, c * a.d, c * a.dd - s * a.d * a.d};
    cosine = {c, -s * a.d, -s * a.dd - c * a.d * a.d};
}

inline Jet Sin(Jet a) {
    const double s = std::sin(a.v), c = std::cos(a.v);
    return {s, c * a.d, c * a.dd - s * a.d * a.d};
}

inline Jet Cos(Jet a) {
    const double s = std::sin(a.v), c = std::cos(a.v);
    return {c, -s * a.d, -s * a.dd - c * a.d * a.d};
}

struct JetVec {
    Jet x, y, z;
};

inline JetVec operator+(const JetVec& a, const JetVec& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline JetVec operator-(const JetVec& a, const JetVec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline JetVec operator*(Jet k, const JetVec& a) { return {k * a.x, k * a.y, k * a.z}; }
inline JetVec operator*(double k, const JetVec& a) { return {k * a.x, k * a.y, k * a.z}; }
inline Jet Dot(const JetVec& a, const JetVec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline JetVec Cross(const JetVec& a, const JetVec& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The unit vector along a; the zero vector stays zero (as the solver's normalisation does).
inline JetVec Unit(const JetVec& a) {
    const double n2 = a.x.v * a.x.v + a.y.v * a.y.v + a.z.v * a.z.v;
    if (n2 == 0) return {};
    // |a| and its derivatives, then u = a / |a| differentiated twice.
    const double n = std::sqrt(n2);
    const double ad = a.x.v * a.x.d + a.y.v * a.y.d + a.z.v * a.z.d;
    const double dd = a.x.d * a.x.d + a.y.d * a.y.d + a.z.d * a.z.d;
    const double add = a.x.v * a.x.dd + a.y.v * a.y.dd + a.z.v * a.z.dd;
    const double n1 = ad / n;
    const double n2nd = (dd + add - n1 * n1) / n;
    const double inv = 1 / n;
    auto one = [&](const Jet& c) {
        const double u = c.v * inv;
        const double u1 = (c.d - u * n1) * inv;
        return Jet{u, u1, (c.dd - 2 * u1 * n1 - u * n2nd) * inv};
    };
    return {one(a.x), one(a.y), one(a.z)};
}

}  // namespace torvix::railframe
