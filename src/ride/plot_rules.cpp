#include "ride/plot_rules.h"

#include <algorithm>
#include <cmath>

namespace torvix::ride {

const std::vector<PlotPanel>& PlotPanels() {
    using Kind = PlotBand::Kind;
    static const std::vector<PlotPanel> panels = {
        {"speed", "speed (m/s)", "m/s", [](const RideSample& p) { return p.speed; }, 0, 5, {}},
        {"vertical", "vertical (g)", "g", [](const RideSample& p) { return p.vertical; }, -0.5, 4.5,
         {{0, 4, Kind::kComfortable}}},
        {"lateral", "lateral (g)", "g", [](const RideSample& p) { return p.lateral; }, -1.2, 1.2,
         {{-1, 1, Kind::kTolerable}, {-0.3, 0.3, Kind::kComfortable}}},
        {"roll", "roll (°)", "°", [](const RideSample& p) { return p.roll; }, -45, 45, {}, 360},
        {"roll_rate", "roll rate (°/s)", "°/s", [](const RideSample& p) { return p.roll_rate; }, -60, 60, {}},
    };
    return panels;
}

bool WrapsBetween(const PlotPanel& panel, double before, double after) {
    return panel.wrap > 0 && std::abs(after - before) > panel.wrap / 2;
}

double TickStep(double span, int ticks) {
    if (!(span > 0)) return 1;
    const double raw = span / std::max(1, ticks);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * power >= raw) return m * power;
    return 10 * power;
}

std::pair<double, double> ValueRange(std::vector<double>& values, double floor_lo, double floor_hi) {
    double lo = floor_lo, hi = floor_hi;
    if (values.empty()) return {lo, hi};
    std::sort(values.begin(), values.end());
    const double min = values.front(), max = values.back();
    const auto at = [&](double q) { return values[static_cast<std::size_t>(q * double(values.size() - 1))]; };
    const double q_lo = at(0.005), q_hi = at(0.995);
    const double bulk = std::max(q_hi - q_lo, floor_hi - floor_lo);
    lo = std::min(lo, std::max(min, q_lo - bulk));
    hi = std::max(hi, std::min(max, q_hi + bulk));
    return {lo, hi};
}

PlotAxis ValueAxis(const PlotPanel& panel, double min, double max, int ticks) {
    const double step = TickStep((max - min) * 1.04, ticks);
    const double lo = panel.floor_lo == 0 && min >= 0 ? 0 : std::floor((min - (max - min) * 0.02) / step) * step;
    const double hi = std::ceil((max + (max - min) * 0.02) / step) * step;
    return {lo, hi, step};
}

}  // namespace torvix::ride
