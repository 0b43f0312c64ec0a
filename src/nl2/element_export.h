// The heart line of a track as a NoLimits 2 element: sampled at equal
// distances, rolls read as the simulator reads them, written as vertices
// whose curve (as NoLimits 2 builds it) passes through every sample, and one
// roll point per sample carrying the frame there. The element is meant for a
// coaster whose spline position is the heart line at the same height.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "base/status.h"
#include "geometry/dvec3.h"
#include "nl2/element.h"
#include "track/track_fwd.h"

namespace torvix::nl2 {

inline constexpr double kDefaultSpacing = 2.0;
inline constexpr double kMinSpacing = 0.5;
inline constexpr double kMaxSpacing = 10.0;

struct ExportParams {
    double heartline = 1.0;  // metres from the rails up to the riders' hearts
    double spacing = kDefaultSpacing;  // metres of heart line between samples, at most
};

struct ExportResult {
    base::Status status = base::Status::Fail("");  // why not, when not ok
    Element element;
    bool closed = false;   // a closed circuit, exported once round: the element ends where it starts
    double length = 0;     // heart line, metres
    double spacing = 0;    // metres between samples as exported
    // The heart-line samples, in order; the element's curve passes through each.
    std::vector<geometry::DVec3> samples;
};

// Why the parameters cannot be used, or ok.
base::Status CheckExportParams(const ExportParams& params);

ExportResult ExportElement(const track::Track& track, const ExportParams& params);

// The element's description: what it is and how to set the coaster up for it.
std::string ElementDescription(double heartline);

// `path` with ".nl2elem" appended when it does not end so (any letter case).
std::filesystem::path WithElementExtension(const std::filesystem::path& path);

struct WriteResult {
    base::Status status = base::Status::Fail("");  // why not, when not ok
    std::filesystem::path written;  // the file, extension added
    ExportResult element;
};

// Exports `track` and writes the element to `path` (".nl2elem" added when
// missing) in one step: on any failure nothing is written and an existing
// file stays as it was.
WriteResult WriteElementFile(const track::Track& track, double heartline, double spacing,
                             const std::filesystem::path& path);

}  // namespace torvix::nl2
