// How numbers are shown to the user, in the window and on the command line:
// fixed decimals with a point whatever the locale.
#pragma once

#include <string>

#include <vector>

#include "track/track_fwd.h"

namespace torvix::analysis {
struct TrackEndMeasures;
}  // namespace torvix::analysis

namespace torvix::texts {

// Fixed-point text with `decimals` digits after the point and at least one
// before it, rounded half away from zero, a minus sign for negatives (none for
// a value that rounds to zero), a point whatever the locale, no grouping.
std::string FormatFixed(double value, int decimals);

inline std::string FormatMeasure(double value) { return FormatFixed(value, 3); }   // "##0.000"
inline std::string FormatLength(double value) { return FormatFixed(value, 2); }    // "###0.00"
inline std::string FormatFriction(double value) { return FormatFixed(value, 6); }  // "##0.000000"

struct EndMeasureTexts {
    std::string radius_in;
    std::string slope_in;
    std::string tilt_in;
    std::string radius_out;
    std::string slope_out;
    std::string tilt_out;
};

// Texts of the six result fields. A straight end (radius exactly -1) shows
// "straight" and "none" for its radius and tilt; slopes are always numbers.
EndMeasureTexts FormatEndMeasures(const analysis::TrackEndMeasures& measures);

// One line about a chunk the reader stepped over, e.g.
// "skipped unknown chunk CSTM (28 bytes at offset 744894); it will not be saved".
std::string SkippedChunkText(const track::SkippedChunk& skipped);

// What the window's message line says after a load that skipped chunks:
// "Not saved: CSTM (28 bytes)", the chunks joined by ", ".
std::string SkippedChunksMessage(const std::vector<track::SkippedChunk>& skipped);

}  // namespace torvix::texts
