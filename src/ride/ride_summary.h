// The ride report's summary as rows: the figures every front end shows of a
// ride, in one order, each with its unit and the place along the heart line
// where it occurs. The command line's text (FormatSummary), the window's table
// and the JSON are all written from these rows, so a new figure is one more
// row in SummaryRows.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ride/ride_report.h"

namespace torvix::ride {

enum class SummaryUnit { kNone, kMetres, kSeconds, kMetresPerSecond, kG, kDegrees, kDegreesPerSecond, kPercentOfRide };

// Units in words for the command line ("deg/s"), as symbols for the window ("°/s").
enum class UnitStyle { kWords, kSymbols };

enum class RowKind {
    kFigure,  // a number (or a range of two), with its unit and place
    kValley,  // where the train stops and the start speed that clears the track
    kWords,   // a word rather than a number (a verdict): `words`
    kNone,    // nothing to report: `words` says so ("none"); null in the JSON
};

struct SummaryRow {
    RowKind kind = RowKind::kFigure;
    std::string key;    // JSON name; its place is key + "_s", a range is key + "_min" and key + "_max"
    std::string label;  // the window's name; consecutive rows with one label share its line there
    std::string topic;  // the text's line; consecutive rows with one topic share it,
    std::string lead;   // each after these words ("largest ", " to ", ", RMS ")
    double value = 0;   // a valley's: the lowest start speed that clears the track
    std::optional<double> upto;  // the top of a range ("17.0 to 29.1 m/s")
    int decimals = 0;
    SummaryUnit unit = SummaryUnit::kNone;
    bool magnitude = false;    // shown without its sign; the JSON keeps the sign
    std::optional<double> at;  // metres along the heart line
    int curve = 0;             // a valley's curve
    std::string words;         // what a kWords or kNone row says
};

// The summary of `report`. With `heart_deviation` (metres from the new heart
// line to the drawn path; negative when it could not be measured) a row for it.
std::vector<SummaryRow> SummaryRows(const RideReport& report, std::optional<double> heart_deviation = {});

// How a front end names a place: the distance it shows for one on this ride
// (as measured when empty) and the curve named with it ("curve N" when empty).
struct PlaceNaming {
    std::function<double(double s)> distance;
    std::function<std::string(double shown_s, int curve)> curve;
};

// A row's value as shown: "-38.93 g at 315.5 m", "17.0 – 29.1 m/s", "86.7° at 313.3 m", "none".
std::string RowText(const SummaryRow& row, UnitStyle style, const PlaceNaming& places = {});

}  // namespace torvix::ride
