// Sentences the window and the command line both print, worded in one place.
#pragma once

#include <string>
#include <string_view>

namespace torvix::texts {

// First lines of a failed load or save, as users and their scripts know them.
inline constexpr std::string_view kTrackLoadError = "Error Loading Track File!";
inline constexpr std::string_view kTrackSaveError = "Error Saving Track File!";

// "the track's length cannot be measured: <why>"
std::string LengthNotMeasured(std::string_view why);

// The element is the heart line, so NoLimits 2 must set its rails that far below it:
// "In NoLimits 2, set the coaster's spline position to Heart Line with a heartline height of 1.10 m."
std::string SplinePositionAdvice(double heartline);

}  // namespace torvix::texts
