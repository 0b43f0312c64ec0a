// Helpers shared by the subcommands that load or save a track.
#pragma once

#include <ostream>
#include <string>

#include "track/track_fwd.h"

namespace torvix::cli {

// Reads `path` into `track`; on failure prints "Error Loading Track File!"
// and what went wrong (with the byte offset when there is one) to `err`. On
// success lists on `err` the chunks that were stepped over (a save drops them).
bool LoadTrackOrReport(const std::string& path, Track& track, std::ostream& err);

// Writes `track` to `path`; on failure prints the path and the system's reason to `err`.
bool SaveTrackOrReport(const std::string& path, const Track& track, std::ostream& err);

}  // namespace torvix::cli
