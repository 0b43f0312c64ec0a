#include "texts/messages.h"

#include "texts/display_texts.h"

namespace torvix::texts {

std::string LengthNotMeasured(std::string_view why) {
    return "the track's length cannot be measured: " + std::string(why);
}

std::string SplinePositionAdvice(double heartline) {
    return "In NoLimits 2, set the coaster's spline position to Heart Line with a heartline height of " +
           FormatFixed(heartline, 2) + " m.";
}

}  // namespace torvix::texts
