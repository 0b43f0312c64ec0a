// Vector and cubic Bezier math. Vector results are computed in double and
// stored as float; scalar results are double. Argument orders are part of
// the interface: BezierPoint/BezierTangent take (P0, P1, P3, P2) and a float t,
// the other evaluators (P0, P1, P2, P3) and a double t.
#pragma once

namespace torvix {

struct Vector3 {
    float x = 0;
    float y = 0;
    float z = 0;
    bool operator==(const Vector3&) const = default;
};

Vector3 VecAdd(const Vector3& a, const Vector3& b);
Vector3 VecSub(const Vector3& a, const Vector3& b);
Vector3 VecScale(const Vector3& v, double s);
double VecDot(const Vector3& a, const Vector3& b);
Vector3 VecCross(const Vector3& a, const Vector3& b);
double VecLength(const Vector3& v);
Vector3 VecNormalize(const Vector3& v);
double VecDistance(const Vector3& a, const Vector3& b);
double RadToDeg(double radians);

Vector3 BezierPoint(const Vector3& p0, const Vector3& p1, const Vector3& p3, const Vector3& p2, float t);
Vector3 BezierTangent(const Vector3& p0, const Vector3& p1, const Vector3& p3, const Vector3& p2, float t);
Vector3 BezierDerivative(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3, double t);
Vector3 BezierSecondDerivative(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3,
                               double t);
double BezierCurvature(const Vector3& p0, const Vector3& p1, const Vector3& p2, const Vector3& p3, double t);

}  // namespace torvix
