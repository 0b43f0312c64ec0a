// How a ride is plotted, shared by the command-line program's picture and the
// window's report: one panel per quantity over one distance axis, the value
// range each panel shows, its comfort bands and the tick steps.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ride/ride_report.h"

namespace torvix::ride {

struct PlotBand {
    enum class Kind { kComfortable, kTolerable };
    double lo, hi;
    Kind kind;
};

struct PlotPanel {
    const char* name;   // "speed", "vertical", ...: names the series and colours
    const char* title;  // the value axis' title, unit in brackets
    const char* unit;
    double (*value)(const RideSample&);
    double floor_lo, floor_hi;  // always shown, so the bands keep their meaning
    std::vector<PlotBand> bands;  // widest first
    // The period a value wraps around (360 for a roll through +-180 deg), 0 for
    // none: a step across the wrap is a break in the line, not a jump across the panel.
    double wrap = 0;
};

// Where a panel's line breaks between samples i - 1 and i: the value wraps.
bool WrapsBetween(const PlotPanel& panel, double before, double after);

// The colour that marks stretches turned over where nothing asks for it, as "#rrggbb".
inline constexpr const char* kUnaskedColour = "#e377c2";

// Speed, vertical and lateral force, roll and roll rate, top to bottom.
const std::vector<PlotPanel>& PlotPanels();

// The text under the plots that says what the bands mean.
inline constexpr const char* kBandsText =
    "vertical 0 to 4 g and lateral within 0.3 g are comfortable, lateral within 1 g tolerable";

// A tick step of 1, 2, 2.5 or 5 times a power of ten that splits `span` into
// at most `ticks` intervals.
double TickStep(double span, int ticks);

// The range a panel shows of `values` (sorted in place). A few spikes far
// beyond the rest would flatten everything else, and the bands, into a line,
// so the range follows the bulk of the values (up to its spread again beyond
// it) and never shrinks below the panel's floor; the spikes run off it.
std::pair<double, double> ValueRange(std::vector<double>& values, double floor_lo, double floor_hi);

// The axis of a panel `ticks` intervals high over [min, max] (a ValueRange):
// whole steps around the values, starting at 0 for a quantity that cannot be
// negative.
struct PlotAxis {
    double lo, hi, step;
};
PlotAxis ValueAxis(const PlotPanel& panel, double min, double max, int ticks);

}  // namespace torvix::ride
