#include "ride/verdict.h"

#include <algorithm>
#include <cstdio>

namespace torvix::ride {

namespace {

std::string Fixed(double v, int digits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", digits, v);
    return buf;
}

// A force in g with as many digits as tell it apart: 241 g, 3.5 g, 0.61 g.
std::string Force(double g) {
    const double a = std::abs(g);
    return Fixed(g, a >= 10 ? 0 : a >= 1 ? 1 : 2) + " g";
}

std::string Metres(double s) { return Fixed(s, 0); }

std::string Largest(const RideSummary& s) { return Force(s.lateral_max) + " lateral at " + Fixed(s.lateral_max_s, 1) + " m"; }

// The longest unasked stretch, with how many there are and how much in all.
std::string TurnedOver(const RideSummary& s) {
    const auto longest = std::max_element(s.unasked_stretches.begin(), s.unasked_stretches.end(),
                                          [](const RideStretch& a, const RideStretch& b) {
                                              return a.to - a.from < b.to - b.from;
                                          });
    std::string out = "turned over at " + Metres(longest->from) + "\u2013" + Metres(longest->to) +
                      " m where nothing calls for it";
    if (s.unasked_stretches.size() > 1)
        out += " (" + std::to_string(s.unasked_stretches.size()) + " stretches, " + Fixed(s.unasked_roll, 0) +
               " m in all)";
    return out;
}

}  // namespace

const char* VerdictName(VerdictLevel level) {
    switch (level) {
    case VerdictLevel::kComfortable: return "comfortable";
    case VerdictLevel::kTolerable: return "tolerable";
    case VerdictLevel::kHarsh: break;
    }
    return "harsh";
}

RideVerdict JudgeRide(const RideReport& report) {
    const RideSummary& s = report.summary;
    auto verdict = [](VerdictLevel level, const std::string& why) {
        return RideVerdict{level, std::string(VerdictName(level)) + ": " + why};
    };
    if (!report.status.ok()) {
        if (s.valley) return verdict(VerdictLevel::kHarsh, "the train valleys at " + Fixed(s.valley->s, 1) + " m");
        return verdict(VerdictLevel::kHarsh, report.status.message().empty() ? "the ride cannot be measured" : report.status.message());
    }
    // Both reasons when both hold: either alone would make the ride harsh.
    std::string harsh;
    if (!(s.lateral_rms <= kTolerableLateralRms)) harsh = Largest(s);
    if (!s.unasked_stretches.empty()) harsh += (harsh.empty() ? "" : "; ") + TurnedOver(s);
    if (!harsh.empty()) return verdict(VerdictLevel::kHarsh, harsh);

    const std::string rms = Force(s.lateral_rms) + " lateral RMS";
    if (!(s.lateral_rms <= kComfortableLateralRms))
        return verdict(VerdictLevel::kTolerable, rms + ", " + Largest(s));
    if (!(s.lateral_above_tolerable <= kComfortableLateralShare))
        return verdict(VerdictLevel::kTolerable, "above 1 g lateral on " + Fixed(100 * s.lateral_above_tolerable, 0) +
                                                     " % of the ride, " + Largest(s));
    if (!(s.roll_rate_max <= kComfortableRollRate))
        return verdict(VerdictLevel::kTolerable, "rolls at " + Fixed(s.roll_rate_max, 0) + " deg/s at " +
                                                     Fixed(s.roll_rate_max_s, 1) + " m");
    return verdict(VerdictLevel::kComfortable, rms + ", largest " + Largest(s));
}

}  // namespace torvix::ride
