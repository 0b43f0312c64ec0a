// One verdict on a ride, as a designer would give it after a test ride: not
// one figure, but lateral force, riders turned over where nothing asks for
// it, and how fast the track rolls, with the figure and place that decide.
#pragma once

#include <string>

#include "ride/ride_report.h"

namespace torvix::ride {

enum class VerdictLevel { kComfortable, kTolerable, kHarsh };

// The bands.
inline constexpr double kComfortableLateralRms = 0.3;  // g
inline constexpr double kComfortableLateralShare = 0.05;  // of the ride may lie beyond kTolerableLateral
inline constexpr double kComfortableRollRate = 200;     // degrees per second
inline constexpr double kTolerableLateralRms = 1.0;    // g

struct RideVerdict {
    VerdictLevel level = VerdictLevel::kHarsh;
    // "comfortable: ...", "tolerable: ..." or "harsh: ...": the level and
    // what decides it, with the figure and where.
    std::string text;
};

// comfortable: lateral RMS within 0.3 g, |lateral| within 1 g on 95 % of the
// ride, no unasked roll and the roll rate within 200 deg/s; tolerable: lateral
// RMS within 1 g and no unasked roll; harsh otherwise, and for a ride that
// does not reach its end.
RideVerdict JudgeRide(const RideReport& report);

// "comfortable", "tolerable" or "harsh".
const char* VerdictName(VerdictLevel level);

// Better first: comfortable < tolerable < harsh.
inline int VerdictRank(VerdictLevel level) { return static_cast<int>(level); }

}  // namespace torvix::ride
