// Least-squares fit of cubic Bezier segments to a run of points with fixed
// end points and end tangent directions. All fitting state is local to one
// fitter object (or one FitSegments call).
#pragma once

#include <span>
#include <string>
#include <vector>

#include "base/status.h"
#include "geometry/vector3.h"

namespace torvix::geometry {

// Field order groups each end point with its own control point.
struct FittedSegment {
    Vector3 start;          // P0
    Vector3 start_control;  // P1
    Vector3 end;            // P3
    Vector3 end_control;    // P2
};

struct FitResult {
    base::Status status;  // failed: an arithmetic failure (e.g. all points identical)
    int segment_count = 0;
    std::vector<FittedSegment> segments;
};

// Fits points[0 .. point_count-1]. start_tangent points into the curve, end_tangent
// points from the last point back into it; both are expected to be unit vectors.
// segments_wanted 1, 2, 4, ..., 64 allows up to that many segments; anything else one.
FitResult FitSegments(std::span<const Vector3> points, int point_count, const Vector3& start_tangent,
                      const Vector3& end_tangent, int segments_wanted);

// FitSegments for many fits in a row: the fitter keeps its result and working
// arrays between fits, so once they have grown to the largest run a fit
// allocates nothing. One fit at a time per object.
class SegmentFitter {
public:
    // The same result as FitSegments; valid until the next call.
    const FitResult& Fit(std::span<const Vector3> points, int point_count, const Vector3& start_tangent,
                         const Vector3& end_tangent, int segments_wanted);

private:
    FitResult result_;
    std::vector<double> chord_params_;
    std::vector<double> newton_params_;
};

}  // namespace torvix::geometry
