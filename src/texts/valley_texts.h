// What the window and the command line say when a train valleys: where it
// stops and the start speed that carries it through. One wording and one
// number format for both, whether the solver or the ride report found it.
#pragma once

#include <string>
#include <string_view>

namespace torvix::texts {

// A start speed that clears the track, as shown: rounded up to 0.1 m/s, so
// the speed named is never below the one needed ("20.6"). A speed already on
// the 0.1 grid (the solver's, which rounds up itself) shows as it is.
std::string FormatClearingSpeed(double min_start_speed);

// "The train stops 94.8 m along the track, on curve 18; a start speed of
// 20.6 m/s clears the track." `curve` names the curve ("curve 18", or "curve
// 18 of the loaded track" where several tracks are about).
std::string ValleySentence(double s, std::string_view curve, double min_start_speed);

// Where no start speed helps: a closed circuit's closing curve, after the end
// speed's vertex, that the train cannot climb at that end speed. "The train
// stops 636.2 m along the track, on curve 203; at this end speed no start
// speed carries it round the closing curve."
std::string ClosingValleySentence(double s, std::string_view curve);

// The same as a summary figure: "at 94.1 m, curve 18; clears from 20.6 m/s".
std::string ValleyFigure(double s, std::string_view curve, double min_start_speed);

}  // namespace torvix::texts
