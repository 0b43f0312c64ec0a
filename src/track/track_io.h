// Reading and writing .nltrack files. Each read or write works on a byte
// buffer local to that call.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "track/track.h"

namespace torvix {

// Why a read or write failed: a short message and, for a read, the byte
// offset where decoding stopped (-1 when not tied to a position).
struct TrackIoError {
    std::string message;
    std::int64_t offset = -1;
};

// Reads the file at `path` into `track` (reset first once the path checks pass).
// Refuses an empty path, a missing file, a name not ending in ".nltrack" (any
// letter case), a file not starting with NLIM, and corrupt or truncated data.
bool ReadTrackFile(const std::string& path, Track& track, TrackIoError* error = nullptr);

// Decodes a whole file image; ReadTrackFile's work after the path checks.
bool ReadTrackBytes(std::span<const std::uint8_t> bytes, Track& track, TrackIoError* error = nullptr);

// Fills every chunk_size of `track` from its counts and text lengths.
void ComputeChunkSizes(Track& track);

// Sets the fixed child counts and chunk sizes in `track` and returns the file image.
std::vector<std::uint8_t> EncodeTrack(Track& track);

// Writes `track` to `path` (".nltrack" appended when the name lacks it, any case).
// The image goes to a temporary file in the target's folder that replaces the
// target only once written whole; on failure the old file is untouched.
bool WriteTrackFile(const std::string& path, Track& track, TrackIoError* error = nullptr);

}  // namespace torvix
