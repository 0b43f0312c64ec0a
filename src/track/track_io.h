// Reading and writing .nltrack files. Each read or write works on a byte
// buffer local to that call.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "track/track.h"

namespace torvix::track {

// Why a read or write failed: a short message and, for a read, the byte
// offset where decoding stopped (-1 when not tied to a position).
struct TrackIoError {
    std::string message;
    std::int64_t offset = -1;
};

// A chunk the reader stepped over: an unknown one (kept nowhere, so a save
// drops it) or the bytes a known chunk declares beyond the fields it has.
struct SkippedChunk {
    std::string tag;
    std::int64_t offset = 0;  // where the skipped bytes start
    std::int64_t bytes = 0;   // an unknown chunk whole, or the extra bytes
    bool known = false;       // true: extra bytes at the end of a known chunk
    bool operator==(const SkippedChunk&) const = default;
};

// Reads the file at `path` into `track` (reset first once the path checks pass).
// Refuses an empty path, a missing file, a name not ending in ".nltrack" (any
// letter case), a file not starting with NLIM, and corrupt or truncated data:
// a known chunk whose fields run past its declared size, a known chunk that
// appears twice. What was stepped over goes to `skipped` when given.
bool ReadTrackFile(const std::string& path, Track& track, TrackIoError* error = nullptr,
                   std::vector<SkippedChunk>* skipped = nullptr);

// Decodes a whole file image; ReadTrackFile's work after the path checks.
bool ReadTrackBytes(std::span<const std::uint8_t> bytes, Track& track, TrackIoError* error = nullptr,
                    std::vector<SkippedChunk>* skipped = nullptr);

// Sets every chunk_size and child_count of `track` to what a write of it
// puts in the file (the model then matches a read of that file but for the
// version bytes).
void ComputeChunkSizes(Track& track);

// The file image of `track`, with the sizes recomputed and the fixed child counts.
std::vector<std::uint8_t> EncodeTrack(const Track& track);

// Writes `track` to `path` (".nltrack" appended when the name lacks it, any case).
// The image goes to a temporary file in the target's folder that replaces the
// target only once written whole; on failure the old file is untouched.
bool WriteTrackFile(const std::string& path, const Track& track, TrackIoError* error = nullptr);

}  // namespace torvix::track
