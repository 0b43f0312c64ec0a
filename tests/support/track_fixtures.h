// Tracks built in memory for the file-format tests and the fuzzing seeds.
#pragma once

#include "track/track.h"

namespace torvix::test {

// Every chunk with entries and distinctive non-zero values, every segment
// type (and one outside 0..4), texts with bytes 128-255, and optionally a
// small TERA grid. Counts match the arrays.
track::Track MakeRichTrack(bool with_tera);

}  // namespace torvix::test
