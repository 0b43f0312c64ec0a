// Small synthetic tracks for the solver tests.
#pragma once

#include "heartline/solver.h"
#include "track/track.h"

namespace torvix::test {

// A level straight track along +x at height `height`: `curves` curves of
// `curve_length` metres, control points at the thirds, every roll `roll`.
track::Track StraightTrack(int curves, double curve_length, double height = 0, float roll = 0,
                           track::Colour color_1 = 1, track::Colour color_2 = 16777215);

// A horizontal circle of radius `radius` about the origin at height 0, run
// anticlockwise seen from above, made of `arcs` arcs of 45 degrees.
track::Track CircleTrack(double radius, int arcs, track::Colour color_1 = 1);

// A level circle of `arcs` 45-degree arcs whose heart line, 1 m above rails
// banked to the seat angle at `speed`, has radius `heart_radius`; with the
// closed flag when `closed` (the closing curve then completes the circle
// when arcs is 7).
track::Track SeatBankedCircle(double heart_radius, double speed, int arcs, bool closed);

// Level run-in, a hill of height `height`, level run-out.
track::Track HillTrack(double height);

heartline::HeartlineParams Params(int segments, int precision, int filter, double heartline, double start, double end);

}  // namespace torvix::test
