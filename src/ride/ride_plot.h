// The ride report as a picture: speed, seat forces, roll and roll rate along
// the heart line, one panel each as in the window's report, as SVG text that
// any browser or converter shows.
#pragma once

#include <string>
#include <vector>

#include "ride/ride_report.h"

namespace torvix::ride {

struct PlotOptions {
    std::string title;
    std::vector<double> vertex_s;  // distances to mark with a thin line (the designer's vertices)
    int width = 1200;
    int height = 900;
};

std::string RidePlotSvg(const RideReport& report, const PlotOptions& options);

}  // namespace torvix::ride
