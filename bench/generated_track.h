// A generated rolling, turning track of about 1 km for the benchmarks:
// gentle hills and S-bends, mostly force-aligned with a few designer-rolled
// and blended curves.
#pragma once

#include <cmath>

#include "track/track.h"

namespace torvix::bench {

inline geometry::Vector3 PathPoint(double s) {
    const double x = s;
    const double y = 6.0 * std::sin(s / 70.0) + 2.0 * std::sin(s / 23.0);
    const double z = 25.0 * std::sin(s / 90.0);
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

inline track::Track GeneratedTrack(int vertices) {
    const double length = 1000.0;
    const double step = length / (vertices - 1);
    track::Track track;
    track.bezr.vertex_count = vertices;
    for (int i = 0; i < vertices; ++i) {
        const double s = i * step;
        const geometry::Vector3 p = PathPoint(s);
        // Central-difference direction; arms a third of the spacing.
        const geometry::Vector3 d = VecNormalize(VecSub(PathPoint(s + 0.01), PathPoint(s - 0.01)));
        track::BezierVertex v;
        v.position = p;
        v.control_next = VecAdd(p, VecScale(d, step / 3));
        v.control_prev = VecSub(p, VecScale(d, step / 3));
        v.roll = static_cast<float>(0.3 * std::sin(s / 50.0));
        track.bezr.vertices.push_back(v);
    }
    track.segm.segment_count = vertices - 1;
    track.segm.segments.resize(vertices - 1);
    for (int i = 0; i < vertices - 1; ++i) {
        track::Segment& seg = track.segm.segments[i];
        seg.color_1 = i % 10 == 3   ? track::kDesignerRollColour
                      : i % 10 == 5 ? track::kBlendToRollColour
                      : i % 10 == 6 ? track::kBlendToForceColour
                                    : 16777215;
        seg.color_2 = i % 17 == 0 ? 20 : 16777215;
    }
    return track;
}

}  // namespace torvix::bench
