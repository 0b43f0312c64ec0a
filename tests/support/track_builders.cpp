#include "support/track_builders.h"

#include <cmath>

using namespace torvix::geometry;
using namespace torvix::heartline;
using namespace torvix::track;

namespace torvix::test {

namespace {

Vector3 V(double x, double y, double z) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

void AddSegments(Track& track, int curves, Colour color_1, Colour color_2) {
    track.segm.segment_count = curves;
    track.segm.segments.assign(curves, Segment{});
    for (Segment& s : track.segm.segments) {
        s.color_1 = color_1;
        s.color_2 = color_2;
    }
}

}  // namespace

Track StraightTrack(int curves, double curve_length, double height, float roll, Colour color_1, Colour color_2) {
    Track track;
    track.bezr.vertex_count = curves + 1;
    for (int i = 0; i <= curves; ++i) {
        BezierVertex v;
        const double x = i * curve_length;
        v.position = V(x, height, 0);
        v.control_prev = V(x - curve_length / 3, height, 0);
        v.control_next = V(x + curve_length / 3, height, 0);
        v.roll = roll;
        track.bezr.vertices.push_back(v);
    }
    AddSegments(track, curves, color_1, color_2);
    return track;
}

Track CircleTrack(double radius, int arcs, Colour color_1) {
    // Control arm of an arc that matches the circle at its ends and middle.
    const double step = std::acos(-1.0) / 4;
    const double arm = radius * 4.0 / 3.0 * std::tan(step / 4);
    Track track;
    track.bezr.vertex_count = arcs + 1;
    for (int i = 0; i <= arcs; ++i) {
        const double a = i * step;
        const double c = std::cos(a), s = std::sin(a);
        // Anticlockwise from above (y up): position (R cos a, 0, -R sin a), direction (-sin a, 0, -cos a).
        BezierVertex v;
        v.position = V(radius * c, 0, -radius * s);
        v.control_next = V(radius * c - arm * s, 0, -radius * s - arm * c);
        v.control_prev = V(radius * c + arm * s, 0, -radius * s + arm * c);
        track.bezr.vertices.push_back(v);
    }
    AddSegments(track, arcs, color_1, 16777215);
    return track;
}

Track SeatBankedCircle(double heart_radius, double speed, int arcs, bool closed) {
    const double bank = std::atan(speed * speed / (9.81 * heart_radius));
    Track t = CircleTrack(heart_radius + std::sin(bank), arcs);
    for (BezierVertex& v : t.bezr.vertices) v.roll = static_cast<float>(bank);
    t.segm.flag = closed;
    return t;
}

Track HillTrack(double height) {
    Track track;
    const double xs[] = {0, 40, 80, 120, 160};
    const double ys[] = {0, 0, height, 0, 0};
    track.bezr.vertex_count = 5;
    for (int i = 0; i < 5; ++i) {
        BezierVertex v;
        v.position = V(xs[i], ys[i], 0);
        v.control_prev = V(xs[i] - 13, ys[i], 0);
        v.control_next = V(xs[i] + 13, ys[i], 0);
        track.bezr.vertices.push_back(v);
    }
    AddSegments(track, 4, 1, 16777215);
    return track;
}

HeartlineParams Params(int segments, int precision, int filter, double heartline, double start, double end) {
    HeartlineParams p;
    p.segments = segments;
    p.precision = precision;
    p.filter = filter;
    p.heartline = heartline;
    p.start_speed = start;
    p.end_speed = end;
    return p;
}

}  // namespace torvix::test
