// The track's types by name only, for headers that take a track by reference:
// their users need not rebuild when the track's layout changes.
#pragma once

namespace torvix::track {

struct Track;
struct BezierVertex;
struct SkippedChunk;

}  // namespace torvix::track
