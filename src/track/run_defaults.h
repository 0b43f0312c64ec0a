// The settings a run starts from when nobody chose others: the window's
// fields before its settings file holds any, the command line's options, the
// ride report's and the sweep's. Written once, here, at the bottom of the
// modules that use them.
#pragma once

namespace torvix::track {

struct RunDefaults {
    static constexpr int kSegments = 60;           // curves of the new spline
    static constexpr int kPrecision = 6;           // fitting points per curve
    static constexpr int kFilter = 15;             // smoothing passes
    static constexpr double kHeartline = 1.0;      // metres from the heart path down to the rails
    static constexpr double kStartSpeed = 20;      // m/s at the first vertex
    static constexpr double kEndSpeed = 17;        // m/s at the last vertex
};

}  // namespace torvix::track
