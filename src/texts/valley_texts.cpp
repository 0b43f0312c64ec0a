#include "texts/valley_texts.h"

#include <cmath>

#include "texts/display_texts.h"

namespace torvix::texts {

std::string FormatClearingSpeed(double min_start_speed) {
    // The tolerance keeps a speed that is a multiple of 0.1 up to rounding
    // (20.3 is 203.00000000000003 tenths) where it is.
    const double tenths = std::ceil(min_start_speed * 10 - 1e-6);
    return FormatFixed(tenths / 10, 1);
}

std::string ValleySentence(double s, std::string_view curve, double min_start_speed) {
    return "The train stops " + FormatFixed(s, 1) + " m along the track, on " + std::string(curve) +
           "; a start speed of " + FormatClearingSpeed(min_start_speed) + " m/s clears the track.";
}

std::string ClosingValleySentence(double s, std::string_view curve) {
    return "The train stops " + FormatFixed(s, 1) + " m along the track, on " + std::string(curve) +
           "; at this end speed no start speed carries it round the closing curve.";
}

std::string ValleyFigure(double s, std::string_view curve, double min_start_speed) {
    return "at " + FormatFixed(s, 1) + " m, " + std::string(curve) + "; clears from " +
           FormatClearingSpeed(min_start_speed) + " m/s";
}

}  // namespace torvix::texts
