#include "ride/ride_summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "texts/valley_texts.h"

using namespace torvix::texts;

namespace torvix::ride {

namespace {

std::string Fixed(double v, int digits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", digits, v);
    return buf;
}

const char* UnitText(SummaryUnit unit, UnitStyle style) {
    const bool words = style == UnitStyle::kWords;
    switch (unit) {
        case SummaryUnit::kNone: return "";
        case SummaryUnit::kMetres: return " m";
        case SummaryUnit::kSeconds: return " s";
        case SummaryUnit::kMetresPerSecond: return " m/s";
        case SummaryUnit::kG: return " g";
        case SummaryUnit::kDegrees: return words ? " deg" : "°";
        case SummaryUnit::kDegreesPerSecond: return words ? " deg/s" : " °/s";
        case SummaryUnit::kPercentOfRide: return " % of the ride";
    }
    return "";
}

SummaryRow Figure(std::string key, std::string label, std::string topic, std::string lead, double value, int decimals,
                  SummaryUnit unit, std::optional<double> at = {}) {
    SummaryRow row;
    row.key = std::move(key);
    row.label = std::move(label);
    row.topic = std::move(topic);
    row.lead = std::move(lead);
    row.value = value;
    row.decimals = decimals;
    row.unit = unit;
    row.at = at;
    return row;
}

SummaryRow Nothing(std::string key, std::string label, std::string words) {
    SummaryRow row = Figure(std::move(key), label, label, "", 0, 0, SummaryUnit::kNone);
    row.kind = RowKind::kNone;
    row.words = std::move(words);
    return row;
}

}  // namespace

std::vector<SummaryRow> SummaryRows(const RideReport& report, std::optional<double> heart_deviation) {
    using U = SummaryUnit;
    const RideSummary& s = report.summary;
    std::vector<SummaryRow> rows = {
        Figure("length", "Heart line", "Heart line", "", s.length, 1, U::kMetres),
        Figure("duration", "Heart line", "Heart line", ", ride ", s.duration, 1, U::kSeconds),
        Figure("speed", "Speed", "Speed", "", s.speed_min, 1, U::kMetresPerSecond),
        Figure("vertical_min", "Vertical min", "Vertical", "", s.vertical_min, 2, U::kG, s.vertical_min_s),
        Figure("vertical_max", "Vertical max", "Vertical", " to ", s.vertical_max, 2, U::kG, s.vertical_max_s),
        Figure("lateral_max", "Lateral largest", "Lateral", "largest ", s.lateral_max, 2, U::kG, s.lateral_max_s),
        Figure("lateral_rms", "Lateral RMS", "Lateral", ", RMS ", s.lateral_rms, 3, U::kG),
        Figure("lateral_above_1g", "Lateral above 1 g", "Lateral", ", above 1 g on ", 100 * s.lateral_above_tolerable,
               1, U::kPercentOfRide),
        Figure("airtime", "Airtime", "Airtime", "", s.airtime, 2, U::kSeconds),
        Figure("bank_error_max", "Bank error seated", "Bank error while seated", "largest ", s.bank_error_max, 1,
               U::kDegrees, s.bank_error_max_s),
        Figure("roll_rate_max", "Roll rate max", "Roll rate", "largest ", s.roll_rate_max, 0, U::kDegreesPerSecond,
               s.roll_rate_max_s),
    };
    rows[2].upto = s.speed_max;
    rows[9].magnitude = true;
    // Riders turned over where neither the path, the forces nor the designer ask for it.
    rows.push_back(Figure("unasked_roll", "Unasked roll", "Unasked roll", "", s.unasked_roll, 1, U::kMetres));
    if (!s.unasked_stretches.empty()) {
        constexpr std::size_t kListed = 8;
        SummaryRow where = Figure("unasked_roll_at", "Turned over at", "Unasked roll", ", turned over at ", 0, 0, U::kNone);
        where.kind = RowKind::kWords;
        for (std::size_t i = 0; i < std::min(kListed, s.unasked_stretches.size()); ++i)
            where.words += (i ? ", " : "") + Fixed(s.unasked_stretches[i].from, 1) + "-" +
                           Fixed(s.unasked_stretches[i].to, 1);
        where.words += " m";
        if (s.unasked_stretches.size() > kListed)
            where.words += " and " + std::to_string(s.unasked_stretches.size() - kListed) + " more stretches";
        rows.push_back(where);
    }
    if (heart_deviation) {
        if (*heart_deviation >= 0)
            rows.push_back(Figure("heart_deviation_max", "Off the drawn path", "Off the drawn path", "",
                                  *heart_deviation, 3, U::kMetres));
        else
            rows.push_back(Nothing("heart_deviation_max", "Off the drawn path", "–"));
    }
    if (s.valley) {
        SummaryRow valley = Figure("valley", "Valley", "Valley", "", s.valley->min_start_speed, 1,
                                   U::kMetresPerSecond, s.valley->s);
        valley.kind = RowKind::kValley;
        valley.curve = s.valley->curve;
        rows.push_back(valley);
    } else {
        rows.push_back(Nothing("valley", "Valley", "none"));
    }
    return rows;
}

std::string RowText(const SummaryRow& row, UnitStyle style, const PlaceNaming& places) {
    if (row.kind == RowKind::kWords || row.kind == RowKind::kNone) return row.words;
    const double at = row.at ? (places.distance ? places.distance(*row.at) : *row.at) : 0;
    if (row.kind == RowKind::kValley) {
        const std::string curve = places.curve ? places.curve(at, row.curve) : "curve " + std::to_string(row.curve);
        return ValleyFigure(at, curve, row.value);
    }
    std::string text = Fixed(row.magnitude ? std::abs(row.value) : row.value, row.decimals);
    if (row.upto) text += (style == UnitStyle::kWords ? " to " : " – ") + Fixed(*row.upto, row.decimals);
    text += UnitText(row.unit, style);
    if (row.at) text += " at " + Fixed(at, 1) + " m";
    return text;
}

std::string FormatSummary(const RideReport& report) {
    const std::vector<SummaryRow> rows = SummaryRows(report);
    std::string out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const bool opens = i == 0 || rows[i].topic != rows[i - 1].topic;
        if (opens) out += (i == 0 ? "" : "\n") + rows[i].topic + ": ";
        out += rows[i].lead + RowText(rows[i], UnitStyle::kWords);
    }
    out += "\nLargest lateral peaks:\n";
    for (const RidePeak& p : report.summary.peaks)
        out += "  " + Fixed(p.lateral, 2) + " g at " + Fixed(p.s, 1) + " m (curve " + std::to_string(p.curve) + ")\n";
    return out;
}

}  // namespace torvix::ride
