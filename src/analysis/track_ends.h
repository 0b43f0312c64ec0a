// Radius of curvature, slope and tilt where a track begins and ends.
#pragma once

#include "track/track_fwd.h"

namespace torvix::analysis {

// Radius in metres (-1.0 for a straight end); slope and tilt in degrees.
struct TrackEndMeasures {
    double radius_in = -1.0;
    double slope_in = 0;
    double tilt_in = -1.0;
    double radius_out = -1.0;
    double slope_out = 0;
    double tilt_out = -1.0;
};

TrackEndMeasures AnalyzeTrackEnds(const track::Track& track);

}  // namespace torvix::analysis
