// Helpers shared by the subcommands that load or save a track.
#pragma once

#include <ostream>
#include <string>

#include "analysis/track_ends.h"
#include "track/track_fwd.h"

namespace torvix::cli {

// Reads `path` into `track`; on failure prints "Error Loading Track File!"
// and what went wrong (with the byte offset when there is one) to `err`. On
// success lists on `err` the chunks that were stepped over (a save drops them).
bool LoadTrackOrReport(const std::string& path, track::Track& track, std::ostream& err);

// Writes `track` to `path`; on failure prints the path and the system's reason to `err`.
bool SaveTrackOrReport(const std::string& path, const track::Track& track, std::ostream& err);

// Adds the entry and exit measures to a JSON object as numbers (a straight end keeps -1.0).
template <class Json>
void AddEndMeasures(Json& j, const analysis::TrackEndMeasures& m) {
    j["radius_in"] = m.radius_in;
    j["slope_in"] = m.slope_in;
    j["tilt_in"] = m.tilt_in;
    j["radius_out"] = m.radius_out;
    j["slope_out"] = m.slope_out;
    j["tilt_out"] = m.tilt_out;
}

}  // namespace torvix::cli
