// The ride report for scripts and files: the summary as JSON, the samples as
// CSV, the plot as SVG or PNG.
#pragma once

#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "ride/ride_plot.h"
#include "ride/ride_report.h"
#include "ride/ride_summary.h"
#include "ride/verdict.h"

namespace torvix::cli {

// The summary as one object: ok, the ride's parameters, every summary row
// (length, duration, speed_min, ..., valley: null or {s, curve,
// min_start_speed}), peaks, unasked_roll_stretches ([{from, to}]) and verdict.
nlohmann::ordered_json RideJson(const ride::RideReport& report);

// {"level": "comfortable" | "tolerable" | "harsh", "text": "..."}.
nlohmann::ordered_json VerdictJson(const ride::RideVerdict& verdict);

// Writes `text` to `path`, or to standard output for "-"; reports failures on `err`.
bool WriteTextOrReport(const std::string& path, const std::string& text, std::ostream& err);

// Writes the plot as SVG, or as PNG for a ".png" name (where this build can
// draw PNG); reports failures on `err`.
bool WritePlotOrReport(const std::string& path, const ride::RideReport& report, const ride::PlotOptions& options,
                       std::ostream& err);

}  // namespace torvix::cli
