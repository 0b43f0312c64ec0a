// Steps of the segment fitter, exposed for tests. They throw FitError when the
// arithmetic breaks down (zero chord length, a value that is not finite);
// FitSegments turns that into a failed FitResult::status.
#pragma once

#include <span>
#include <stdexcept>
#include <vector>

#include "geometry/fit_segments.h"

namespace torvix::geometry::detail {

struct FitError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

double BernsteinB0(double t);
double BernsteinB1(double t);
double BernsteinB2(double t);
double BernsteinB3(double t);

Vector3 EvaluateFittedSegment(const FittedSegment& seg, double t);
// De Casteljau evaluation of degree k; v holds k + 1 control points.
Vector3 EvaluateDeCasteljau(int k, std::span<const Vector3> v, double t);

// Parameters of d[first .. last] into u[0 .. last - first].
void ParameterizeByChordLength(std::span<const Vector3> d, int first, int last, std::span<double> u);
std::vector<double> ParameterizeByChordLength(std::span<const Vector3> d, int first, int last);
FittedSegment SolveControlArms(std::span<const Vector3> d, int first, int last, std::span<const double> u,
                               const Vector3& t1, const Vector3& t2);
double MaxFitDistance(std::span<const Vector3> d, int first, int last, const FittedSegment& seg,
                      std::span<const double> u);
double NewtonParameterStep(const FittedSegment& seg, const Vector3& p, double t);
// One Newton step from u for every point of d[first .. last], into next.
void ReparameterizeNewton(std::span<const Vector3> d, int first, int last, std::span<const double> u,
                          const FittedSegment& seg, std::span<double> next);
std::vector<double> ReparameterizeNewton(std::span<const Vector3> d, int first, int last,
                                         std::span<const double> u, const FittedSegment& seg);
Vector3 SplitTangent(std::span<const Vector3> d, int s);

}  // namespace torvix::geometry::detail
