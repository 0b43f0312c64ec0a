// Runs the length, the end measures and a small solver run on every input
// that decodes. Whatever the file holds, each must finish (the bounds keep
// the work short), and a length is either a finite number or an error.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "analysis/track_ends.h"
#include "heartline/solver.h"
#include "heartline/track_length.h"
#include "track/track_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    torvix::track::Track track;
    if (!torvix::track::ReadTrackBytes({data, size}, track)) return 0;
    const torvix::base::Result<double> measured = torvix::heartline::TrackLength(track);
    if (!measured.ok()) return 0;
    if (!std::isfinite(*measured) || *measured < 0) std::abort();
    torvix::analysis::AnalyzeTrackEnds(track);

    torvix::heartline::HeartlineParams params;
    params.segments = 4;
    params.precision = 4;
    params.filter = 2;
    // Compared as bytes: a coordinate that is not a number never equals itself.
    const std::vector<std::uint8_t> before = torvix::track::EncodeTrack(track);
    const torvix::heartline::SolveResult result = torvix::heartline::SolveHeartline(track, *measured, params);
    if (!result.status.ok()) {
        // A valley comes without a message (the window has its own); the track stays as it was.
        if (torvix::track::EncodeTrack(track) != before) std::abort();
        return 0;
    }
    if (track.bezr.vertex_count != params.segments + 1) std::abort();
    torvix::analysis::AnalyzeTrackEnds(track);
    return 0;
}
